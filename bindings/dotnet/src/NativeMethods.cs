// The exported C functions of VornMTClient, declared exactly: nothing of C++.
// Exported functions and callbacks use the platform's standard convention
// (the header's VORNMT_CALL: __stdcall on Windows, plain C elsewhere), which
// on x64, the one architecture the package carries, is the one native
// convention. On net8.0 the calls are source-generated (LibraryImport) and the
// callbacks are function pointers to UnmanagedCallersOnly methods, so nothing
// is marshalled at run time; netstandard2.0 (Mono, Unity, .NET Framework)
// keeps DllImport and delegates. Every record crosses as a pointer to a
// blittable struct. Internal: applications use TouchClient.
using System;
using System.Runtime.InteropServices;

namespace Vorn.MultiTouch.Native
{
    internal static unsafe partial class NativeMethods
    {
        internal const string Library = "VornMTClient";

#if NET8_0_OR_GREATER
        [LibraryImport(Library, StringMarshalling = StringMarshalling.Utf8)]
        internal static partial int ConnectServer(string serverAddress, int port);

        [LibraryImport(Library)]
        internal static partial int DisconnectServer();

        [LibraryImport(Library)]
        internal static partial int SetAutoReconnect(int minDelayMs, int maxDelayMs);

        [LibraryImport(Library)]
        internal static partial int GetConnectionState();

        // The setters return the previous callback as a plain function pointer.
        [LibraryImport(Library)]
        internal static partial IntPtr SetOnReceivePointFrame(delegate* unmanaged<int, int, int, IntPtr, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial IntPtr SetOnReceiveGesture(delegate* unmanaged<IntPtr, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial IntPtr SetOnServerBreak(delegate* unmanaged<IntPtr, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial IntPtr SetOnReceiveError(delegate* unmanaged<int, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial IntPtr SetOnGetDeviceInfo(delegate* unmanaged<IntPtr, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial IntPtr SetOnConnected(delegate* unmanaged<IntPtr, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial int GetServerResolution(delegate* unmanaged<int, int, IntPtr, void> callback, IntPtr userData);

        [LibraryImport(Library)]
        internal static partial int SendRequest(TouchClientRequest* request);

        [LibraryImport(Library)]
        internal static partial int SendThreshold(int moveThreshold);

        [LibraryImport(Library)]
        internal static partial int SetRawDataResolution(int x, int y);

        [LibraryImport(Library)]
        internal static partial int OpenEventQueue(int capacity);

        [LibraryImport(Library)]
        internal static partial int CloseEventQueue();

        [LibraryImport(Library)]
        internal static partial int WaitEvent(NativeTouchEvent* touchEvent, int timeoutMs);

        // The library's constant texts: read, never freed.
        [LibraryImport(Library)]
        internal static partial IntPtr GetGestureNameOfCode(ushort code);

        [LibraryImport(Library)]
        internal static partial IntPtr GetStatusText(int status);

        [LibraryImport(Library)]
        internal static partial int GetLibraryVersion();
#else
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        internal delegate void PointFrameCallback(int frameValue0, int frameValue1, int pointCount, IntPtr points, IntPtr userData);

        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        internal delegate void PointerCallback(IntPtr record, IntPtr userData);  // gesture, device information, server break, connected

        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        internal delegate void ResolutionCallback(int x, int y, IntPtr userData);

        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        internal delegate void ErrorCallback(int errorCode, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int ConnectServer(string serverAddress, int port);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int DisconnectServer();

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int SetAutoReconnect(int minDelayMs, int maxDelayMs);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int GetConnectionState();

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnReceivePointFrame(PointFrameCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnReceiveGesture(PointerCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnServerBreak(PointerCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnReceiveError(ErrorCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnGetDeviceInfo(PointerCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr SetOnConnected(PointerCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int GetServerResolution(ResolutionCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int SendRequest(TouchClientRequest* request);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int SendThreshold(int moveThreshold);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int SetRawDataResolution(int x, int y);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int OpenEventQueue(int capacity);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int CloseEventQueue();

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int WaitEvent(NativeTouchEvent* touchEvent, int timeoutMs);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr GetGestureNameOfCode(ushort code);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern IntPtr GetStatusText(int status);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        internal static extern int GetLibraryVersion();
#endif
    }
}
