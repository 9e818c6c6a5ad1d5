// A console application that uses VornMTClient.Net as a package from a feed,
// as a .NET developer would: check_dotnet_package puts this file into a new
// `dotnet new console` project and runs it on .NET, on Mono and under Wine.
//   consumer PORT        prints what a simulator on 127.0.0.1:PORT sends, to its ServerLost,
//                        read with ReadEventsAsync
//   consumer poll PORT   the same read as a game reads it, with ReadAvailableEvents on the main
//                        thread, and checks that the binding registered no callback with the
//                        library: no library thread ever called into managed code
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch;

internal static class Program
{
    private static int frames;

    private static async Task<int> Main(string[] arguments)
    {
        if (arguments[0] == "poll") return Poll(int.Parse(arguments[1]));
        using (var deadline = new CancellationTokenSource(TimeSpan.FromSeconds(60)))
        using (var client = new TouchClient())
        {
            // The reader begins (and the library's queue opens) before connecting: nothing is missed.
            Task reading = Print(client.ReadEventsAsync(deadline.Token));
            client.Connect("127.0.0.1", int.Parse(arguments[0]));
            client.Subscribe();
            var (x, y) = await client.GetServerResolutionAsync(deadline.Token);
            Console.WriteLine($"resolution {x}x{y}");
            await reading;
            Console.WriteLine($"frames {frames}");
        }
        return 0;
    }

    private static async Task Print(IAsyncEnumerable<TouchEvent> events)
    {
        await foreach (TouchEvent e in events)
        {
            if (!(e is ResolutionEvent)) Print(e);  // printed by Main, from the task's answer
        }
    }

    private static void Print(TouchEvent e)
    {
        switch (e)
        {
            case FrameEvent frame:
                if (frames++ == 0) Console.WriteLine($"first frame {frame.FrameValue0}: {string.Join(" ", frame.Points)}");
                break;
            case GestureEvent gesture:
                Console.WriteLine($"gesture {gesture.Name} {string.Join(" ", gesture.Parameters)}");
                break;
            case DeviceInfoEvent info:
                Console.WriteLine($"device {info.Text}");
                break;
            case ResolutionEvent resolution:
                Console.WriteLine($"resolution {resolution.X}x{resolution.Y}");
                break;
            case ErrorEvent error:
                Console.WriteLine($"error {error.Status}: {error.Meaning}");
                break;
            case ServerLostEvent _:
                Console.WriteLine("server lost");
                break;
        }
    }

    private static int Poll(int port)
    {
        var events = new List<TouchEvent>();
        int mainThread = Thread.CurrentThread.ManagedThreadId;
        using (var client = new TouchClient())
        {
            client.ReadAvailableEvents(events);  // opens the queue before connecting
            client.Connect("127.0.0.1", port);
            client.Subscribe();
            client.RequestServerResolution();
            DateTime deadline = DateTime.UtcNow.AddSeconds(60);
            bool lost = false;
            while (!lost && DateTime.UtcNow < deadline)
            {
                events.Clear();
                client.ReadAvailableEvents(events);
                foreach (TouchEvent e in events)
                {
                    Print(e);
                    lost |= e is ServerLostEvent;
                }
                Thread.Sleep(1);  // the rest of a game's frame
            }
            if (Thread.CurrentThread.ManagedThreadId != mainThread) return 4;
            // Each setter returns the callback it replaces: every one was empty.
            int registered = Library.Registered();
            Console.WriteLine($"callbacks registered {registered}");
            if (registered != 0 || !lost) return 5;
        }
        Console.WriteLine($"frames {frames}");
        return 0;
    }

    private static class Library
    {
      

        [DllImport("VornMTClient")] private static extern IntPtr SetOnReceivePointFrame(IntPtr callback, IntPtr userData);
        [DllImport("VornMTClient")] private static extern IntPtr SetOnReceiveGesture(IntPtr callback, IntPtr userData);
        [DllImport("VornMTClient")] private static extern IntPtr SetOnServerBreak(IntPtr callback, IntPtr userData);
        [DllImport("VornMTClient")] private static extern IntPtr SetOnReceiveError(IntPtr callback, IntPtr userData);
        [DllImport("VornMTClient")] private static extern IntPtr SetOnGetDeviceInfo(IntPtr callback, IntPtr userData);
        [DllImport("VornMTClient")] private static extern IntPtr SetOnConnected(IntPtr callback, IntPtr userData);

        internal static int Registered()
        {
            int count = 0;
            foreach (IntPtr previous in new[]
            {
                SetOnReceivePointFrame(IntPtr.Zero, IntPtr.Zero), SetOnReceiveGesture(IntPtr.Zero, IntPtr.Zero),
                SetOnServerBreak(IntPtr.Zero, IntPtr.Zero), SetOnReceiveError(IntPtr.Zero, IntPtr.Zero),
                SetOnGetDeviceInfo(IntPtr.Zero, IntPtr.Zero), SetOnConnected(IntPtr.Zero, IntPtr.Zero),
            })
            {
                if (previous != IntPtr.Zero) count++;
            }
            return count;
        }
    }
}
