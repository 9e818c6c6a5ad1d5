// A Visual C++ (MSVC ABI) application of the Windows DLL, built with clang-cl
// and no C runtime: it calls only kernel32 and the library, so it runs under
// Wine without any Visual C++ runtime. It proves across the ABI boundary the
// decorated names of the records' copy assignments, the record layouts, the
// calling conventions, and callbacks on the library's threads.
//
//   msvc_consumer PORT
// PORT is a simulator playing abi_check.scenario with --resolution 800x600
// and --loops 1. Exit status 0 when every check passed.
#include <VornMTClient.h>

using namespace Vorn_SDK_MultiTouch;

extern "C" {
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int status);
__declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);
__declspec(dllimport) const char* __stdcall GetCommandLineA(void);
__declspec(dllimport) unsigned long long __stdcall GetTickCount64(void);
__declspec(dllimport) unsigned long __stdcall GetCurrentThreadId(void);

// The compiler may call these for record copies and zeroing; there is no C
// runtime to provide them. The volatile stores keep them from being turned
// into calls to themselves.
void* memset(void* target, int value, size_t size) {
    volatile unsigned char* bytes = static_cast<unsigned char*>(target);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(value);
    return target;
}
void* memcpy(void* target, const void* source, size_t size) {
    volatile unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < size; ++i) to[i] = from[i];
    return target;
}
int _fltused = 0;  // the linker's marker for floating point use
}

namespace {

const unsigned long kStdOutput = static_cast<unsigned long>(-11);
int failures = 0;

void Print(const char* text) {
    unsigned long length = 0;
    while (text[length] != 0) ++length;
    unsigned long written = 0;
    WriteFile(GetStdHandle(kStdOutput), text, length, &written, nullptr);
}

void PrintNumber(long long value) {
    char digits[24];
    int at = 23;
    digits[at] = 0;
    bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value) : value;
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits[--at] = '-';
    Print(digits + at);
}

void Check(bool ok, const char* what) {
    Print(ok ? "ok   " : "FAIL ");
    Print(what);
    Print("\n");
    if (!ok) ++failures;
}

void CheckNumber(long long got, long long want, const char* what) {
    Check(got == want, what);
    if (got != want) {
        Print("     got ");
        PrintNumber(got);
        Print(", expected ");
        PrintNumber(want);
        Print("\n");
    }
}

bool SameBytes(const void* a, const void* b, size_t size) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < size; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix != 0; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

bool Equal(const char* a, const char* b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// What the callbacks saw, published with release stores for the main thread.
struct Seen {
    int frames;
    int resolution_calls;
    int device_infos;
    int gestures_down;
    int server_breaks;
    int errors;
    int wrong_user_data;
    TouchPoint first_point;   // the first point of the first frame with one
    int first_point_count;
    TouchGesture down;        // the TG_DOWN gesture
    TouchDeviceInfo info;
    int resolution_x, resolution_y;
    unsigned long callback_thread;
};
Seen seen;
int tags[6];  // distinct user_data pointers, one per callback

void Publish(int& counter) { __atomic_add_fetch(&counter, 1, __ATOMIC_RELEASE); }
int Read(int& counter) { return __atomic_load_n(&counter, __ATOMIC_ACQUIRE); }

void VORNMT_CALL OnFrame(int32_t frame_value_0, int32_t, int32_t point_count, const TouchPoint* points,
                         void* user_data) {
    if (user_data != &tags[0]) Publish(seen.wrong_user_data);
    if (point_count > 0 && seen.first_point_count == 0) {
        seen.first_point = points[0];  // the exported copy assignment
        seen.first_point_count = point_count;
        (void)frame_value_0;
    }
    seen.callback_thread = GetCurrentThreadId();
    Publish(seen.frames);
}

void VORNMT_CALL OnGesture(const TouchGesture* gesture, void* user_data) {
    if (user_data != &tags[1]) Publish(seen.wrong_user_data);
    if (gesture->code == TG_DOWN && Equal(GetGestureName(gesture), "TG_DOWN") && Read(seen.gestures_down) == 0) {
        seen.down = *gesture;
        Publish(seen.gestures_down);
    }
}

void VORNMT_CALL OnServerBreak(void* reserved, void* user_data) {
    if (user_data != &tags[2] || reserved != nullptr) Publish(seen.wrong_user_data);
    Publish(seen.server_breaks);
}

void VORNMT_CALL OnError(int32_t, void* user_data) {
    if (user_data != &tags[3]) Publish(seen.wrong_user_data);
    Publish(seen.errors);
}

void VORNMT_CALL OnDeviceInfo(const TouchDeviceInfo* info, void* user_data) {
    if (user_data != &tags[4]) Publish(seen.wrong_user_data);
    if (Read(seen.device_infos) == 0) seen.info = *info;
    Publish(seen.device_infos);
}

void VORNMT_CALL OnResolution(int32_t x, int32_t y, void* user_data) {
    if (user_data != &tags[5]) Publish(seen.wrong_user_data);
    seen.resolution_x = x;
    seen.resolution_y = y;
    Publish(seen.resolution_calls);
}

// Waits up to 20 seconds for a counter to become non-zero.
bool WaitFor(int& counter) {
    unsigned long long deadline = GetTickCount64() + 20000;
    while (Read(counter) == 0) {
        if (GetTickCount64() > deadline) return false;
        Sleep(5);
    }
    return true;
}

int PortFromCommandLine() {
    const char* line = GetCommandLineA();
    const char* last = line;
    for (const char* at = line; *at != 0; ++at)
        if (*at == ' ' && at[1] != ' ' && at[1] != 0) last = at + 1;
    int port = 0;
    for (; *last >= '0' && *last <= '9'; ++last) port = port * 10 + (*last - '0');
    return port;
}

void CheckRecordCopies() {
    TouchPoint point{1, 2, -3, 4, 5, 6};
    TouchPoint point_copy{};
    point_copy = point;
    Check(SameBytes(&point, &point_copy, sizeof point), "TouchPoint copy assignment");

    TouchGesture gesture{8, 2, {1.5, 2.5, 3.5, 4.5, 5.5, 6.5}};  // entries past param_count too
    TouchGesture gesture_copy{};
    gesture_copy = gesture;
    Check(SameBytes(&gesture, &gesture_copy, sizeof gesture), "TouchGesture copy assignment");

    TouchDeviceInfo info{7, 8, {'a', 'b', 'c'}};
    TouchDeviceInfo info_copy{};
    info_copy = info;
    Check(SameBytes(&info, &info_copy, sizeof info), "TouchDeviceInfo copy assignment");

    TouchClientRequest request{};
    request.type = 9;
    request.app_key_id.Data1 = 0x01234567;
    request.app_key_id.Data4[7] = 0xEF;
    request.param[0] = 'p';
    TouchClientRequest request_copy{};
    request_copy = request;
    Check(SameBytes(&request, &request_copy, sizeof request), "TouchClientRequest copy assignment");
}

}  // namespace

