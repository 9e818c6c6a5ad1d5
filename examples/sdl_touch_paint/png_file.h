// A PNG writer small enough to read in one sitting: 8-bit RGB rows in
// stored (uncompressed) deflate blocks, so that the example needs nothing
// beyond SDL. The files are as large as the pixels (3 bytes each).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels, 3 bytes (R, G, B) each, row after row.
// Returns false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);
