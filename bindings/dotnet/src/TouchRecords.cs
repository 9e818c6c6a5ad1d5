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
        public const int MaxFramePoints = 100;
        public const int MaxGestureParams = 6;
        public const int DeviceInfoTextSize = 128;
        public const int RequestParamSize = 128;
    }

    /// <summary>The library's own status codes; others are Windows Sockets error numbers.</summary>
    public static class TouchStatus
    {
        public const int None = 0;
        public const int BadMessage = 0x31000001;
        public const int OldServer = 0x31000002;
        public const int CallbackException = 0x31000003;
        public const int InCallback = 0x31000004;
    }

    /// <summary>One touch point, 16 bytes. The server's six numbers,
    /// uninterpreted; note that Code1 (the point's element 1) comes first.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TouchPoint
    {
        public ushort Code1;
        public ushort Code0;
        public int X;
        public int Y;
        public ushort Aux0;
        public ushort Aux1;

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
        public ushort Code;
        public ushort ParamCount;
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
        public int InfoValue0;
        public int InfoValue1;
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
        public int Type;
        public Guid AppKeyId;
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

    /// <summary>One event of the library's event queue: 1808 bytes. Kind says
    /// which fields hold it; Points holds the frame's TouchPoint records
    /// (16 bytes each), read with <see cref="GetPoint"/>.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public unsafe struct TouchEvent
    {
        public int Kind;
        public int Value0;
        public int Value1;
        public int PointCount;
        public fixed byte Points[TouchLimits.MaxFramePoints * 16];
        public TouchGesture Gesture;
        public TouchDeviceInfo Info;

        /// <summary>Point <paramref name="index"/> of a frame (0 to MaxFramePoints-1).</summary>
        public TouchPoint GetPoint(int index)
        {
            if (index < 0 || index >= TouchLimits.MaxFramePoints) throw new ArgumentOutOfRangeException("index");
            fixed (byte* points = Points)
            {
                return ((TouchPoint*)points)[index];
            }
        }
    }
}