extern "C" void ConsumerMain() {
    CheckRecordCopies();

    Check(SetOnReceivePointFrame(OnFrame, &tags[0]) == nullptr, "SetOnReceivePointFrame");
    Check(SetOnReceiveGesture(OnGesture, &tags[1]) == nullptr, "SetOnReceiveGesture");
    Check(SetOnServerBreak(OnServerBreak, &tags[2]) == nullptr, "SetOnServerBreak");
    Check(SetOnReceiveError(OnError, &tags[3]) == nullptr, "SetOnReceiveError");
    Check(SetOnGetDeviceInfo(OnDeviceInfo, &tags[4]) == nullptr, "SetOnGetDeviceInfo");
    Check(SetOnReceiveGesture(OnGesture, &tags[1]) == OnGesture, "a setter returns the previous callback");
    Check(Equal(GetStatusText(10061), "connection refused"), "GetStatusText");

    int port = PortFromCommandLine();
    CheckNumber(ConnectServer("127.0.0.1", port), 0, "ConnectServer");
    TouchClientRequest request{};
    request.type = 1;
    CheckNumber(SendRequest(request), 0, "SendRequest");
    CheckNumber(SendThreshold(3), 0, "SendThreshold");
    CheckNumber(SetRawDataResolution(800, 600), 0, "SetRawDataResolution");
    CheckNumber(GetServerResolution(OnResolution, &tags[5]), 0, "GetServerResolution");

    Check(WaitFor(seen.resolution_calls), "a resolution arrives");
    CheckNumber(seen.resolution_x, 800, "resolution x");
    CheckNumber(seen.resolution_y, 600, "resolution y");

    Check(WaitFor(seen.device_infos), "device information arrives");
    Check(StartsWith(seen.info.info_text, "VornMT touch simulator"), "device information text");

    Check(WaitFor(seen.gestures_down), "a TG_DOWN gesture arrives");
    CheckNumber(seen.down.code, 1, "gesture code");
    CheckNumber(seen.down.param_count, 2, "gesture parameter count");
    Check(seen.down.params[0] == 100.0 && seen.down.params[1] == 200.0, "gesture parameters x 100, y 200");
    Check(seen.down.params[2] == 0.0 && seen.down.params[5] == 0.0, "unused gesture parameters are 0");

    Check(WaitFor(seen.server_breaks), "the server break arrives after the stream");
    Check(Read(seen.frames) >= 2, "frames arrive");
    CheckNumber(seen.first_point_count, 1, "points in the first frame");
    CheckNumber(seen.first_point.code_1, 7, "point code_1 (finger id)");
    CheckNumber(seen.first_point.code_0, 1, "point code_0 (down)");
    CheckNumber(seen.first_point.x, 100, "point x");
    CheckNumber(seen.first_point.y, 200, "point y");
    CheckNumber(seen.first_point.aux_0, 40, "point aux_0");
    CheckNumber(seen.first_point.aux_1, 50, "point aux_1");
    Check(seen.callback_thread != GetCurrentThreadId(), "callbacks run on the library's threads");
    CheckNumber(Read(seen.wrong_user_data), 0, "every callback gets its own user_data");
    CheckNumber(Read(seen.errors), 0, "no error reports");

    CheckNumber(DisconnectServer(), 0, "DisconnectServer");
    Print(failures == 0 ? "msvc consumer: all checks passed\n" : "msvc consumer: FAILED\n");
    ExitProcess(failures == 0 ? 0 : 1);
}
