/*
 * VornMTClient: client library for a multi-touch input server.
 *
 * The application connects the library to a touch server over TCP
 * (ConnectServer), subscribes (SendRequest), and then receives touch point
 * frames, gestures, device information and the server's resolution through
 * callbacks. Every message on the wire is one XML "invoke" document followed
 * by a NUL byte.
 *
 * Threads. The library runs two threads of its own while connected:
 *   - the receive thread reads the socket; it calls the ServerBreakCallback
 *     and reports socket errors to the ErrorCallback;
 *   - the dispatch thread parses messages and calls every other callback
 *     (frames, gestures, device information, resolution, message errors).
 * A callback runs while the library holds that callback's own slot lock, so
 * replacing a callback from an application thread waits until a running call
 * of it has returned. Inside a callback an application may call every
 * function of this header except ConnectServer (which returns ERR_IN_CALLBACK
 * there); none of them waits there for a callback running on the other
 * library thread. DisconnectServer from inside a callback stops the
 * connection without waiting for the calling thread.
 * An application that wants the events on a thread of its own (a user
 * interface or render loop) opens the event queue instead or as well
 * (OpenEventQueue) and takes them there (WaitEvent), waking on a handle its
 * event loop watches (GetEventWaitHandle).
 *
 * Forking. A child process started with fork inherits no connection: in the
 * child, requests return 10057 and send nothing until it connects anew, and
 * setters never wait for a callback the parent was running. The child's
 * copies of the connection's descriptors are closed at the fork; the
 * parent's connection goes on untouched. The child starts with no event
 * queue open and nothing queued; its copy of the queue's wait handle is
 * closed at the fork, the parent's stays open.
 *
 * Pointers handed to a callback are valid only during that call.
 *
 * Unloading. Call DisconnectServer before the process exits or the library is
 * unloaded, and CloseEventQueue once no thread waits in WaitEvent. At
 * process exit the library ends a connection still open; every function
 * stays safe to call until the process is gone (from a global destructor or
 * a runtime shutting down, say), as the library frees nothing at exit, and
 * the exit does not wait for a thread still waiting in WaitEvent. On Linux
 * the library is never unmapped once loaded (dlclose leaves it in place); on
 * Windows it keeps itself loaded once it has connected, so FreeLibrary never
 * unmaps code that a worker thread still runs.
 *
 * Error numbers. Socket failures are reported as Windows Sockets error numbers
 * on every platform (10061 connection refused, 10054 connection reset,
 * 10060 timed out, 10057 not connected, ...).
 *
 * Exceptions. An exception thrown by a callback built with the same C++
 * toolchain as the library (g++ on Linux; MinGW-w64 g++ for the Windows DLL)
 * is caught, reported as ERR_CALLBACK_EXCEPTION, and delivery goes on. On
 * Windows an exception of any other toolchain (Visual C++, clang-cl, .NET,
 * or a structured exception) is foreign to the library: it is not caught and
 * ends the process. Callbacks built with Visual C++ or clang-cl must catch
 * everything themselves (try { ... } catch (...) { ... }); no exception ever
 * leaves an exported function.
 *
 * Windows. VornMTClient.dll serves Visual C++ (link VornMTClient.lib) and
 * MinGW-w64 (link libVornMTClient.dll.a) applications alike: the exported
 * functions are plain C names, the records have the same layout under both
 * compilers (checked below), and the records' copy assignments are exported
 * under both compilers' decorated names. Functions and callbacks use the
 * Windows API calling convention (__stdcall, which on x64 is the one x64
 * convention).
 */
#ifndef VORNMTCLIENT_H
#define VORNMTCLIENT_H

/* The version of this header and of the library it belongs to. The build
 * reads these three lines: they are the project's one version. */
#define VORNMT_VERSION_MAJOR 1
#define VORNMT_VERSION_MINOR 1
#define VORNMT_VERSION_PATCH 0
/* The same as one number, the form GetLibraryVersion returns. */
#define VORNMT_VERSION (VORNMT_VERSION_MAJOR * 10000 + VORNMT_VERSION_MINOR * 100 + VORNMT_VERSION_PATCH)

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#include <guiddef.h>
#define VORNMT_CALL __stdcall
#if defined(VORNMT_BUILDING)
#define VORNMT_API __declspec(dllexport)
#else
#define VORNMT_API __declspec(dllimport)
#endif
#else
#define VORNMT_CALL
#define VORNMT_API __attribute__((visibility("default")))
#endif

