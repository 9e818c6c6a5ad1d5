// The records, limits and codes of include/VornMTClient.h, laid out exactly as
// the library has them (natural alignment, no packing). Every record is
// blittable: the runtime pins it or copies it as one block of bytes, with no
// marshalling per field. The layout test checks every size and offset against
// the header's own table.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Vorn.MultiTouch
{
    /// <summary>Limits of the library's records.</summary>
    public static class TouchLimits
    {
        /// <summary>Points one frame delivers at most.</summary>
        public const int MaxFramePoints = 100;
        /// <summary>Parameters one gesture carries at most.</summary>
        public const int MaxGestureParams = 6;
        /// <summary>Bytes of the device information's text, its NUL included.</summary>
        public const int DeviceInfoTextSize = 128;
        /// <summary>Bytes of a request's param, its NUL included.</summary>
        public const int RequestParamSize = 128;
        /// <summary>Events the library's event queue holds unless <see cref="TouchClient.EventQueueCapacity"/> says otherwise.</summary>
        public const int DefaultQueuedEvents = 1024;
        /// <summary>Largest capacity of the library's event queue.</summary>
        public const int MaxQueuedEvents = 65536;
    }

    /// <summary>The library's own status codes; others are Windows Sockets error numbers.
    /// <see cref="TouchClientException.Describe"/> names every one.</summary>
    public static class TouchStatus
    {
        /// <summary>Success.</summary>
        public const int None = 0;
        /// <summary>A message from the server could not be read; it was skipped.</summary>
        public const int BadMessage = 0x31000001;
        /// <summary>The server is older than version 1.10.</summary>
        public const int OldServer = 0x31000002;
        /// <summary>A handler threw; the exception is in <see cref="ErrorEvent.Exception"/>.</summary>
        public const int CallbackException = 0x31000003;
        /// <summary>Connect was called from inside a handler on a library thread.</summary>
        public const int InCallback = 0x31000004;
        /// <summary>The library's queue held no event (the binding's reads never report it).</summary>
        public const int NoEvent = 0x31000005;
        /// <summary>With automatic reconnection on, the library is still trying to connect:
        /// the connection or the setting follows once it has. Not a failure.</summary>
        public const int NotYetConnected = 0x31000006;
    }

    /// <summary>Where the connection is (<see cref="TouchClient.State"/>).</summary>
    public enum ConnectionState
    {
        /// <summary>No connection: never connected, disconnected, or lost with automatic reconnection off.</summary>
        Disconnected = 0,
        /// <summary>Connected to the server.</summary>
        Connected = 1,
        /// <summary>Automatic reconnection is on and the library tries to connect.</summary>
        Reconnecting = 2,
    }

    /// <summary>One touch point, 16 bytes. The server's six numbers,
    /// uninterpreted; note that Code1 (the point's element 1) comes first.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TouchPoint
    {
        /// <summary>The point's element 1 (with the simulator: the finger).</summary>
        public ushort Code1;
        /// <summary>The point's element 0 (with the simulator: 1 down, 2 moving, 3 up).</summary>
        public ushort Code0;
        /// <summary>Horizontal position, in the server's unit.</summary>
        public int X;
        /// <summary>Vertical position, in the server's unit.</summary>
        public int Y;
        /// <summary>The point's element 4 (with the simulator: the contact's width).</summary>
        public ushort Aux0;
        /// <summary>The point's element 5 (with the simulator: the contact's height).</summary>
        public ushort Aux1;

        /// <summary>"[Code0 Code1 X,Y Aux0xAux1]".</summary>
        public override string ToString()
        {
            return string.Format("[{0} {1} {2},{3} {4}x{5}]", Code0, Code1, X, Y, Aux0, Aux1);
        }
    }

    /// <summary>One recognised gesture: 56 bytes, the six doubles at offset 8.
    /// Params[0 .. ParamCount-1] are valid; <see cref="GetParams"/> copies them.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public unsafe struct TouchGesture
    {
        /// <summary>The gesture's code (<see cref="TouchClient.GetGestureName"/> names it).</summary>
        public ushort Code;
        /// <summary>How many of Params are valid.</summary>
        public ushort ParamCount;
        /// <summary>The parameters; the first ParamCount are valid.</summary>
        public fixed double Params[TouchLimits.MaxGestureParams];

        /// <summary>The valid parameters (ParamCount of them, at most 6) in an array of their own.</summary>
        public double[] GetParams()
        {
            var values = new double[Math.Min((int)ParamCount, TouchLimits.MaxGestureParams)];
            for (int i = 0; i < values.Length; i++) values[i] = Params[i];
            return values;
        }
    }

    /// <summary>Information on the touch device: 136 bytes. InfoText holds
    /// NUL-terminated bytes, UTF-8 as far as the server is concerned.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public unsafe struct TouchDeviceInfo
    {
        /// <summary>The device's first number.</summary>
        public int InfoValue0;
        /// <summary>The device's second number.</summary>
        public int InfoValue1;
        /// <summary>The device's text, NUL-terminated.</summary>
        public fixed byte InfoText[TouchLimits.DeviceInfoTextSize];

        /// <summary>InfoText up to its NUL (all 128 bytes when it has none), decoded as UTF-8.</summary>
        public string GetText()
        {
            fixed (byte* text = InfoText)
            {
                int length = 0;
                while (length < TouchLimits.DeviceInfoTextSize && text[length] != 0) length++;
                return Encoding.UTF8.GetString(text, length);
            }
        }
    }

    /// <summary>A subscription request: 148 bytes, the key (a Windows GUID) at
    /// offset 4. Param holds NUL-terminated text; Create fills it.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public unsafe struct TouchClientRequest
    {
        /// <summary>What the server defines as the request's type.</summary>
        public int Type;
        /// <summary>Identifies the application.</summary>
        public Guid AppKeyId;
        /// <summary>What the server defines as the request's parameter, NUL-terminated.</summary>
        public fixed byte Param[TouchLimits.RequestParamSize];

        /// <summary>A request whose param is <paramref name="param"/> in UTF-8, at most 127 bytes, no NUL.</summary>
        public static TouchClientRequest Create(int type, Guid appKeyId, string param)
        {
            byte[] text = Encoding.UTF8.GetBytes(param ?? "");
            if (text.Length >= TouchLimits.RequestParamSize || Array.IndexOf(text, (byte)0) >= 0)
                throw new ArgumentException("param must be at most 127 bytes of UTF-8 without NUL", "param");
            var request = new TouchClientRequest { Type = type, AppKeyId = appKeyId };
            for (int i = 0; i < text.Length; i++) request.Param[i] = text[i];
            return request;
        }
    }

}

namespace Vorn.MultiTouch.Native
{
    /// <summary>One event of the library's event queue (WaitEvent): 1808 bytes. Kind says
    /// which fields hold it; Points holds the frame's TouchPoint records (16 bytes each).</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct NativeTouchEvent
    {
        internal const int KindFrame = 1, KindGesture = 2, KindDeviceInfo = 3, KindResolution = 4, KindServerBreak = 5,
            KindError = 6, KindConnected = 7;

        public int Kind;
        public int Value0;
        public int Value1;
        public int PointCount;
        public fixed byte Points[TouchLimits.MaxFramePoints * 16];
        public TouchGesture Gesture;
        public TouchDeviceInfo Info;
    }
}
