// Touches painted by an SDL render loop. The library's event queue carries
// frames and gestures to the loop's own thread: every frame takes what is
// queued with WaitEvent(&event, 0) until ERR_NO_EVENT, then draws each touch
// point with its trail and the latest gesture names. No callback, no lock.
//   sdl_touch_paint [--port N] [--frames N --screenshot FILE.png]
// With --screenshot it renders N frames from the first touch on, saves the
// last as a PNG file and exits; status 1 when no touch came within 30 s.
// Without touch hardware, start the simulator first (vornmt-sim).
#include <VornMTClient.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "png_file.h"
#include "tiny_font.h"

using namespace Vorn_SDK_MultiTouch;

namespace {

const Uint32 kTrailMs = 1500;       // how long a trail takes to fade out
const size_t kGestureLines = 12;    // gesture names listed, the newest first
const Uint32 kFirstTouchMs = 30000; // --screenshot gives up without a touch by then
const SDL_Color kBackground{24, 26, 33, 255};
const SDL_Color kFingerColors[] = {{255, 99, 71, 255},  {64, 196, 255, 255}, {124, 232, 96, 255},
                                   {255, 200, 40, 255}, {200, 110, 255, 255}, {255, 120, 200, 255}};

struct Sample {
    float x, y;  // in the server's pixels
    Uint32 ms;   // SDL ticks when it arrived
};
struct Finger {
    std::deque<Sample> trail;
    float radius = 15;
    bool down = false;
};

// What the window shows, built from the queue's events on the render thread.
struct Scene {
    std::map<int, Finger> fingers;  // by finger id (code_1)
    std::deque<std::string> gestures;
    std::string status = "connected";
    int width = 1920, height = 1080;  // the server's resolution, once it answers
    int frames = 0;
    bool touched = false;

    void Take(const TouchEvent& event, Uint32 now) {
        switch (event.kind) {
            case EVENT_FRAME:
                ++frames;
                touched = true;
                for (auto& [id, finger] : fingers) finger.down = false;  // a finger missing from a frame lifted
                for (int i = 0; i < event.point_count; ++i) {
                    const TouchPoint& p = event.points[i];
                    Finger& finger = fingers[p.code_1];
                    finger.trail.push_back({float(p.x), float(p.y), now});
                    finger.radius = p.aux_0 > 0 ? p.aux_0 / 2.0f : 15.0f;
                    finger.down = p.code_0 != 3;  // 3: the point's last frame
                }
                break;
            case EVENT_GESTURE:
                gestures.push_front(GetGestureName(&event.gesture));
                if (gestures.size() > kGestureLines) gestures.pop_back();
                break;
            case EVENT_RESOLUTION:
                if (event.value_0 > 0 && event.value_1 > 0) width = event.value_0, height = event.value_1;
                break;
            case EVENT_SERVER_BREAK: status = "server gone"; break;
            case EVENT_ERROR: status = std::string("error: ") + GetStatusText(event.value_0); break;
            default: break;  // device information: nothing to show
        }
    }

