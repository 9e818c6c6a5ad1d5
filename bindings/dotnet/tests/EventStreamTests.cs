// The stream: ReadEventsAsync and the game loop's ReadAvailableEvents over the
// library's event queue (docs/events.md).
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Linq;
using System.Threading;
using System.Threading.Tasks;
using Xunit;

namespace Vorn.MultiTouch.Tests
{
    public class EventStreamTests
    {
        private const string Information =
            "<invoke name='information' returntype=\"xml\"><arguments><number>7</number><number>2</number>" +
            "<string>d\u00e9vice</string></arguments></invoke>";

        private static string Frame(int number)
        {
            return "<invoke name='frame' returntype=\"xml\"><arguments><number>" + number +
                "</number><number>0</number><array></array></arguments></invoke>";
        }

        private static string Gesture(int code)
        {
            return "<invoke name='gesture' returntype=\"xml\"><arguments><number>" + code +
                "</number><number>2</number><number>15</number><number>7</number></arguments></invoke>";
        }

        private static string Resolution(int x, int y)
        {
            return "<invoke name='resolution' returntype=\"xml\"><arguments><object><property id=\"x\"><number>" + x +
                "</number></property><property id=\"y\"><number>" + y + "</number></property></object></arguments></invoke>";
        }

        /// <summary>Begins a reader (its first MoveNextAsync opens the queue), then reads it to its end.</summary>
        private static async Task<List<TouchEvent>> ReadAll(IAsyncEnumerable<TouchEvent> stream, Action begun)
        {
            var events = new List<TouchEvent>();
            await using (IAsyncEnumerator<TouchEvent> reader = stream.GetAsyncEnumerator())
            {
                ValueTask<bool> next = reader.MoveNextAsync();
                begun();
                while (await next)
                {
                    events.Add(reader.Current);
                    next = reader.MoveNextAsync();
                }
            }
            return events;
        }

        private static string Describe(TouchEvent e)
        {
            switch (e)
            {
                case FrameEvent frame: return "frame " + frame.FrameValue0;
                case GestureEvent gesture: return "gesture " + gesture.Name + " " + string.Join(",", gesture.Parameters);
                case DeviceInfoEvent info: return "info " + info.Text;
                case ResolutionEvent resolution: return "resolution " + resolution.X + "x" + resolution.Y;
                case ErrorEvent error: return "error " + error.Meaning;
                case ServerLostEvent _: return "server lost";
                case ConnectedEvent _: return "connected";
                default: return "?";
            }
        }

        // The stream may begin with a stray event of an earlier connection of this process (the
        // library delivers what it had received but not delivered on the next connection).
        private static List<string> FromFirst(IEnumerable<TouchEvent> events, string first)
        {
            List<string> described = events.Select(Describe).ToList();
            int start = described.IndexOf(first);
            Assert.True(start >= 0 && start <= 1, string.Join("; ", described));
            return described.Skip(start).ToList();
        }

