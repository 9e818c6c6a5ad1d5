// The events of a TouchClient, one class per kind of docs/events.md, built in
// one place from the library's records. Every event holds copies: it stays
// valid after a handler returns and may be kept or passed to another thread.
using System;
using System.Runtime.InteropServices;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch
{
    /// <summary>An event of the touch server or of the library: what ReadEventsAsync,
    /// TryReadEvent and ReadAvailableEvents yield and what handlers get. Match it on its sealed
    /// kinds: <see cref="FrameEvent"/>, <see cref="GestureEvent"/>, <see cref="DeviceInfoEvent"/>,
    /// <see cref="ResolutionEvent"/>, <see cref="ErrorEvent"/>, <see cref="ServerLostEvent"/>,
    /// <see cref="ConnectedEvent"/>.</summary>
    public abstract class TouchEvent : EventArgs
    {
        internal TouchEvent()
        {
        }

        /// <summary>The event a record of the library's queue holds; null for a kind of a newer library.</summary>
        internal static unsafe TouchEvent FromRecord(NativeTouchEvent* record)
        {
            switch (record->Kind)
            {
                case NativeTouchEvent.KindFrame:
                    return FrameEvent.FromRecord(record->Value0, record->Value1, record->PointCount, (IntPtr)record->Points);
                case NativeTouchEvent.KindGesture:
                    return GestureEvent.FromRecord(&record->Gesture);
                case NativeTouchEvent.KindDeviceInfo:
                    return DeviceInfoEvent.FromRecord(&record->Info);
                case NativeTouchEvent.KindResolution:
                    return new ResolutionEvent(record->Value0, record->Value1);
                case NativeTouchEvent.KindServerBreak:
                    return ServerLostEvent.Instance;
                case NativeTouchEvent.KindError:
                    return new ErrorEvent(record->Value0, null);
                case NativeTouchEvent.KindConnected:
                    return ConnectedEvent.Instance;
                default:
                    return null;
            }
        }
    }

    /// <summary>A touch point frame.</summary>
    public sealed class FrameEvent : TouchEvent
    {
        internal FrameEvent(int frameValue0, int frameValue1, TouchPoint[] points)
        {
            FrameValue0 = frameValue0;
            FrameValue1 = frameValue1;
            Points = points;
        }

        internal static unsafe FrameEvent FromRecord(int frameValue0, int frameValue1, int pointCount, IntPtr points)
        {
            int count = Math.Max(0, Math.Min(pointCount, TouchLimits.MaxFramePoints));
            var copy = count == 0 ? NoPoints : new TouchPoint[count];
            if (count > 0 && points != IntPtr.Zero)
            {
                long bytes = (long)count * sizeof(TouchPoint);
                fixed (TouchPoint* target = copy) Buffer.MemoryCopy((void*)points, target, bytes, bytes);
            }
            return new FrameEvent(frameValue0, frameValue1, copy);
        }

        private static readonly TouchPoint[] NoPoints = new TouchPoint[0];

        /// <summary>The frame's first number (with the simulator: the frame number).</summary>
        public int FrameValue0 { get; private set; }
        /// <summary>The frame's second number (with the simulator: milliseconds).</summary>
        public int FrameValue1 { get; private set; }
        /// <summary>The frame's points (at most 100), copied into an array of the event's own.</summary>
        public TouchPoint[] Points { get; private set; }

        /// <summary>"FrameEvent(value0=3, value1=30, 2 points [1 1 960,540 30x30] [1 2 990,540 30x30])",
        /// each point as <see cref="TouchPoint.ToString"/> has it; past 8 points, "..." ends the list.</summary>
        public override string ToString()
        {
            return string.Format("FrameEvent(value0={0}, value1={1}, {2} point{3}{4})", FrameValue0, FrameValue1,
                                 Points.Length, Points.Length == 1 ? "" : "s", EventText.List(Points, " ", " ", 8));
        }
    }

    /// <summary>A recognised gesture.</summary>
    public sealed class GestureEvent : TouchEvent
    {
        internal GestureEvent(int code, string name, double[] parameters)
        {
            Code = code;
            Name = name;
            Parameters = parameters;
        }

        internal static unsafe GestureEvent FromRecord(TouchGesture* record)
        {
            return new GestureEvent(record->Code, TouchClient.GetGestureName(record->Code), record->GetParams());
        }

        /// <summary>The gesture's code.</summary>
        public int Code { get; private set; }
        /// <summary>"TG_DOWN", "TG_SPLIT_START", ...; empty for codes without a name.</summary>
        public string Name { get; private set; }
        /// <summary>The gesture's valid parameters (at most 6).</summary>
        public double[] Parameters { get; private set; }

        /// <summary>"GestureEvent(TG_DOWN, params=[960, 540])"; "code=N" for a code without a name.</summary>
        public override string ToString()
        {
            return string.Format("GestureEvent({0}, params=[{1}])", Name.Length > 0 ? Name : "code=" + Code,
                                 EventText.List(Parameters, "", ", ", TouchLimits.MaxGestureParams));
        }
    }

    /// <summary>Information on the touch device, as the server announces it.</summary>
    public sealed class DeviceInfoEvent : TouchEvent
    {
        internal DeviceInfoEvent(int value0, int value1, string text)
        {
            Value0 = value0;
            Value1 = value1;
            Text = text;
        }

        internal static unsafe DeviceInfoEvent FromRecord(TouchDeviceInfo* record)
        {
            return new DeviceInfoEvent(record->InfoValue0, record->InfoValue1, record->GetText());
        }

        /// <summary>The device's first number.</summary>
        public int Value0 { get; private set; }
        /// <summary>The device's second number.</summary>
        public int Value1 { get; private set; }
        /// <summary>The device's text, decoded as UTF-8 (at most 127 bytes).</summary>
        public string Text { get; private set; }

        /// <summary>"DeviceInfoEvent(value0=3, value1=100, text="...")", control characters escaped.</summary>
        public override string ToString()
        {
            return string.Format("DeviceInfoEvent(value0={0}, value1={1}, text={2})", Value0, Value1, EventText.Quote(Text));
        }
    }

    /// <summary>The server's resolution: its answer to a resolution query.</summary>
    public sealed class ResolutionEvent : TouchEvent
    {
        internal ResolutionEvent(int x, int y)
        {
            X = x;
            Y = y;
        }

        /// <summary>Horizontal resolution.</summary>
        public int X { get; private set; }
        /// <summary>Vertical resolution.</summary>
        public int Y { get; private set; }

        /// <summary>"ResolutionEvent(1920x1080)".</summary>
        public override string ToString()
        {
            return string.Format("ResolutionEvent({0}x{1})", X, Y);
        }
    }

    /// <summary>A problem the library reported while it ran (a socket error, a message it could
    /// not read, an old server), or an exception out of a handler.</summary>
    public sealed class ErrorEvent : TouchEvent
    {
        internal ErrorEvent(int status, Exception exception)
        {
            Status = status;
            Meaning = TouchClientException.Describe(status);
            Exception = exception;
        }

        /// <summary>A Windows Sockets error number or a <see cref="TouchStatus"/> code.</summary>
        public int Status { get; private set; }
        /// <summary>The library's text for Status.</summary>
        public string Meaning { get; private set; }
        /// <summary>What a handler threw (Status is then TouchStatus.CallbackException); else null.</summary>
        public Exception Exception { get; private set; }

        /// <summary>"ErrorEvent(0x31000001, "bad message ...")" (a library code in hexadecimal, a
        /// socket error in decimal), with what a handler threw: its type and message.</summary>
        public override string ToString()
        {
            string thrown = Exception == null ? "" : ", " + EventText.Quote(Exception.GetType().Name + ": " + Exception.Message);
            return string.Format("ErrorEvent({0}, {1}{2})", EventText.Status(Status), EventText.Quote(Meaning), thrown);
        }
    }

    /// <summary>The server closed or reset the connection, after every event received before it:
    /// every touch the application holds has ended. Without automatic reconnection it ends
    /// ReadEventsAsync for every reader; with it, a <see cref="ConnectedEvent"/> and the new
    /// connection's events follow.</summary>
    public sealed class ServerLostEvent : TouchEvent
    {
        internal static readonly ServerLostEvent Instance = new ServerLostEvent();

        private ServerLostEvent()
        {
        }

        /// <summary>"ServerLostEvent()".</summary>
        public override string ToString()
        {
            return "ServerLostEvent()";
        }
    }

    /// <summary>With automatic reconnection on, a connection the library opened in the
    /// background is up; its events follow.</summary>
    public sealed class ConnectedEvent : TouchEvent
    {
        internal static readonly ConnectedEvent Instance = new ConnectedEvent();

        private ConnectedEvent()
        {
        }

        /// <summary>"ConnectedEvent()".</summary>
        public override string ToString()
        {
            return "ConnectedEvent()";
        }
    }

    /// <summary>A call into the library failed: Status is its code, Meaning says what it is.</summary>
    public class TouchClientException : Exception
    {
        /// <summary>An exception for <paramref name="status"/>, met while <paramref name="doing"/>.</summary>
        public TouchClientException(int status, string doing)
            : base(string.Format("{0}: {1} ({2})", doing, Describe(status), status))
        {
            Status = status;
            Meaning = Describe(status);
        }

        /// <summary>A Windows Sockets error number, a system error number or a <see cref="TouchStatus"/> code.</summary>
        public int Status { get; private set; }
        /// <summary>The library's text for Status.</summary>
        public string Meaning { get; private set; }

        /// <summary>The library's short English text for a status ("connection refused" for 10061).</summary>
        public static string Describe(int status)
        {
            return Marshal.PtrToStringAnsi(NativeMethods.GetStatusText(status)) ?? "";
        }
    }
}
