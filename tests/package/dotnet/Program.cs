// A console application that uses VornMTClient.Net as a package from a feed,
// as a .NET developer would: check_dotnet_package puts this file into a new
// `dotnet new console` project and runs it on .NET, on Mono and under Wine.
//   consumer PORT      prints what a simulator on 127.0.0.1:PORT sends, to its ServerLost
using System;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch;

internal static class Program
{
    private static async Task<int> Main(string[] arguments)
    {
        using (var deadline = new CancellationTokenSource(TimeSpan.FromSeconds(60)))
        using (var client = new TouchClient())
        {
            var events = client.ReadEventsAsync(deadline.Token);
            client.Connect("127.0.0.1", int.Parse(arguments[0]));
            client.Subscribe();
            var (x, y) = await client.GetServerResolutionAsync(deadline.Token);
            Console.WriteLine($"resolution {x}x{y}");
            int frames = 0;
            await foreach (EventArgs e in events)
            {
                switch (e)
                {
                    case FrameEventArgs frame:
                        if (frames++ == 0) Console.WriteLine($"first frame {frame.FrameValue0}: {string.Join(" ", frame.Points)}");
                        break;
                    case GestureEventArgs gesture:
                        Console.WriteLine($"gesture {gesture.Name} {string.Join(" ", gesture.Parameters)}");
                        break;
                    case DeviceInfoEventArgs info:
                        Console.WriteLine($"device {info.Text}");
                        break;
                    case TouchErrorEventArgs error:
                        Console.WriteLine($"error {error.Status}: {error.Meaning}");
                        break;
                    case ServerLostEventArgs _:
                        Console.WriteLine("server lost");
                        break;
                }
            }
            Console.WriteLine($"frames {frames}");
        }
        return 0;
    }
}