namespace Vorn_SDK_MultiTouch {

/* ---- Limits ---------------------------------------------------------- */

/* Points one frame delivers at most; the rest of a larger frame is dropped. */
const int32_t MAX_FRAME_POINTS = 100;
/* Parameters one gesture carries at most. */
const int32_t MAX_GESTURE_PARAMS = 6;
/* Bytes of TouchDeviceInfo::info_text, its NUL included. */
const int32_t DEVICE_INFO_TEXT_SIZE = 128;
/* Bytes of TouchClientRequest::param, its NUL included. */
const int32_t REQUEST_PARAM_SIZE = 128;
/* Largest inbound message, in bytes, without its NUL: 128 KiB. The largest
 * message a server sends is a frame of MAX_FRAME_POINTS points, about 35 KB,
 * which leaves more than three times its size to spare. The bound is no
 * larger because every byte costs the dispatch thread time while the frames
 * behind it wait: TinyXML reads a long string, number or CDATA section at
 * some 30 ns a byte, so a message of a mebibyte took it over 30 ms, one of
 * this size takes a few. A longer one is skipped up to its NUL by the receive
 * thread, without being read, and reported as ERR_BAD_MESSAGE on the dispatch
 * thread, in its place among the messages around it. */
const int32_t MAX_MESSAGE_BYTES = 128 << 10;
/* Deepest element nesting an inbound message may have (the invoke element
 * counts as level 1). A deeper one is reported as ERR_BAD_MESSAGE. */
const int32_t MAX_MESSAGE_DEPTH = 64;
/* Most elements, attributes and other markup nodes (comments, CDATA
 * sections, declarations) an inbound message may hold, so that no message
 * costs more than a few megabytes and milliseconds to read; a frame of
 * MAX_FRAME_POINTS points holds about 2,100. A message with more is reported
 * as ERR_BAD_MESSAGE. */
const int32_t MAX_MESSAGE_NODES = 16384;
/* Bytes of received messages the library holds between its two threads,
 * each counted by the memory it takes. Above it the library stops reading
 * and TCP slows the server down; nothing is dropped. */
const int32_t MAX_QUEUED_BYTES = 16 << 20;
/* Events the event queue holds when opened with capacity 0. */
const int32_t DEFAULT_QUEUED_EVENTS = 1024;
/* Largest capacity OpenEventQueue accepts. */
const int32_t MAX_QUEUED_EVENTS = 65536;

/* ---- Status and error codes ------------------------------------------ */

/* Success. */
const int32_t ERR_NONE = 0;
/* An inbound message is not an invoke document, or a known message whose
 * arguments are missing, of the wrong kind or unusable, or the library ran
 * out of memory while decoding it (the message is lost; the next one is
 * read). Dispatch thread, in the order the messages arrived. */
const int32_t ERR_BAD_MESSAGE = 0x31000001;
/* The server announced a version 1.x with x below 10. Dispatch thread. */
const int32_t ERR_OLD_SERVER = 0x31000002;
/* An application callback threw; the event is lost, delivery goes on.
 * Dispatch or receive thread, whichever ran the callback. */
const int32_t ERR_CALLBACK_EXCEPTION = 0x31000003;
/* ConnectServer was called from inside a callback, on one of the library's
 * own threads; nothing was changed. */
const int32_t ERR_IN_CALLBACK = 0x31000004;
/* WaitEvent took no event: none came within its time-out, no event queue is
 * open, or CloseEventQueue closed it while WaitEvent waited. */
const int32_t ERR_NO_EVENT = 0x31000005;
/* With automatic reconnection on (SetAutoReconnect): ConnectServer found no
 * server and the library goes on trying in the background; or a setting
 * (SendRequest, SendThreshold, SetRawDataResolution) was made while it
 * tries, and is kept to be sent once it has connected. Not a failure. */
const int32_t ERR_NOT_YET_CONNECTED = 0x31000006;

/* ---- Connection states (GetConnectionState) --------------------------- */

/* No connection: never connected, DisconnectServer, or the server went away
 * with automatic reconnection off. */
const int32_t STATE_DISCONNECTED = 0;
/* Connected to the server. */
const int32_t STATE_CONNECTED = 1;
/* Automatic reconnection is on and the library is trying to connect, after a
 * lost connection or a ConnectServer that found no server. */
const int32_t STATE_RECONNECTING = 2;

/* Other codes are Windows Sockets error numbers (10000 to 11999) of the
 * socket call that failed, or a system error number when a worker thread
 * could not be started. GetStatusText names every one of them. */

/* ---- Gesture codes --------------------------------------------------- */
/* The codes of TouchGesture::code that have a name; GetGestureName gives
 * each constant's own name ("TG_DOWN" for TG_DOWN); other codes have none.
 * Compare codes with these names, not with bare numbers. */
const uint16_t TG_TOUCH_START            = 0;
const uint16_t TG_DOWN                   = 1;
const uint16_t TG_MOVE                   = 6;
const uint16_t TG_UP                     = 7;
const uint16_t TG_CLICK                  = 8;
const uint16_t TG_DB_CLICK               = 9;
const uint16_t TG_BIG_DOWN               = 10;
const uint16_t TG_BIG_MOVE               = 11;
const uint16_t TG_BIG_UP                 = 12;
const uint16_t TG_MOVE_RIGHT             = 17;
const uint16_t TG_MOVE_UP                = 18;
const uint16_t TG_MOVE_LEFT              = 19;
const uint16_t TG_MOVE_DOWN              = 20;
const uint16_t TG_SECOND_DOWN            = 25;
const uint16_t TG_SECOND_UP              = 26;
const uint16_t TG_SECOND_CLICK           = 27;
const uint16_t TG_SECOND_DB_CLICK        = 28;
const uint16_t TG_SPLIT_START            = 32;
const uint16_t TG_SPLIT_APART            = 33;
const uint16_t TG_SPLIT_CLOSE            = 34;
const uint16_t TG_SPLIT_END              = 35;
const uint16_t TG_ROTATE_START           = 36;
const uint16_t TG_ROTATE_ANTICLOCK       = 37;
const uint16_t TG_ROTATE_CLOCK           = 38;
const uint16_t TG_ROTATE_END             = 39;
const uint16_t TG_NEAR_PARREL_DOWN       = 40;
const uint16_t TG_NEAR_PARREL_MOVE       = 45;
const uint16_t TG_NEAR_PARREL_UP         = 46;
const uint16_t TG_NEAR_PARREL_CLICK      = 47;
const uint16_t TG_NEAR_PARREL_DB_CLICK   = 48;
const uint16_t TG_NEAR_PARREL_MOVE_RIGHT = 49;
const uint16_t TG_NEAR_PARREL_MOVE_UP    = 50;
const uint16_t TG_NEAR_PARREL_MOVE_LEFT  = 51;
const uint16_t TG_NEAR_PARREL_MOVE_DOWN  = 52;
const uint16_t TG_MULTI_DOWN             = 53;
const uint16_t TG_MULTI_MOVE             = 58;
const uint16_t TG_MULTI_UP               = 59;
const uint16_t TG_MULTI_MOVE_RIGHT       = 60;
const uint16_t TG_MULTI_MOVE_UP          = 61;
const uint16_t TG_MULTI_MOVE_LEFT        = 62;
const uint16_t TG_MULTI_MOVE_DOWN        = 63;
const uint16_t TG_TOUCH_END              = 128;
const uint16_t TG_NO_ACTION              = 0xFFFF;

/* ---- Event kinds ----------------------------------------------------- */
/* TouchEvent::kind: which delivery an event of the event queue stands for,
 * and so which of its fields hold it. */
const int32_t EVENT_FRAME = 1;         /* value_0, value_1, point_count, points */
const int32_t EVENT_GESTURE = 2;       /* gesture */
const int32_t EVENT_DEVICE_INFO = 3;   /* info */
const int32_t EVENT_RESOLUTION = 4;    /* value_0 (x), value_1 (y) */
const int32_t EVENT_SERVER_BREAK = 5;  /* no field */
const int32_t EVENT_ERROR = 6;         /* value_0 (the error code) */
const int32_t EVENT_CONNECTED = 7;     /* no field: a connection opened in the background is up */

/* ---- Records --------------------------------------------------------- */
/* The records are plain aggregates in C++14, 17 and 20: build them with
 * TouchClientRequest r{}; (all zero) and set fields, or TouchPoint p{1, 2, 3,
 * 4, 5, 6}; in field order. Each declares only its copy assignment, which the
 * library exports; it copies the whole record, as the implicit copy
 * constructor does. Compilers flag an implicit copy constructor beside a
 * user-declared copy assignment as deprecated (-Wdeprecated-copy); here both
 * copy every byte, so that warning is silenced for these records only. */
/* The records keep their natural alignment whatever packing the including
 * code has set. */
#pragma pack(push, 8)
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated"
#if __has_warning("-Wdeprecated-copy-with-user-provided-copy")
#pragma clang diagnostic ignored "-Wdeprecated-copy-with-user-provided-copy"
#endif
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-copy"
#endif

#if defined(_WIN32)
typedef ::GUID TouchGuid;
#else
/* Same layout as the Windows GUID structure. */
struct TouchGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
#endif

/* One touch point of a frame. The library copies the server's six numbers
 * into it without interpreting them; each 16-bit field keeps the low 16 bits
 * of the number sent. Note the order: code_1 (the point's element 1) comes
 * before code_0 (element 0). */
struct TouchPoint {
    uint16_t code_1;
    uint16_t code_0;
    int32_t x;
    int32_t y;
    uint16_t aux_0;
    uint16_t aux_1;

