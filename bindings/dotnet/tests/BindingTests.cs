// The binding against the shared library, the simulator and a scripted server.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch.Native;
using Xunit;

namespace Vorn.MultiTouch.Tests
{
    public class BindingTests
    {
        private const string Information =
            "<invoke name='information' returntype=\"xml\"><arguments><number>7</number><number>2</number>" +
            "<string>d\u00e9vice</string></arguments></invoke>";
        private static readonly string[] TapGestures = { "TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END" };

        // Every size and offset of the header's static_assert table, on the
        // record of the same name (field code_1 is Code1); each record must
        // also pin, which only a blittable one does.
        [Fact]
        public void RecordsMatchTheHeadersLayoutTable()
        {
            string header = System.IO.File.ReadAllText(System.IO.Path.Combine(AppContext.BaseDirectory, "VornMTClient.h"));
            var records = new Dictionary<string, Type>
            {
                ["TouchGuid"] = typeof(Guid),
                ["TouchPoint"] = typeof(TouchPoint),
                ["TouchGesture"] = typeof(TouchGesture),
                ["TouchDeviceInfo"] = typeof(TouchDeviceInfo),
                ["TouchClientRequest"] = typeof(TouchClientRequest),
                ["TouchEvent"] = typeof(NativeTouchEvent),
            };
            var checkedRecords = new HashSet<string>();
            int offsets = 0;
            foreach (Match table in Regex.Matches(header, @"static_assert\((.*?),\s*""\w+ layout""\);", RegexOptions.Singleline))
            {
                foreach (Match term in Regex.Matches(table.Groups[1].Value, @"(sizeof\((\w+)\)|offsetof\((\w+),\s*(\w+)\))\s*==\s*(\d+)"))
                {
                    int expected = int.Parse(term.Groups[5].Value);
                    if (term.Groups[2].Success)
                    {
                        Type record = records[term.Groups[2].Value];
                        Assert.True(expected == Marshal.SizeOf(record), record.Name + " size");
                        GCHandle.Alloc(Activator.CreateInstance(record), GCHandleType.Pinned).Free();  // throws unless blittable
                        checkedRecords.Add(term.Groups[2].Value);
                    }
                    else
                    {
                        Type record = records[term.Groups[3].Value];
                        string field = string.Concat(term.Groups[4].Value.Split('_').Select(part => char.ToUpperInvariant(part[0]) + part.Substring(1)));
                        Assert.True(expected == (int)Marshal.OffsetOf(record, field), record.Name + "." + field + " offset");
                        offsets++;
                    }
                }
            }
            Assert.Equal(records.Count, checkedRecords.Count);
            Assert.Equal(22, offsets);
        }

        [Fact]
        public async Task EveryEventKindFromTheSimulator()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var events = new ConcurrentQueue<object>();
                client.FrameReceived += (sender, e) => events.Enqueue(e);
                client.GestureReceived += (sender, e) => events.Enqueue(e);
                client.DeviceInfoReceived += (sender, e) => events.Enqueue(e);
                client.ServerLost += (sender, e) => events.Enqueue(e);
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Assert.Equal((1920, 1080), await client.GetServerResolutionAsync().WaitAsync(Waits.Deadline));
                Waits.Until(() => events.OfType<ServerLostEvent>().Any(), "server lost");

