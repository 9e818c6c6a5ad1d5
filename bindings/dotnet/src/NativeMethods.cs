// The exported C functions of VornMTClient, declared exactly: nothing of C++.
// Exported functions and callbacks use the platform's standard convention
// (the header's VORNMT_CALL: __stdcall on Windows, plain C elsewhere), which
// is what CallingConvention.Winapi means on each platform. On x64 both are
// the one native convention; the declarations stay right on any target.
using System;
using System.Runtime.InteropServices;

namespace Vorn.MultiTouch.Native
{
    // Callbacks run on the library's threads. Every pointer they receive is
    // valid only during the call. A delegate handed to the library must stay
    // referenced for as long as it is registered: registrations outlive a
    // disconnect, so keep it in a static field (TouchClient does).
    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void PointFrameCallback(int frameValue0, int frameValue1, int pointCount, IntPtr points, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void GestureCallback(IntPtr gesture, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void DeviceInfoCallback(IntPtr info, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void ResolutionCallback(int x, int y, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void ServerBreakCallback(IntPtr reserved, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void ErrorCallback(int errorCode, IntPtr userData);

    /// <summary>The library's C API, one to one. Most applications use TouchClient instead.</summary>
    public static class NativeMethods
    {
        /// <summary>VornMTClient.dll on Windows, libVornMTClient.so on Linux.</summary>
        public const string Library = "VornMTClient";

        [DllImport(Library, CallingConvention = CallingConvention.Winapi, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        public static extern int ConnectServer(string serverAddress, int port);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern int DisconnectServer();

        // The setters return the previous callback as a plain function
        // pointer: turning it back into a delegate would wrap foreign code.
        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr SetOnReceivePointFrame(PointFrameCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr SetOnReceiveGesture(GestureCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr SetOnServerBreak(ServerBreakCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr SetOnReceiveError(ErrorCallback callback, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr SetOnGetDeviceInfo(DeviceInfoCallback callback, IntPtr userData);

        /// <summary>The header takes the request by reference: its address.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern int SendRequest(ref TouchClientRequest request);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern int SendThreshold(int moveThreshold);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern int SetRawDataResolution(int x, int y);

        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern int GetServerResolution(ResolutionCallback callback, IntPtr userData);

        /// <summary>The library's constant text: read it with Marshal.PtrToStringAnsi and never
        /// free it (declared as returning string, the runtime would free it).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr GetGestureName(ref TouchGesture gesture);

        /// <summary>The library's constant text for a status, never null; read it like
        /// GetGestureName's. An older library lacks it (EntryPointNotFoundException).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]
        public static extern IntPtr GetStatusText(int status);
    }
}