    /* Copies the whole record. */
    VORNMT_API TouchPoint& operator=(const TouchPoint& other);
};

/* One recognised gesture. params[0 .. param_count-1] are valid; the other
 * entries are 0 in records the library delivers. Name the code with
 * GetGestureName. */
struct TouchGesture {
    uint16_t code;
    uint16_t param_count;
    double params[MAX_GESTURE_PARAMS];

    /* Copies the whole record, params beyond param_count included. */
    VORNMT_API TouchGesture& operator=(const TouchGesture& other);
};

/* Information on the touch device, as the server announces it. info_text is
 * NUL-terminated (at most 127 characters; a longer text is cut) and the
 * bytes after its NUL are 0. */
struct TouchDeviceInfo {
    int32_t info_value_0;
    int32_t info_value_1;
    char info_text[DEVICE_INFO_TEXT_SIZE];

    /* Copies the whole record. */
    VORNMT_API TouchDeviceInfo& operator=(const TouchDeviceInfo& other);
};

/* What the application asks the server to send (SendRequest). type and
 * param mean what the server defines; the library sends them unchanged.
 * param should be NUL-terminated; without a NUL its 128 bytes are sent. */
struct TouchClientRequest {
    int32_t type;
    TouchGuid app_key_id;
    char param[REQUEST_PARAM_SIZE];

