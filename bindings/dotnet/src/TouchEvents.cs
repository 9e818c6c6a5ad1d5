// What TouchClient's events carry. Every argument holds copies: it stays
// valid after the handler returns and may be kept or passed to another thread.
using System;
using System.Runtime.InteropServices;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch
{
    public sealed class FrameEventArgs : EventArgs
    {
        internal FrameEventArgs(int frameValue0, int frameValue1, TouchPoint[] points)
        {
            FrameValue0 = frameValue0;
            FrameValue1 = frameValue1;
            Points = points;
        }

        /// <summary>The frame's two leading numbers (with the simulator: frame number, milliseconds).</summary>
        public int FrameValue0 { get; private set; }
        public int FrameValue1 { get; private set; }
        /// <summary>The frame's points (at most 100), copied into an array of the event's own.</summary>
        public TouchPoint[] Points { get; private set; }
    }

    public sealed class GestureEventArgs : EventArgs
    {
        internal GestureEventArgs(int code, string name, double[] parameters)
        {
            Code = code;
            Name = name;
            Parameters = parameters;
        }

        public int Code { get; private set; }
        /// <summary>"TG_DOWN", "TG_SPLIT_START", ...; empty for codes without a name.</summary>
        public string Name { get; private set; }
        /// <summary>The gesture's valid parameters (at most 6).</summary>
        public double[] Parameters { get; private set; }
    }

    public sealed class DeviceInfoEventArgs : EventArgs
    {
        internal DeviceInfoEventArgs(int value0, int value1, string text)
        {
            Value0 = value0;
            Value1 = value1;
            Text = text;
        }

        public int Value0 { get; private set; }
        public int Value1 { get; private set; }
        /// <summary>The device's text, decoded as UTF-8 (at most 127 bytes).</summary>
        public string Text { get; private set; }
    }

    public sealed class TouchErrorEventArgs : EventArgs
    {
        internal TouchErrorEventArgs(int status, Exception exception)
        {
            Status = status;
            Meaning = TouchClientException.Describe(status);
            Exception = exception;
        }

        /// <summary>A Windows Sockets error number or a TouchStatus code.</summary>
        public int Status { get; private set; }
        public string Meaning { get; private set; }
        /// <summary>What an event handler threw (Status is then TouchStatus.CallbackException); else null.</summary>
        public Exception Exception { get; private set; }
    }

    /// <summary>The server closed or reset the connection: what ServerLost handlers get, and the
    /// last item of a <see cref="TouchClient.ReadEventsAsync(System.Threading.CancellationToken)"/> stream.</summary>
    public sealed class ServerLostEventArgs : EventArgs
    {
        internal static readonly ServerLostEventArgs Instance = new ServerLostEventArgs();

        private ServerLostEventArgs()
        {
        }
    }

    /// <summary>A call into the library failed: Status is its code, Meaning says what it is.</summary>
    public class TouchClientException : Exception
    {
        public TouchClientException(int status, string doing)
            : base(string.Format("{0}: {1} ({2})", doing, Describe(status), status))
        {
            Status = status;
            Meaning = Describe(status);
        }

        public int Status { get; private set; }
        public string Meaning { get; private set; }

        // Set once a library without GetStatusText has been met, so that the
        // missing entry point is looked for only once.
        private static volatile bool olderLibrary;

        /// <summary>The library's short English text for a status ("connection refused" for 10061).</summary>
        public static string Describe(int status)
        {
            if (!olderLibrary)
            {
                try
                {
                    string text = Marshal.PtrToStringAnsi(NativeMethods.GetStatusText(status));
                    if (text != null) return text;
                }
                catch (EntryPointNotFoundException)
                {
                    olderLibrary = true;
                }
            }
            // A library from before GetStatusText: only the kind of the status.
            if (status == TouchStatus.None) return "success";
            return status >= 10000 && status <= 11999 ? "socket error" : "system error";
        }
    }
}