        [Fact]
        public async Task OrderAcrossKindsResolutionAndServerLostIncluded()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                List<TouchEvent> events = await ReadAll(client.ReadEventsAsync(Waits.Token()), () =>
                {
                    client.RequestServerResolution();
                    server.Send(Information, Frame(0), Gesture(1), Resolution(800, 600), "not an invoke document", Frame(1));
                    server.Hang();
                });
                Assert.Equal(new[] { "info d\u00e9vice", "frame 0", "gesture TG_DOWN 15,7", "resolution 800x600",
                                     "error bad message from the server (skipped)", "frame 1", "server lost" },
                             FromFirst(events, "info d\u00e9vice"));
            }
        }

        [Fact]
        public async Task ASlowReaderLosesNothing()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                int handled = 0;
                client.FrameReceived += (sender, e) => Interlocked.Increment(ref handled);
                client.EventQueueCapacity = 8;
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                // Nothing is read until the server has sent everything and gone: the queue of 8
                // and the pump's channel fill, and the library waits instead of dropping.
                List<TouchEvent> events = await ReadAll(client.ReadEventsAsync(Waits.Token()), () =>
                {
                    server.Send(Enumerable.Range(0, 500).Select(Frame).ToArray());
                    server.Hang();
                });
                var expected = Enumerable.Range(0, 500).Select(n => "frame " + n).Concat(new[] { "server lost" });
                Assert.Equal(expected, FromFirst(events, "frame 0"));
                Assert.True(Volatile.Read(ref handled) >= 500);
            }
        }

        [Fact]
        public async Task ServerLostEndsEveryReaderOfTheStream()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                IAsyncEnumerable<TouchEvent> stream = client.ReadEventsAsync(Waits.Token());
                var both = new Barrier(3);
                Task<List<TouchEvent>>[] readers = Enumerable.Range(0, 2).Select(i => Task.Run(
                    () => ReadAll(stream, () => both.SignalAndWait(Waits.Deadline)))).ToArray();
                Assert.True(both.SignalAndWait(Waits.Deadline), "both readers began");
                server.Send(Enumerable.Range(0, 20).Select(Frame).ToArray());
                server.Hang();
                List<TouchEvent>[] results = await Task.WhenAll(readers).WaitAsync(Waits.Deadline);  // every reader ends
                var all = results.SelectMany(r => r).ToList();
                Assert.Single(all.OfType<ServerLostEvent>());
                // Each frame went to one reader (a stray event of an earlier connection has points).
                Assert.Equal(Enumerable.Range(0, 20),
                             all.OfType<FrameEvent>().Where(f => f.Points.Length == 0).Select(f => f.FrameValue0).OrderBy(n => n));
            }
        }

        [Fact]
        public async Task ReconnectionGoesOnWithConnectedThenFrames()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                client.AutoReconnect(TimeSpan.FromMilliseconds(10), TimeSpan.FromMilliseconds(50));
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                Assert.Equal(ConnectionState.Connected, client.State);
                var reader = client.ReadEventsAsync(Waits.Token()).GetAsyncEnumerator();
                var seen = new List<TouchEvent>();
                ValueTask<bool> next = reader.MoveNextAsync();
                server.Send(Frame(0));
                server.Restart();
                server.Accept();  // the library comes back on its own
                server.Send(Frame(1), Frame(2));
                while (await next)
                {
                    seen.Add(reader.Current);
                    if (Describe(reader.Current) == "frame 2") break;
                    next = reader.MoveNextAsync();
                }
                Assert.Equal(new[] { "frame 0", "server lost", "connected", "frame 1", "frame 2" }, FromFirst(seen, "frame 0"));
                Assert.Equal(ConnectionState.Connected, client.State);
                client.Dispose();  // ends the stream
                Assert.False(await reader.MoveNextAsync());
                await reader.DisposeAsync();
            }
        }

        [Fact]
        public void AStreamNeverReadHoldsUpNoHandler()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                int handled = 0;
                client.FrameReceived += (sender, e) => Interlocked.Increment(ref handled);
                client.EventQueueCapacity = 8;
                IAsyncEnumerable<TouchEvent> unread = client.ReadEventsAsync();  // made, never read: no queue
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                server.Send(Enumerable.Range(0, 100).Select(Frame).ToArray());
                Waits.Until(() => Volatile.Read(ref handled) == 100, "every frame to the handler");
                GC.KeepAlive(unread);
            }
        }

        [Fact]
        public void AGameLoopReadsEveryEventOnItsOwnThread()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var events = new List<TouchEvent>();
                Assert.Equal(0, client.ReadAvailableEvents(events));  // opens the queue: nothing missed from here on
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                client.RequestServerResolution();
                Waits.Until(() => { client.ReadAvailableEvents(events); return events.LastOrDefault() is ServerLostEvent; },
                            "the server lost, read in the loop");
                List<string> described = FromFirst(events, "info VornMT touch simulator, scenario tap at 100 frames/s");
                Assert.Contains("resolution 1920x1080", described);
                Assert.Equal(new[] { "TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END" },
                             events.OfType<GestureEvent>().Select(g => g.Name));
                Assert.False(client.TryReadEvent(out TouchEvent none));
                Assert.Null(none);
            }
        }
    }
}
