// The records, limits and codes of include/VornMTClient.h, laid out exactly as
// the library has them (natural alignment, no packing). The layout test
// checks every size and offset.
using System;
using System.Runtime.InteropServices;

namespace Vorn.MultiTouch
{
    /// <summary>Limits and status codes of the library.</summary>
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

    /// <summary>One touch point, 16 bytes, blittable. The server's six numbers,
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
    /// Params[0 .. ParamCount-1] are valid.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TouchGesture
    {
        public ushort Code;
        public ushort ParamCount;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = TouchLimits.MaxGestureParams)]
        public double[] Params;
    }

    /// <summary>Information on the touch device: 136 bytes. InfoText holds
    /// NUL-terminated bytes, UTF-8 as far as the server is concerned.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TouchDeviceInfo
    {
        public int InfoValue0;
        public int InfoValue1;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = TouchLimits.DeviceInfoTextSize)]
        public byte[] InfoText;
    }

    /// <summary>A subscription request: 148 bytes, the key (a Windows GUID) at
    /// offset 4. Param must be exactly 128 bytes holding NUL-terminated text;
    /// Create fills it.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TouchClientRequest
    {
        public int Type;
        public Guid AppKeyId;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = TouchLimits.RequestParamSize)]
        public byte[] Param;

        /// <summary>A request whose param is <paramref name="param"/> in UTF-8, at most 127 bytes, no NUL.</summary>
        public static TouchClientRequest Create(int type, Guid appKeyId, string param)
        {
            byte[] text = System.Text.Encoding.UTF8.GetBytes(param ?? "");
            if (text.Length >= TouchLimits.RequestParamSize || Array.IndexOf(text, (byte)0) >= 0)
                throw new ArgumentException("param must be at most 127 bytes of UTF-8 without NUL", "param");
            var request = new TouchClientRequest { Type = type, AppKeyId = appKeyId, Param = new byte[TouchLimits.RequestParamSize] };
            Array.Copy(text, request.Param, text.Length);
            return request;
        }
    }
}