    void Draw(SDL_Renderer* renderer, int out_w, int out_h, Uint32 now) {
        SDL_SetRenderDrawColor(renderer, kBackground.r, kBackground.g, kBackground.b, 255);
        SDL_RenderClear(renderer);
        const float sx = float(out_w) / width, sy = float(out_h) / height;
        for (auto it = fingers.begin(); it != fingers.end();) {
            Finger& finger = it->second;
            while (!finger.trail.empty() && now - finger.trail.front().ms > kTrailMs) finger.trail.pop_front();
            if (finger.trail.empty() && !finger.down) {
                it = fingers.erase(it);
                continue;
            }
            const SDL_Color c = kFingerColors[it->first % std::size(kFingerColors)];
            for (size_t i = 1; i < finger.trail.size(); ++i) {
                const Sample &a = finger.trail[i - 1], &b = finger.trail[i];
                SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, Uint8(255 - 255 * (now - b.ms) / kTrailMs));
                for (int d = -2; d <= 2; ++d) {  // five pixels wide
                    SDL_RenderDrawLineF(renderer, a.x * sx + d, a.y * sy, b.x * sx + d, b.y * sy);
                    SDL_RenderDrawLineF(renderer, a.x * sx, a.y * sy + d, b.x * sx, b.y * sy + d);
                }
            }
            if (finger.down && !finger.trail.empty()) {
                SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, 255);
                FillCircle(renderer, finger.trail.back().x * sx, finger.trail.back().y * sy,
                           std::fmax(8.0f, finger.radius * sx));
            }
            ++it;
        }
        int line = 0;
        for (const std::string& name : gestures) {  // the newest brightest
            const Uint8 grey = Uint8(240 - 14 * line);
            SDL_SetRenderDrawColor(renderer, grey, grey, grey, 255);
            DrawText(renderer, 12, 12 + 20 * line++, 2, name.c_str());
        }
        const std::string footer = status + "  frames " + std::to_string(frames);
        SDL_SetRenderDrawColor(renderer, 150, 150, 160, 255);
        DrawText(renderer, 12, out_h - 26, 2, footer.c_str());
    }

    static void FillCircle(SDL_Renderer* renderer, float cx, float cy, float r) {
        for (float dy = -r; dy <= r; dy += 1) {
            const float dx = std::sqrt(r * r - dy * dy);
            SDL_RenderDrawLineF(renderer, cx - dx, cy + dy, cx + dx, cy + dy);
        }
    }
};

bool SaveScreenshot(SDL_Renderer* renderer, int w, int h, const char* path) {
    std::vector<std::uint8_t> rgb(size_t(w) * h * 3);
    return SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), w * 3) == 0 &&
           WritePng(path, w, h, rgb);
}

}  // namespace

int main(int argc, char* argv[]) {
    int port = 7100, frames_to_render = 60;
    const char* screenshot = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--port")) port = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--frames")) frames_to_render = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--screenshot")) screenshot = argv[i + 1];
        else return std::fprintf(stderr, "usage: %s [--port N] [--frames N --screenshot FILE.png]\n", argv[0]), 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return std::fprintf(stderr, "SDL: %s\n", SDL_GetError()), 1;
    SDL_Window* window = SDL_CreateWindow("VornMT touch paint", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          960, 540, SDL_WINDOW_RESIZABLE);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    if (!renderer) return std::fprintf(stderr, "SDL: %s\n", SDL_GetError()), 1;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);

    OpenEventQueue(0);  // before connecting, so that the first events are queued too
    if (int32_t status = ConnectServer("127.0.0.1", port)) {
        std::fprintf(stderr, "cannot connect to 127.0.0.1:%d: %s (%d)\n", port, GetStatusText(status), status);
        return 1;
    }
    TouchClientRequest request{};
    request.type = 1;
    SendRequest(request);
    GetServerResolution(nullptr, nullptr);  // the answer comes through the queue

    Scene scene;
    int exit_status = 0, rendered_since_touch = 0;
    for (bool running = true; running;) {
        SDL_Event sdl_event;
        while (SDL_PollEvent(&sdl_event)) running &= sdl_event.type != SDL_QUIT;
        const Uint32 now = SDL_GetTicks();
        TouchEvent event;
        while (WaitEvent(&event, 0) == ERR_NONE) scene.Take(event, now);  // 0: never blocks the frame

        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer, &w, &h);
        scene.Draw(renderer, w, h, now);
        if (screenshot && scene.touched && ++rendered_since_touch == frames_to_render) {
            running = false;
            if (!SaveScreenshot(renderer, w, h, screenshot)) {
                std::fprintf(stderr, "cannot save %s: %s\n", screenshot, SDL_GetError());
                exit_status = 1;
            }
        } else if (screenshot && !scene.touched && now > kFirstTouchMs) {
            std::fprintf(stderr, "no touch within %u ms\n", unsigned(kFirstTouchMs));
            running = false;
            exit_status = 1;
        }
        SDL_RenderPresent(renderer);
        SDL_Delay(16);  // about 60 frames/s; events wait in the queue meanwhile
    }
    std::printf("%d touch frames, %zu gesture names shown\n", scene.frames, scene.gestures.size());
    DisconnectServer();
    CloseEventQueue();
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return exit_status;
}
