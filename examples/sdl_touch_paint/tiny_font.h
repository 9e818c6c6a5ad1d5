// Text without a font library: a 5 x 7 pixel font of the characters gesture
// names and the status line use (digits, letters shown in capitals, _ : . -),
// drawn as squares in the renderer's current colour.
#pragma once

#include <SDL.h>

// Draws text with its top-left corner at (x, y), each font pixel scale x
// scale screen pixels. Characters outside the font leave a blank.
void DrawText(SDL_Renderer* renderer, int x, int y, int scale, const char* text);