    /* Copies the whole record. */
    VORNMT_API TouchClientRequest& operator=(const TouchClientRequest& other);
};

/* One event taken from the event queue (WaitEvent): by value, what the
 * matching callback receives. kind is one of the EVENT_ constants and names
 * the fields that hold the event; every other field is 0, and so are the
 * points beyond point_count. 1808 bytes. */
struct TouchEvent {
    int32_t kind;
    int32_t value_0;      /* frame: frame_value_0; resolution: x; error: the code */
    int32_t value_1;      /* frame: frame_value_1; resolution: y */
    int32_t point_count;  /* frame: 0 to MAX_FRAME_POINTS */
    TouchPoint points[MAX_FRAME_POINTS];
    TouchGesture gesture;
    TouchDeviceInfo info;

    /* Copies the whole record. */
    VORNMT_API TouchEvent& operator=(const TouchEvent& other);
};

#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
#pragma pack(pop)

/* The layout every compiler must agree on: Visual C++ and MinGW-w64
 * applications share one DLL, and the bindings copy these offsets. */
static_assert(sizeof(TouchGuid) == 16, "TouchGuid layout");
static_assert(sizeof(TouchPoint) == 16 && offsetof(TouchPoint, code_1) == 0 &&
                  offsetof(TouchPoint, code_0) == 2 && offsetof(TouchPoint, x) == 4 &&
                  offsetof(TouchPoint, y) == 8 && offsetof(TouchPoint, aux_0) == 12 &&
                  offsetof(TouchPoint, aux_1) == 14,
              "TouchPoint layout");
static_assert(sizeof(TouchGesture) == 56 && offsetof(TouchGesture, code) == 0 &&
                  offsetof(TouchGesture, param_count) == 2 && offsetof(TouchGesture, params) == 8,
              "TouchGesture layout");
static_assert(sizeof(TouchDeviceInfo) == 136 && offsetof(TouchDeviceInfo, info_value_0) == 0 &&
                  offsetof(TouchDeviceInfo, info_value_1) == 4 && offsetof(TouchDeviceInfo, info_text) == 8,
              "TouchDeviceInfo layout");
static_assert(sizeof(TouchClientRequest) == 148 && offsetof(TouchClientRequest, type) == 0 &&
                  offsetof(TouchClientRequest, app_key_id) == 4 && offsetof(TouchClientRequest, param) == 20,
              "TouchClientRequest layout");
static_assert(sizeof(TouchEvent) == 1808 && offsetof(TouchEvent, kind) == 0 && offsetof(TouchEvent, value_0) == 4 &&
                  offsetof(TouchEvent, value_1) == 8 && offsetof(TouchEvent, point_count) == 12 &&
                  offsetof(TouchEvent, points) == 16 && offsetof(TouchEvent, gesture) == 1616 &&
                  offsetof(TouchEvent, info) == 1672,
              "TouchEvent layout");

/* ---- Callback types -------------------------------------------------- */
/* Every callback gets, as its last argument, the user_data pointer that was
 * registered together with it. A callback that throws an exception the
 * library can catch (see Exceptions above) is reported as
 * ERR_CALLBACK_EXCEPTION and the event is lost; the ErrorCallback itself
 * must not throw. */

/* A "frame" message arrived. Dispatch thread. points holds point_count
 * records (0 to MAX_FRAME_POINTS); the array is the library's and is
 * overwritten by the next frame: it is valid only during the call.
 * frame_value_0 and frame_value_1 are the frame's two leading numbers. */
typedef void (VORNMT_CALL *PointFrameCallback)(int32_t frame_value_0, int32_t frame_value_1,
                                   int32_t point_count, const TouchPoint* points,
                                   void* user_data);

/* A "gesture" message arrived. Dispatch thread. gesture is valid only
 * during the call. */
typedef void (VORNMT_CALL *GestureCallback)(const TouchGesture* gesture, void* user_data);

/* An "information" message arrived. Dispatch thread. info is valid only
 * during the call. */
typedef void (VORNMT_CALL *DeviceInfoCallback)(const TouchDeviceInfo* info, void* user_data);

/* A "resolution" message arrived (normally the answer to
 * GetServerResolution). Dispatch thread. */
typedef void (VORNMT_CALL *ResolutionCallback)(int32_t x, int32_t y, void* user_data);

/* The server closed or reset the connection. Receive thread; called once
 * per connection, after every message received before the break has been
 * delivered (so it waits for a callback still running on the dispatch
 * thread). reserved is always null. The
 * connection stays in place until the application calls DisconnectServer
 * (allowed inside this callback) or ConnectServer (on an application thread
 * only: inside a callback it returns ERR_IN_CALLBACK). */
typedef void (VORNMT_CALL *ServerBreakCallback)(void* reserved, void* user_data);

/* With automatic reconnection on, a connection the library opened in the
 * background is up. Receive thread; called after the settings have been
 * sent again (see SetAutoReconnect) and before any event of the new
 * connection is delivered. reserved is always null. */
typedef void (VORNMT_CALL *ConnectedCallback)(void* reserved, void* user_data);

/* An error: a Windows Sockets error number (receive thread) or one of the
 * ERR_ codes above (dispatch thread; ERR_CALLBACK_EXCEPTION also on the
 * receive thread). Must not throw. */
typedef void (VORNMT_CALL *ErrorCallback)(int32_t error_code, void* user_data);

} /* namespace Vorn_SDK_MultiTouch */

