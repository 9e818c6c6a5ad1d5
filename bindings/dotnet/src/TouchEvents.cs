// What TouchClient's events carry. Every argument holds copies: it stays
// valid after the handler returns and may be kept or passed to another thread.
using System;

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

    /// <summary>A call into the library failed: Status is its code, Meaning says what it is.</summary>
    [Serializable]
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

        /// <summary>A short English text for a status.</summary>
        public static string Describe(int status)
        {
            switch (status)
            {
                case TouchStatus.None: return "success";
                case TouchStatus.BadMessage: return "the server sent a message that cannot be read (ERR_BAD_MESSAGE)";
                case TouchStatus.OldServer: return "the server is older than version 1.10 (ERR_OLD_SERVER)";
                case TouchStatus.CallbackException: return "an event handler threw; that event was lost (ERR_CALLBACK_EXCEPTION)";
                case TouchStatus.InCallback: return "Connect was called from inside an event handler (ERR_IN_CALLBACK)";
                case 10004: return "interrupted";
                case 10013: return "permission denied";
                case 10024: return "too many open sockets";
                case 10048: return "the address is in use";
                case 10049: return "the address is not a dotted IPv4 address of this machine";
                case 10050: return "the network is down";
                case 10051: return "the network is unreachable";
                case 10053: return "the connection was aborted";
                case 10054: return "the server reset the connection";
                case 10055: return "out of buffer space";
                case 10057: return "not connected";
                case 10058: return "the connection has been shut down";
                case 10060: return "timed out";
                case 10061: return "connection refused: nothing listens at that address and port";
                case 10065: return "the host is unreachable";
            }
            return status >= 10000 && status <= 11999 ? "socket error " + status : "system error " + status;
        }
    }
}
