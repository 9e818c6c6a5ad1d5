// Frames per second through the C# binding to a handler that counts, against
// vornmt_frame_flood_server: FrameRate PORT (bench/bindings/run builds it
// for Mono and for .NET).
using System;
using System.Diagnostics;
using System.Threading;
using Vorn.MultiTouch;

internal static class FrameRate
{
    private static int Main(string[] arguments)
    {
        int port = int.Parse(arguments[0]);
        long frames = 0;
        var clock = new Stopwatch();
        var lost = new ManualResetEventSlim();
        using (var client = new TouchClient())
        {
            client.FrameReceived += (sender, e) =>
            {
                if (frames++ == 0) clock.Start();
            };
            client.ServerLost += (sender, e) => lost.Set();
            client.Connect("127.0.0.1", port);
            lost.Wait();
            clock.Stop();
        }
        double seconds = clock.Elapsed.TotalSeconds;
        string runtime = Type.GetType("Mono.Runtime") != null ? "Mono" : ".NET " + Environment.Version;
        Console.WriteLine("C# handler ({0}): {1} frames in {2:F2} s: {3:F0} frames/s", runtime, frames, seconds, frames / seconds);
        return 0;
    }
}