extern "C" {

/* ---- Connection ------------------------------------------------------ */

/* Connects to the touch server at server_address (dotted IPv4 text; null
 * means "127.0.0.1"; no host names) on TCP port (low 16 bits of port) and
 * starts the two worker threads. An earlier connection is closed first.
 * Blocks until the connection is made or refused.
 * Returns ERR_NONE, a Windows Sockets error number (10061 nothing listens,
 * 10049 the address is not a dotted IPv4 address, ...), a system error number
 * if a worker thread could not start, or ERR_IN_CALLBACK when called from a
 * callback (then nothing changes). With automatic reconnection on, a server
 * that is not there (refused, unreachable, timed out) gives
 * ERR_NOT_YET_CONNECTED instead: the library reports the cause once to the
 * ErrorCallback and keeps trying in the background (see SetAutoReconnect);
 * an address that is not a dotted IPv4 text still fails at once. On failure no connection and no thread
 * is left behind, except after a thread start failure, which the next
 * ConnectServer or DisconnectServer cleans up.
 * Calls of ConnectServer and DisconnectServer on several application threads
 * at once are taken one after the other. */
VORNMT_API int32_t VORNMT_CALL ConnectServer(const char* server_address, int32_t port);

/* Closes the connection and ends both worker threads. Returns 0 always,
 * also when there is no connection. Returns within milliseconds unless a
 * callback is running, whose return it waits for; a request blocked in a
 * send on another thread is ended at once (it returns a socket error). No
 * ServerBreakCallback results from it. From inside a callback it closes the
 * connection without waiting for the calling thread, which ends when its
 * callback returns; the next ConnectServer or DisconnectServer reaps it.
 * Messages received but not yet delivered are kept and delivered on the next
 * connection. */
VORNMT_API int32_t VORNMT_CALL DisconnectServer(void);

/* ---- Automatic reconnection ------------------------------------------ */
/* Off unless SetAutoReconnect turns it on; with it off, every function
 * behaves as if it did not exist.
 *
 * With it on, a connection that ends (the server closes, resets or goes
 * away) is reported as before, ServerBreakCallback once per lost connection
 * (or the ErrorCallback for other socket errors), after every event received
 * before it; the break is the application's signal that every touch it holds
 * has ended: clear them, and go on at the next frame. Then the library
 * connects again in the background to the same address and port, waiting
 * min_delay_ms before the first attempt and doubling the wait after each
 * failed attempt up to max_delay_ms, each wait varied by up to a fifth so
 * that many clients do not come back at once. Waiting costs no CPU. On
 * success it sends, before anything else and in this order, the last
 * TouchClientRequest that SendRequest sent, the last threshold and the last
 * raw-data resolution (each only if one was sent since the application's
 * last ConnectServer, or kept while the library tried: see
 * ERR_NOT_YET_CONNECTED); a resolution query is never sent again. Then the
 * ConnectedCallback runs, and the events of the new connection follow. The
 * attempts go on until one succeeds or the application calls
 * DisconnectServer or ConnectServer, which end them within milliseconds,
 * also in the middle of an attempt; nothing of them is left behind.
 *
 * A forked child inherits no reconnection: it starts with it off. */

/* Turns automatic reconnection on (min_delay_ms, max_delay_ms: the first
 * and the longest wait between attempts, in milliseconds; 1 <= min <= max)
 * or off (0, 0). Any thread, callbacks included, before or after
 * connecting; a change reaches an attempt already waiting when that wait
 * ends. Returns ERR_NONE, or 10022 (WSAEINVAL) for a negative value, a min
 * above max, or a min of 0 with a max above 0; then nothing changes. */
VORNMT_API int32_t VORNMT_CALL SetAutoReconnect(int32_t min_delay_ms, int32_t max_delay_ms);

/* STATE_DISCONNECTED, STATE_CONNECTED or STATE_RECONNECTING. Any thread,
 * callbacks included; inside the ServerBreakCallback it already tells
 * whether the library will connect again. */
VORNMT_API int32_t VORNMT_CALL GetConnectionState(void);

/* ---- Callback registration ------------------------------------------- */
/* Each setter stores callback (null stops the deliveries) and user_data,
 * and returns the previously stored callback. Registrations survive
 * disconnects and new connections. Any thread may call them, a callback
 * included. Called outside a callback, a setter returns once a running call
 * of the old callback has ended: the old callback is then neither running nor
 * called again. Called from inside a callback, it waits for nothing: later
 * events go to the new callback, but a call of the old one that already runs
 * on the other library thread may still be under way. */

VORNMT_API Vorn_SDK_MultiTouch::PointFrameCallback VORNMT_CALL
SetOnReceivePointFrame(Vorn_SDK_MultiTouch::PointFrameCallback callback, void* user_data);

VORNMT_API Vorn_SDK_MultiTouch::GestureCallback VORNMT_CALL
SetOnReceiveGesture(Vorn_SDK_MultiTouch::GestureCallback callback, void* user_data);

VORNMT_API Vorn_SDK_MultiTouch::ServerBreakCallback VORNMT_CALL
SetOnServerBreak(Vorn_SDK_MultiTouch::ServerBreakCallback callback, void* user_data);

VORNMT_API Vorn_SDK_MultiTouch::ErrorCallback VORNMT_CALL
SetOnReceiveError(Vorn_SDK_MultiTouch::ErrorCallback callback, void* user_data);

VORNMT_API Vorn_SDK_MultiTouch::DeviceInfoCallback VORNMT_CALL
SetOnGetDeviceInfo(Vorn_SDK_MultiTouch::DeviceInfoCallback callback, void* user_data);

/* The callback of connections the library opens in the background. */
VORNMT_API Vorn_SDK_MultiTouch::ConnectedCallback VORNMT_CALL
SetOnConnected(Vorn_SDK_MultiTouch::ConnectedCallback callback, void* user_data);

/* ---- Requests -------------------------------------------------------- */
/* Each request sends one message on the calling thread and waits for no
 * answer. Returns ERR_NONE when the whole message was handed to the socket,
 * 10057 (not connected) when there is no connection or a disconnect has begun
 * (nothing is sent), or the Windows Sockets error number of the failed send
 * (such as 10058 for a send cut short by DisconnectServer). A
 * request never sends on a connection other than the one open when it began.
 * Messages sent from several threads at once never interleave. May be called
 * from callbacks. With automatic reconnection on, SendRequest, SendThreshold
 * and SetRawDataResolution return ERR_NOT_YET_CONNECTED while the library
 * tries to connect, and the setting is sent as soon as it has connected; one
 * whose send fails as the connection ends is sent on the next connection
 * too. */

/* Subscribes: sends type, app_key_id and param together with the
 * executable's base name, the process id and the protocol version 259. */
VORNMT_API int32_t VORNMT_CALL SendRequest(const Vorn_SDK_MultiTouch::TouchClientRequest& request);

/* Sends the movement threshold (its unit is the server's). */
VORNMT_API int32_t VORNMT_CALL SendThreshold(int32_t move_threshold);

/* Tells the server the resolution of the raw data it is to report. */
VORNMT_API int32_t VORNMT_CALL SetRawDataResolution(int32_t x, int32_t y);

/* Asks the server for its resolution. callback (null: no callback receives
 * the answer; an open event queue still does, as EVENT_RESOLUTION) and
 * user_data are stored before the query is sent and receive this and every
 * later "resolution" message, on the dispatch thread. If the send fails, the
 * slot holds what it would hold had this call not been made, whatever other
 * threads query meanwhile, and the failed pair is not called after the call
 * has returned (while it runs, an answer to an earlier query may reach it).
 * Like a setter, called outside a callback it returns once a running call of
 * a replaced pair has ended. */
VORNMT_API int32_t VORNMT_CALL GetServerResolution(Vorn_SDK_MultiTouch::ResolutionCallback callback,
                                                   void* user_data);

/* ---- Event queue ----------------------------------------------------- */
/* The events on the application's own thread: while the queue is open, the
 * library puts every event into it (frames, gestures, device information,
 * resolution answers, errors, the server break) and any application thread
 * takes them with WaitEvent, or waits for them on the handle of
 * GetEventWaitHandle in its own event loop.
 *
 * Order. Events are queued in the order the library delivers them, each one
 * just before its callback, if one is registered, is called; callbacks run as
 * they do without the queue. An ERR_CALLBACK_EXCEPTION follows the event
 * whose callback threw. The server break comes after every event received
 * before it.
 *
 * Nothing is lost. When the queue is full, the library's thread with the
 * next event waits for room (no callback lock held), as it waits for a slow
 * callback: received messages pile up to MAX_QUEUED_BYTES, then the library
 * stops reading and TCP slows the server down. An event waiting for room is
 * given up, not queued (its callback still runs), only when the connection
 * ends (DisconnectServer, ConnectServer, the library's unload) or
 * CloseEventQueue closes the queue: none of these waits for the queue to
 * drain.
 *
 * Memory. OpenEventQueue allocates the room for capacity events of
 * sizeof(TouchEvent), 1808 bytes each: about 1.8 MB at DEFAULT_QUEUED_EVENTS,
 * 118 MB at MAX_QUEUED_EVENTS. CloseEventQueue frees it.
 *
 * Threads. The four functions may be called on any thread, inside callbacks
 * too. Several threads may wait in WaitEvent at once; each event goes to one
 * of them. A waiting thread is woken as soon as an event is queued; while
 * the library has further messages in hand, after a few more (at most 32),
 * which spares a thread switch per event under a stream. The wait handle is
 * signalled at once. */

/* Opens the event queue with room for capacity events (0 means
 * DEFAULT_QUEUED_EVENTS); from the next delivery on, every event is queued.
 * Called while the queue is open, it changes the capacity and keeps the
 * queued events and the wait handle; if more events are queued than the new
 * capacity, none is added until WaitEvent has taken enough of them (the
 * room they take stays allocated until the next OpenEventQueue or
 * CloseEventQueue).
 * Returns ERR_NONE; WSAEINVAL (10022) for a capacity below 0 or above
 * MAX_QUEUED_EVENTS; WSAENOBUFS (10055) when the memory could not be
 * allocated; a system error number when the wait handle could not be made.
 * On failure nothing changes. */
VORNMT_API int32_t VORNMT_CALL OpenEventQueue(int32_t capacity);

/* Stops queueing, discards the queued events, frees the queue's memory and
 * closes the wait handle. Every thread waiting in WaitEvent returns
 * ERR_NO_EVENT; a library thread waiting for room gives its event up.
 * Callbacks go on. Returns ERR_NONE, also when no queue is open. */
VORNMT_API int32_t VORNMT_CALL CloseEventQueue(void);

/* Takes the oldest queued event into *event (the whole record). timeout_ms
 * 0 looks without waiting; -1 waits until an event comes or the queue is
 * closed; a positive number waits at most that many milliseconds, measured on
 * a monotonic clock. Inside a callback (on a library thread) it never waits,
 * whatever timeout_ms says: it takes an event that is there or returns
 * ERR_NO_EVENT at once.
 * Returns ERR_NONE with *event filled; ERR_NO_EVENT when no event came in
 * time, no queue is open or CloseEventQueue closed it meanwhile (*event is
 * left as it was); WSAEFAULT (10014) for a null event; WSAEINVAL (10022) for
 * a timeout_ms below -1. */
VORNMT_API int32_t VORNMT_CALL WaitEvent(Vorn_SDK_MultiTouch::TouchEvent* event, int32_t timeout_ms);

/* The queue's wait handle, signalled exactly while the queue holds at least
 * one event: on Windows a manual-reset event object (a HANDLE, for
 * WaitForSingleObject, WaitForMultipleObjects, MsgWaitForMultipleObjectsEx,
 * RegisterWaitForSingleObject, QWinEventNotifier); on Linux a file descriptor
 * that polls readable (poll, epoll, QSocketNotifier, g_unix_fd_add, uv_poll,
 * asyncio's add_reader). When it is signalled, call WaitEvent with timeout 0
 * until it returns ERR_NO_EVENT (another thread may have taken the event).
 * The handle is the library's: wait on it only; never read, write, set,
 * reset or close it. It is valid from OpenEventQueue until CloseEventQueue
 * (stop watching it before); OpenEventQueue on an open queue keeps it.
 * Returns -1 when no queue is open. */
VORNMT_API intptr_t VORNMT_CALL GetEventWaitHandle(void);

/* ---- Gesture names --------------------------------------------------- */

/* The name of gesture->code ("TG_DOWN", "TG_SPLIT_START", ...). Codes
 * without a name, and a null gesture, give the empty text. The text is
 * constant and valid while the library is loaded. Any thread. */
VORNMT_API const char* VORNMT_CALL GetGestureName(const Vorn_SDK_MultiTouch::TouchGesture* gesture);

/* The name of a bare gesture code, the same text GetGestureName gives for a
 * gesture holding that code ("TG_DOWN" for TG_DOWN); the empty text for a
 * code without a name. Never null; the text is constant and valid while the
 * library is loaded. Any thread, callbacks included. */
VORNMT_API const char* VORNMT_CALL GetGestureNameOfCode(uint16_t code);

/* ---- Status texts ---------------------------------------------------- */

/* A short English text for a status any function of this header returns or
 * the ErrorCallback reports: "success" for 0, "connection refused" for
 * 10061, a text for every Windows Sockets error number and every ERR_ code,
 * "socket error" for other numbers from 10000 to 11999, and "system error"
 * for anything else (a system error number from a thread that could not
 * start). Never null; the text is constant, has no newline and is valid
 * while the library is loaded. Any thread, callbacks included. */
VORNMT_API const char* VORNMT_CALL GetStatusText(int32_t status);

/* ---- Version --------------------------------------------------------- */

/* The version of the library actually loaded, as one number:
 * major * 10000 + minor * 100 + patch (10203 for 1.2.3), the form of
 * VORNMT_VERSION. An application or a binding compares it with the version
 * it was written for instead of probing for functions; a different major
 * version is a library it cannot use. Never fails; any thread, callbacks
 * included, and before any connection. */
VORNMT_API int32_t VORNMT_CALL GetLibraryVersion(void);

} /* extern "C" */

#endif /* VORNMTCLIENT_H */
