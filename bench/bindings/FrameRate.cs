// Frames per second through the C# binding against vornmt_frame_flood_server
// serving two clients: FrameRate PORT. First to a handler that counts, then
// read from the stream: on .NET with ReadEventsAsync, on Mono with
// ReadAvailableEvents in a loop that sleeps 1 ms whenever nothing is there,
// as a game's Update would. Built with VORNMT_BINDING_BEFORE it measures the
// binding from before its stream read the library's event queue
// (ReadEventsAsync over a channel of its own, on both runtimes);
// bench/bindings/run builds it both ways, for Mono and for .NET.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch;

internal static class FrameRate
{
    private static readonly bool Mono = Type.GetType("Mono.Runtime") != null;

    private static async Task<int> Main(string[] arguments)
    {
        int port = int.Parse(arguments[0]);
        string runtime = Mono ? "Mono" : ".NET " + Environment.Version;
        Report("C# handler (" + runtime + ")", ThroughHandler(port));
#if VORNMT_BINDING_BEFORE
        Report("C# ReadEventsAsync (" + runtime + ")", await ThroughStream(port));
#else
        if (Mono) Report("C# ReadAvailableEvents (" + runtime + ")", ThroughGameLoop(port));
        else Report("C# ReadEventsAsync (" + runtime + ")", await ThroughStream(port));
#endif
        return 0;
    }

    private static void Report(string what, (long Frames, TimeSpan Time) result)
    {
        double seconds = result.Time.TotalSeconds;
        Console.WriteLine("{0}: {1} frames in {2:F2} s: {3:F0} frames/s", what, result.Frames, seconds, result.Frames / seconds);
    }

    private static (long, TimeSpan) ThroughHandler(int port)
    {
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
        return (frames, clock.Elapsed);
    }

#if VORNMT_BINDING_BEFORE
    private static async Task<(long, TimeSpan)> ThroughStream(int port)
    {
        long frames = 0;
        var clock = new Stopwatch();
        using (var client = new TouchClient())
        {
            IAsyncEnumerable<EventArgs> stream = client.ReadEventsAsync(10000);
            client.Connect("127.0.0.1", port);
            await foreach (EventArgs e in stream)
            {
                if (e is FrameEventArgs && frames++ == 0) clock.Start();
            }
            clock.Stop();
            if (client.DroppedEventCount > 0) Console.WriteLine("  ({0} events dropped by the full stream)", client.DroppedEventCount);
        }
        return (frames, clock.Elapsed);
    }
#else
    private static async Task<(long, TimeSpan)> ThroughStream(int port)
    {
        long frames = 0;
        var clock = new Stopwatch();
        using (var client = new TouchClient())
        {
            await using (IAsyncEnumerator<TouchEvent> reader = client.ReadEventsAsync().GetAsyncEnumerator())
            {
                ValueTask<bool> next = reader.MoveNextAsync();  // the queue is open: connect
                client.Connect("127.0.0.1", port);
                while (await next)
                {
                    if (reader.Current is FrameEvent && frames++ == 0) clock.Start();
                    next = reader.MoveNextAsync();
                }
            }
            clock.Stop();
        }
        return (frames, clock.Elapsed);
    }

    private static (long, TimeSpan) ThroughGameLoop(int port)
    {
        long frames = 0;
        var clock = new Stopwatch();
        var events = new List<TouchEvent>();
        using (var client = new TouchClient())
        {
            client.EventQueueCapacity = 8192;
            client.ReadAvailableEvents(events);  // opens the queue
            client.Connect("127.0.0.1", port);
            for (bool lost = false; !lost;)
            {
                events.Clear();
                if (client.ReadAvailableEvents(events) == 0) Thread.Sleep(1);
                foreach (TouchEvent e in events)
                {
                    if (e is FrameEvent && frames++ == 0) clock.Start();
                    lost |= e is ServerLostEvent;
                }
            }
            clock.Stop();
        }
        return (frames, clock.Elapsed);
    }
#endif
}
