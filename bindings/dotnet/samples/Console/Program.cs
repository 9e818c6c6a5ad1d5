// Prints every event a touch server sends, with its values, and follows the
// server as it goes and comes back (automatic reconnection): started before
// the server, it waits for it; after a restart, it goes on. Ends after
// SECONDS, or at Ctrl-C.
//   dotnet run -- [PORT [SECONDS]]     (default 7100, no end)
using System.Globalization;
using Vorn.MultiTouch;

int port = args.Length > 0 ? int.Parse(args[0], CultureInfo.InvariantCulture) : 7100;
using var stop = new CancellationTokenSource();
if (args.Length > 1) stop.CancelAfter(TimeSpan.FromSeconds(double.Parse(args[1], CultureInfo.InvariantCulture)));
Console.CancelKeyPress += (sender, e) =>
{
    e.Cancel = true;  // end the stream below and leave through Dispose
    stop.Cancel();
};

using var client = new TouchClient();
// Before Connect: Connect then succeeds also while no server listens, and the
// library keeps trying, waiting 0.2 s at first and up to 5 s between tries.
client.AutoReconnect(TimeSpan.FromSeconds(0.2), TimeSpan.FromSeconds(5));
// The first read opens the library's event queue: nothing of the connection is missed.
Task reading = Print(client.ReadEventsAsync(stop.Token));
client.Connect("127.0.0.1", port);
client.Subscribe();  // sent again on every new connection
Console.WriteLine(client.State == ConnectionState.Connected
    ? $"connected to 127.0.0.1:{port}"
    : $"waiting for a server at 127.0.0.1:{port}");
try
{
    await reading;
}
catch (OperationCanceledException)
{
    Console.WriteLine("stopped");
}

static async Task Print(IAsyncEnumerable<TouchEvent> events)
{
    // With reconnection on, ServerLostEvent does not end the stream: ConnectedEvent
    // and the new connection's events follow.
    await foreach (TouchEvent e in events)
        Console.WriteLine(e);
}
