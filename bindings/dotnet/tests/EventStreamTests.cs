// ReadEventsAsync: the async stream over a bounded channel.
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
        private static string Frame(int number)
        {
            return "<invoke name='frame' returntype=\"xml\"><arguments><number>" + number +
                "</number><number>0</number><array></array></arguments></invoke>";
        }

        [Fact]
        public async Task EveryEventInOrderThenServerLostEndsTheStream()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var events = new List<EventArgs>();
                IAsyncEnumerable<EventArgs> stream = client.ReadEventsAsync(Waits.Token());
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                await foreach (EventArgs e in stream) events.Add(e);

                Assert.IsType<ServerLostEventArgs>(events.Last());
                Assert.Single(events.OfType<DeviceInfoEventArgs>());
                var frames = events.OfType<FrameEventArgs>().ToList();
                Assert.Equal(Enumerable.Range(0, frames.Count), frames.Select(f => f.FrameValue0));
                Assert.Equal(new[] { "TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END" },
                    events.OfType<GestureEventArgs>().Select(g => g.Name));
                Assert.Equal(0, client.DroppedEventCount);
            }
        }

        [Fact]
        public async Task AFullStreamDropsNewEventsButNeverServerLost()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var lost = new ManualResetEventSlim();
                var delivered = new ConcurrentQueue<EventArgs>();  // to the handlers: the same objects
                client.FrameReceived += (sender, e) => delivered.Enqueue(e);
                client.GestureReceived += (sender, e) => delivered.Enqueue(e);
                client.DeviceInfoReceived += (sender, e) => delivered.Enqueue(e);
                client.ServerLost += (sender, e) => lost.Set();
                IAsyncEnumerable<EventArgs> stream = client.ReadEventsAsync(3, Waits.Token());
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Assert.True(lost.Wait(Waits.Deadline), "server lost");  // nobody read meanwhile

                var events = new List<EventArgs>();
                await foreach (EventArgs e in stream) events.Add(e);
                Assert.Equal(delivered.Take(3), events.Take(3));  // the first three kept, in order
                Assert.IsType<ServerLostEventArgs>(events.Last());
                Assert.Equal(4, events.Count);
                Assert.Equal(delivered.Count - 3, client.DroppedEventCount);
            }
        }

        [Fact]
        public async Task AReaderLeavingAStreamLeavesItsOtherReaderTheEnd()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                IAsyncEnumerable<EventArgs> stream = client.ReadEventsAsync(Waits.Token());
                await using (IAsyncEnumerator<EventArgs> staying = stream.GetAsyncEnumerator())
                {
                    ValueTask<bool> next = staying.MoveNextAsync();  // this reader has begun
                    server.Send(Frame(0), Frame(1));  // at most one of them to the waiting reader
                    await foreach (EventArgs e in stream) break;  // the other reader takes one and leaves
                    server.Dispose();
                    var rest = new List<EventArgs>();
                    while (await next)
                    {
                        rest.Add(staying.Current);
                        next = staying.MoveNextAsync();
                    }
                    Assert.IsType<ServerLostEventArgs>(rest.Last());
                }
            }
        }
    }
}
