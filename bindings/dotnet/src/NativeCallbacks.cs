// The library's callbacks into managed code, registered only while
// TouchClient needs them. On net8.0 they are UnmanagedCallersOnly methods
// handed over as function pointers; on netstandard2.0 (Mono, Unity's IL2CPP,
// .NET Framework) static methods marked MonoPInvokeCallback behind delegates
// kept in static fields, never collected while registered. Each runs on a
// library thread and lets no exception out: one leaving a callback would end
// the process.
using System;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch
{
    internal static unsafe class NativeCallbacks
    {
        private static readonly object Gate = new object();
        // What is registered now, one bit per callback; guarded by Gate.
        private static int registered;
        private const int Frame = 1, Gesture = 2, DeviceInfo = 4, ServerBreak = 8, Connected = 16, Error = 32;

        /// <summary>Registers exactly the callbacks asked for and clears the others. The setters
        /// are called outside Gate: one waits for a running callback of its own kind, which may
        /// attach a handler and so come here.</summary>
        internal static void Register(bool frame, bool gesture, bool deviceInfo, bool serverBreak, bool connected, bool error)
        {
            int wanted = (frame ? Frame : 0) | (gesture ? Gesture : 0) | (deviceInfo ? DeviceInfo : 0) |
                         (serverBreak ? ServerBreak : 0) | (connected ? Connected : 0) | (error ? Error : 0);
            int changed;
            lock (Gate)
            {
                changed = registered ^ wanted;
                registered = wanted;
            }
            if ((changed & Frame) != 0) SetFrame(frame);
            if ((changed & Gesture) != 0) SetGesture(gesture);
            if ((changed & DeviceInfo) != 0) SetDeviceInfo(deviceInfo);
            if ((changed & ServerBreak) != 0) SetServerBreak(serverBreak);
            if ((changed & Connected) != 0) SetConnected(connected);
            if ((changed & Error) != 0) SetError(error);
        }

#if NET8_0_OR_GREATER
        private static void SetFrame(bool on) => NativeMethods.SetOnReceivePointFrame(on ? &OnFrame : null, IntPtr.Zero);
        private static void SetGesture(bool on) => NativeMethods.SetOnReceiveGesture(on ? &OnGesture : null, IntPtr.Zero);
        private static void SetDeviceInfo(bool on) => NativeMethods.SetOnGetDeviceInfo(on ? &OnDeviceInfo : null, IntPtr.Zero);
        private static void SetServerBreak(bool on) => NativeMethods.SetOnServerBreak(on ? &OnServerBreak : null, IntPtr.Zero);
        private static void SetConnected(bool on) => NativeMethods.SetOnConnected(on ? &OnConnected : null, IntPtr.Zero);
        private static void SetError(bool on) => NativeMethods.SetOnReceiveError(on ? &OnError : null, IntPtr.Zero);

        /// <summary>GetServerResolution, with the answer to TouchClient (waiting) or to the queue only.</summary>
        internal static int QueryResolution(bool waiting) => NativeMethods.GetServerResolution(waiting ? &OnResolution : null, IntPtr.Zero);

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnFrame(int frameValue0, int frameValue1, int pointCount, IntPtr points, IntPtr userData)
        {
            try { TouchClient.OnFrame(frameValue0, frameValue1, pointCount, points); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnGesture(IntPtr gesture, IntPtr userData)
        {
            try { TouchClient.OnGesture(gesture); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnDeviceInfo(IntPtr info, IntPtr userData)
        {
            try { TouchClient.OnDeviceInfo(info); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnResolution(int x, int y, IntPtr userData)
        {
            try { TouchClient.OnResolution(x, y); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnServerBreak(IntPtr reserved, IntPtr userData)
        {
            try { TouchClient.OnServerBreak(); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnConnected(IntPtr reserved, IntPtr userData)
        {
            try { TouchClient.OnConnected(); } catch (Exception) { }
        }

        [System.Runtime.InteropServices.UnmanagedCallersOnly]
        private static void OnError(int errorCode, IntPtr userData)
        {
            try { TouchClient.OnError(errorCode); } catch (Exception) { }
        }
#else
        private static readonly NativeMethods.PointFrameCallback FrameCallback = OnFrame;
        private static readonly NativeMethods.PointerCallback GestureCallback = OnGesture;
        private static readonly NativeMethods.PointerCallback DeviceInfoCallback = OnDeviceInfo;
        private static readonly NativeMethods.ResolutionCallback ResolutionCallback = OnResolution;
        private static readonly NativeMethods.PointerCallback ServerBreakCallback = OnServerBreak;
        private static readonly NativeMethods.PointerCallback ConnectedCallback = OnConnected;
        private static readonly NativeMethods.ErrorCallback ErrorCallback = OnError;

        private static void SetFrame(bool on) { NativeMethods.SetOnReceivePointFrame(on ? FrameCallback : null, IntPtr.Zero); }
        private static void SetGesture(bool on) { NativeMethods.SetOnReceiveGesture(on ? GestureCallback : null, IntPtr.Zero); }
        private static void SetDeviceInfo(bool on) { NativeMethods.SetOnGetDeviceInfo(on ? DeviceInfoCallback : null, IntPtr.Zero); }
        private static void SetServerBreak(bool on) { NativeMethods.SetOnServerBreak(on ? ServerBreakCallback : null, IntPtr.Zero); }
        private static void SetConnected(bool on) { NativeMethods.SetOnConnected(on ? ConnectedCallback : null, IntPtr.Zero); }
        private static void SetError(bool on) { NativeMethods.SetOnReceiveError(on ? ErrorCallback : null, IntPtr.Zero); }

        /// <summary>GetServerResolution, with the answer to TouchClient (waiting) or to the queue only.</summary>
        internal static int QueryResolution(bool waiting)
        {
            return NativeMethods.GetServerResolution(waiting ? ResolutionCallback : null, IntPtr.Zero);
        }

        [MonoPInvokeCallback(typeof(NativeMethods.PointFrameCallback))]
        private static void OnFrame(int frameValue0, int frameValue1, int pointCount, IntPtr points, IntPtr userData)
        {
            try { TouchClient.OnFrame(frameValue0, frameValue1, pointCount, points); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.PointerCallback))]
        private static void OnGesture(IntPtr gesture, IntPtr userData)
        {
            try { TouchClient.OnGesture(gesture); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.PointerCallback))]
        private static void OnDeviceInfo(IntPtr info, IntPtr userData)
        {
            try { TouchClient.OnDeviceInfo(info); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.ResolutionCallback))]
        private static void OnResolution(int x, int y, IntPtr userData)
        {
            try { TouchClient.OnResolution(x, y); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.PointerCallback))]
        private static void OnServerBreak(IntPtr reserved, IntPtr userData)
        {
            try { TouchClient.OnServerBreak(); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.PointerCallback))]
        private static void OnConnected(IntPtr reserved, IntPtr userData)
        {
            try { TouchClient.OnConnected(); } catch (Exception) { }
        }

        [MonoPInvokeCallback(typeof(NativeMethods.ErrorCallback))]
        private static void OnError(int errorCode, IntPtr userData)
        {
            try { TouchClient.OnError(errorCode); } catch (Exception) { }
        }
#endif
    }
}
