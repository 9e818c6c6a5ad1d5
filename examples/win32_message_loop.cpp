// Touch events in a Win32 message loop: MsgWaitForMultipleObjectsEx waits
// for the event queue's wait handle and the thread's window messages at
// once, so window procedures and touch events run on one thread, with no
// lock and no callback. A message-only window stands in for the
// application's windows; its timer is the deadline.
//   win32_message_loop [--port N] [--frames N] [--deadline-ms MS]
// Exits with 0 after N frames (default 100), with 1 when it cannot connect,
// the server goes away or the deadline (default 30000 ms) passes first.
// Without touch hardware, start the simulator first (vornmt-sim).
#include <windows.h>

#include <VornMTClient.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Vorn_SDK_MultiTouch;

namespace {

const UINT_PTR kDeadlineTimer = 1;
// Events taken per turn of the loop: the handle stays signalled while more
// are queued, so a flood of frames never keeps the window's messages waiting.
const int kEventsPerTurn = 256;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER && wparam == kDeadlineTimer) {
        std::fprintf(stderr, "deadline passed\n");
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 7100, frames_wanted = 100, deadline_ms = 30000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--port")) port = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--frames")) frames_wanted = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--deadline-ms")) deadline_ms = std::atoi(argv[i + 1]);
        else return std::fprintf(stderr, "usage: %s [--port N] [--frames N] [--deadline-ms MS]\n", argv[0]), 2;
    }

    WNDCLASSW window_class{};
    window_class.lpfnWndProc = WindowProcedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"VornMTMessageLoop";
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  window_class.hInstance, nullptr);
    if (!window) return std::fprintf(stderr, "CreateWindowExW failed: %lu\n", GetLastError()), 1;
    SetTimer(window, kDeadlineTimer, UINT(deadline_ms), nullptr);

    int32_t status = OpenEventQueue(0);  // before connecting, so that no event is missed
    if (status == ERR_NONE) status = ConnectServer("127.0.0.1", port);
    if (status != ERR_NONE) {
        std::fprintf(stderr, "cannot connect to 127.0.0.1:%d: %s (%d)\n", port, GetStatusText(status), status);
        return 1;
    }
    TouchClientRequest request{};
    request.type = 1;
    SendRequest(request);
    HANDLE queue = reinterpret_cast<HANDLE>(GetEventWaitHandle());  // the library's: wait on it only

    int frames = 0, gestures = 0, exit_status = -1;
    bool quitting = false;  // a quit is posted: take no more events
    while (exit_status < 0) {
        MSG message;
        while (exit_status < 0 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) exit_status = int(message.wParam);
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        TouchEvent event;
        for (int taken = 0; !quitting && taken < kEventsPerTurn && WaitEvent(&event, 0) == ERR_NONE; ++taken) {
            if (event.kind == EVENT_FRAME && ++frames == frames_wanted) {
                PostQuitMessage(0);  // leaves the loop like any other quit
                quitting = true;
            } else if (event.kind == EVENT_GESTURE) {
                ++gestures;
                std::printf("gesture %s\n", GetGestureName(&event.gesture));
            } else if (event.kind == EVENT_SERVER_BREAK) {
                std::fprintf(stderr, "the server went away\n");
                PostQuitMessage(1);
                quitting = true;
            }
        }
        if (exit_status < 0 &&
            MsgWaitForMultipleObjectsEx(1, &queue, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED) {
            std::fprintf(stderr, "MsgWaitForMultipleObjectsEx failed: %lu\n", GetLastError());
            exit_status = 1;
        }
    }
    std::printf("%d frames, %d gestures\n", frames, gestures);
    std::fflush(stdout);
    KillTimer(window, kDeadlineTimer);
    DestroyWindow(window);
    DisconnectServer();
    CloseEventQueue();  // after the last wait on its handle
    return exit_status;
}