                var info = events.OfType<DeviceInfoEvent>().Single();
                Assert.Equal("VornMT touch simulator, scenario tap at 100 frames/s", info.Text);
                Assert.Equal(100, info.Value1);
                var frames = events.OfType<FrameEvent>().ToList();
                Assert.Equal(Enumerable.Range(0, frames.Count), frames.Select(f => f.FrameValue0));
                Assert.Equal("[1 1 960,540 30x30]", frames[0].Points.Single().ToString());
                Assert.Equal(3, frames.Last().Points[0].Code0);
                var gestures = events.OfType<GestureEvent>().ToList();
                Assert.Equal(TapGestures, gestures.Select(g => g.Name));
                Assert.Equal(new double[] { 960, 540 }, gestures[1].Parameters);
                Assert.IsType<ServerLostEvent>(events.Last());
            }
        }

        [Fact]
        public async Task RequestsReachTheSimulator()
        {
            using (var simulator = new Simulator("--scenario tap --rate 10"))
            using (var client = new TouchClient())
            {
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe(-2, new Guid("00112233-4455-6677-8899-aabbccddeeff"), "h\u00e9 <&>");
                client.SetThreshold(-5);
                client.SetRawDataResolution(800, 600);
                await client.GetServerResolutionAsync().WaitAsync(Waits.Deadline);
                string line = simulator.WaitForLine("send_request");
                Assert.Contains("app_key_id=\"{00112233-4455-6677-8899-aabbccddeeff}\"", line);
                Assert.Contains("param=\"h\u00e9 <&>\"", line);
                Assert.Contains(" type=-2 version=259", line);
                simulator.WaitForLine("send_threshold move_threshold=-5");
                simulator.WaitForLine("set_rawdata_resolution x=800 y=600");
                simulator.WaitForLine("get_resolution, answered 1920x1080");
                Assert.Throws<ArgumentException>(() => client.Subscribe(param: new string('x', 128)));
            }
        }

        [Fact]
        public async Task BadMessageIsReportedAndWhatFollowsArrives()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                var errors = new ConcurrentQueue<ErrorEvent>();
                DeviceInfoEvent info = null;
                client.ErrorReported += (sender, e) => errors.Enqueue(e);
                client.DeviceInfoReceived += (sender, e) => Volatile.Write(ref info, e);
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                server.Send("not an invoke document", Information);
                Waits.Until(() => Volatile.Read(ref info) != null, "the device information after the bad message");
                Assert.Equal("d\u00e9vice", info.Text);
                ErrorEvent error = errors.Single();
                Assert.Equal(TouchStatus.BadMessage, error.Status);
                Assert.Equal("bad message from the server (skipped)", error.Meaning);  // the library's text
                Assert.Null(error.Exception);
                // The server never answers: the token ends the wait.
                var unanswered = client.GetServerResolutionAsync(new CancellationTokenSource(200).Token);
                await Assert.ThrowsAsync<TaskCanceledException>(() => unanswered.WaitAsync(Waits.Deadline));
            }
        }

        [Fact]
        public void ThrowingHandlersAreReportedAndDeliveryGoesOn()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var reported = new ConcurrentQueue<ErrorEvent>();
                int gestures = 0;
                bool lost = false;
                client.GestureReceived += (sender, e) => Interlocked.Increment(ref gestures);
                client.GestureReceived += (sender, e) => throw new InvalidOperationException("handler bug");
                client.ErrorReported += (sender, e) => reported.Enqueue(e);
                client.ErrorReported += (sender, e) => throw new InvalidOperationException("error handler bug");
                client.ServerLost += (sender, e) => { Volatile.Write(ref lost, true); throw new InvalidOperationException("lost handler bug"); };
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Waits.Until(() => Volatile.Read(ref lost), "server lost");
                Assert.Equal(TapGestures.Length, Volatile.Read(ref gestures));
                Assert.Equal(TapGestures.Length + 1, reported.Count);
                reported.TryPeek(out ErrorEvent first);
                Assert.Equal(TouchStatus.CallbackException, first.Status);
                Assert.Equal("handler bug", first.Exception.Message);
            }
        }

        [Fact]
        public async Task DisposeWhileEventsFlow()
        {
            using (var simulator = new Simulator("--scenario drag --rate 1000"))
            {
                int frames = 0;
                bool disposed = false, late = false;
                var client = new TouchClient();
                client.FrameReceived += (sender, e) =>
                {
                    Interlocked.Increment(ref frames);
                    if (Volatile.Read(ref disposed)) late = true;
                };
                // A reader under way, which Dispose ends (without a ServerLostEvent).
                IAsyncEnumerator<TouchEvent> reader = client.ReadEventsAsync(Waits.Token()).GetAsyncEnumerator();
                ValueTask<bool> pending = reader.MoveNextAsync();
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Waits.Until(() => Volatile.Read(ref frames) >= 50, "50 frames");
                // Several threads at once: one does the work, none throws.
                Parallel.For(0, 4, i => client.Dispose());
                Volatile.Write(ref disposed, true);
                Assert.False(late, "no handler runs once Dispose has returned");
                Assert.Throws<ObjectDisposedException>(() => client.Subscribe());
                while (await pending)
                {
                    Assert.IsNotType<ServerLostEvent>(reader.Current);
                    pending = reader.MoveNextAsync();
                }
                await reader.DisposeAsync();

                // Dispose from inside a handler, on the library's thread.
                var inner = new TouchClient();
                int innerFrames = 0;
                inner.FrameReceived += (sender, e) => { Interlocked.Increment(ref innerFrames); inner.Dispose(); };
                inner.Connect("127.0.0.1", simulator.Port);
                inner.Subscribe();
                Waits.Until(() => Volatile.Read(ref innerFrames) >= 1, "a frame for the inner client");
                TouchClient next = null;
                Waits.Until(() =>
                {
                    try { next = new TouchClient(); return true; }
                    catch (InvalidOperationException) { return false; }
                }, "the connection to be free again");
                next.Dispose();
            }
        }

        // A handler disposes its client and blocks; this thread then disposes too and must not
        // get back before the handler is done. The handler is released through two blocking
        // hand-offs that start only as this thread disposes: a Dispose that does not wait
        // outruns them in about half the rounds, so twenty rounds catch it.
        [Fact]
        public void DisposeWaitsForAHandlerThatDisposedItsClient()
        {
            for (int round = 0; round < 20; round++)
            {
                using (var server = new ScriptedServer())
                {
                    var client = new TouchClient();
                    var disposedInside = new ManualResetEventSlim();
                    var disposing = new ManualResetEventSlim(false, 0);  // no spinning: a real hand-off
                    var release = new ManualResetEventSlim(false, 0);
                    var relay = new Thread(() => { if (disposing.Wait(Waits.Deadline)) release.Set(); });
                    relay.Start();
                    bool finished = false;
                    client.DeviceInfoReceived += (sender, e) =>
                    {
                        client.Dispose();
                        disposedInside.Set();
                        release.Wait(Waits.Deadline);
                        Volatile.Write(ref finished, true);
                    };
                    client.Connect("127.0.0.1", server.Port);
                    server.Accept();
                    server.Send(Information);
                    Assert.True(disposedInside.Wait(Waits.Deadline), "the handler disposes its client");
                    disposing.Set();
                    client.Dispose();
                    Assert.True(Volatile.Read(ref finished), "Dispose returned while the handler ran");
                    relay.Join();
                }
            }
        }

        [Fact]
        public void EventsPostedToASynchronizationContext()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            {
                var context = new PumpedContext();
                using (var client = new TouchClient(context))
                {
                    int pumpingThread = Environment.CurrentManagedThreadId;
                    var threads = new ConcurrentQueue<int>();
                    bool lost = false;
                    client.GestureReceived += (sender, e) => threads.Enqueue(Environment.CurrentManagedThreadId);
                    client.ServerLost += (sender, e) => lost = true;
                    client.Connect("127.0.0.1", simulator.Port);
                    client.Subscribe();
                    context.PumpUntil(() => lost, "server lost, raised on the pumping thread");
                    // Messages an earlier connection left undelivered come first (the library keeps them).
                    Assert.True(threads.Count >= TapGestures.Length, "gestures");
                    Assert.All(threads, id => Assert.Equal(pumpingThread, id));
                }
                // Events posted before Dispose but not yet run are dropped.
                using (var client = new TouchClient(context))
                using (var flowing = new Simulator("--scenario drag --rate 1000"))
                {
                    int frames = 0;
                    client.FrameReceived += (sender, e) => frames++;
                    client.Connect("127.0.0.1", flowing.Port);
                    client.Subscribe();
                    context.PumpUntil(() => frames > 0, "a frame on the pumping thread");
                    Waits.Until(() => context.Pending > 0, "frames posted and waiting");
                    client.Dispose();
                    int atDispose = frames;
                    context.Drain();
                    Assert.Equal(atDispose, frames);
                }
            }
        }

        [Fact]
        public void ExitWhileConnectedAndReceiving()
        {
            using (var simulator = new Simulator("--scenario drag --rate 1000"))
            {
                string host = Environment.GetEnvironmentVariable("DOTNET_HOST_PATH") ?? "dotnet";
                var start = new ProcessStartInfo(host,
                    "exec \"" + typeof(BindingTests).Assembly.Location + "\" --exit-while-connected " + simulator.Port)
                {
                    UseShellExecute = false,
                    RedirectStandardError = true,
                };
                using (var child = Process.Start(start))
                {
                    var errors = new System.Text.StringBuilder();
                    child.ErrorDataReceived += (sender, line) => { if (line.Data != null) lock (errors) errors.AppendLine(line.Data); };
                    child.BeginErrorReadLine();
                    if (!child.WaitForExit((int)Waits.Deadline.TotalMilliseconds))
                    {
                        child.Kill();
                        Assert.Fail("the child did not exit");
                    }
                    child.WaitForExit();  // the end of its stderr
                    Assert.True(child.ExitCode == 0, "exit status; stderr: " + errors);
                    Assert.Equal("", errors.ToString());
                }
            }
        }

        [Fact]
        public async Task ConnectionFailuresAreClear()
        {
            int port;
            using (var server = new ScriptedServer()) port = server.Port;
            using (var client = (TouchClient)Activator.CreateInstance(typeof(TouchClient)))
            {
                var refused = Assert.Throws<TouchClientException>(() => client.Connect("127.0.0.1", port));
                Assert.Equal(10061, refused.Status);
                Assert.Equal("connection refused", refused.Meaning);  // the library's text
                Assert.Throws<InvalidOperationException>(() => new TouchClient());
                Assert.Equal(10049, Assert.Throws<TouchClientException>(() => client.Connect("localhost", 1)).Status);
                Assert.Equal(10057, Assert.Throws<TouchClientException>(() => client.Subscribe()).Status);
                var unsent = client.GetServerResolutionAsync();
                Assert.Equal(10057, (await Assert.ThrowsAsync<TouchClientException>(() => unsent.WaitAsync(Waits.Deadline))).Status);
            }
        }

        [Fact]
        public void GestureNames()
        {
            Assert.Equal("TG_TOUCH_START", TouchClient.GetGestureName(0));
            Assert.Equal("TG_MULTI_MOVE_DOWN", TouchClient.GetGestureName(63));
            Assert.Equal("TG_TOUCH_END", TouchClient.GetGestureName(128));
            Assert.Equal("TG_NO_ACTION", TouchClient.GetGestureName(65535));
            Assert.Equal("", TouchClient.GetGestureName(2));
            // The raw call: the text stays the library's; reading it twice reads the same constant.
            IntPtr name = NativeMethods.GetGestureNameOfCode(32);
            Assert.Equal("TG_SPLIT_START", Marshal.PtrToStringAnsi(name));
            Assert.Equal(name, NativeMethods.GetGestureNameOfCode(32));
        }

        [Fact]
        public void ALibraryOfAnotherVersionIsRefusedNamingBoth()
        {
            var needed = new Version(1, 2, 0);
            Assert.Null(LibraryVersion.Problem(10200, needed));
            Assert.Null(LibraryVersion.Problem(10305, needed));
            string older = LibraryVersion.Problem(10109, needed);
            Assert.Contains("library is 1.1.9, older than VornMTClient.Net", older);
            Assert.Contains("(1.x from 1.2.0 on)", older);
            Assert.Contains("library is 2.0.0, of another major version", LibraryVersion.Problem(20000, needed));
            // The library loaded here is the binding's own.
            Assert.Null(LibraryVersion.Problem(NativeMethods.GetLibraryVersion(), LibraryVersion.Needed));
        }

        [Fact]
        public void EventsPrintTheirValues()
        {
            var point = new TouchPoint { Code0 = 1, Code1 = 2, X = 960, Y = 540, Aux0 = 30, Aux1 = 31 };
            Assert.Equal("FrameEvent(value0=3, value1=30, 1 point [1 2 960,540 30x31])",
                         new FrameEvent(3, 30, new[] { point }).ToString());
            string many = new FrameEvent(4, 40, Enumerable.Repeat(point, 100).ToArray()).ToString();
            Assert.StartsWith("FrameEvent(value0=4, value1=40, 100 points [1 2 960,540 30x31] [1 2", many);
            Assert.EndsWith("[1 2 960,540 30x31] ...)", many);
            Assert.True(many.Length < 300, many);
            Assert.Equal("GestureEvent(TG_DOWN, params=[960, 540.5])", new GestureEvent(1, "TG_DOWN", new[] { 960, 540.5 }).ToString());
            Assert.Equal("GestureEvent(code=2, params=[])", new GestureEvent(2, "", new double[0]).ToString());
            Assert.Equal("DeviceInfoEvent(value0=7, value1=2, text=\"d\u00e9v\\x1bice\")",
                         new DeviceInfoEvent(7, 2, "d\u00e9v\u001bice").ToString());
            Assert.Equal("ResolutionEvent(1920x1080)", new ResolutionEvent(1920, 1080).ToString());
            Assert.Equal("ErrorEvent(10054, \"" + TouchClientException.Describe(10054) + "\")", new ErrorEvent(10054, null).ToString());
            Assert.Equal("ErrorEvent(0x31000003, \"" + TouchClientException.Describe(TouchStatus.CallbackException) +
                         "\", \"InvalidOperationException: thrown\")",
                         new ErrorEvent(TouchStatus.CallbackException, new InvalidOperationException("thrown")).ToString());
            Assert.Equal("ServerLostEvent()", ServerLostEvent.Instance.ToString());
            Assert.Equal("ConnectedEvent()", ConnectedEvent.Instance.ToString());
        }
    }
}
