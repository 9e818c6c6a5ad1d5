// The C# binding against the shared library, the simulator and a scripted
// server. A self-checking console program: one line per test, then
// "N passed, N failed"; exit status 1 when any failed.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch.Tests
{
    internal static class BindingTests
    {
        private const string Information =
            "<invoke name='information' returntype=\"xml\"><arguments><number>7</number><number>2</number>" +
            "<string>d\u00e9vice</string></arguments></invoke>";
        private static readonly string[] TapGestures = { "TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END" };

        private static int Main(string[] arguments)
        {
            if (arguments.Length == 2 && arguments[0] == "--exit-while-connected") return ExitWhileConnected(int.Parse(arguments[1]));
            var tests = new List<KeyValuePair<string, Action>>
            {
                Test("record layouts match the header", RecordLayouts),
                Test("every event kind from the simulator", EveryEventKind),
                Test("requests reach the simulator", RequestsReachTheSimulator),
                Test("a bad message is reported and what follows arrives", BadMessageIsReported),
                Test("a throwing handler is reported, the process goes on", ThrowingHandler),
                Test("dispose while events flow", DisposeWhileEventsFlow),
                Test("events posted to a SynchronizationContext", EventsOnContext),
                Test("exit while connected and receiving", ExitWhileReceiving),
                Test("connection failures are clear", ConnectionFailures),
                Test("gesture names", GestureNames),
            };
            int passed = 0, failed = 0;
            foreach (var test in tests)
            {
                try
                {
                    test.Value();
                    passed++;
                    Console.WriteLine("PASS " + test.Key);
                }
                catch (Exception failure)
                {
                    failed++;
                    Console.WriteLine("FAIL " + test.Key + ": " + failure);
                }
            }
            Console.WriteLine("{0} passed, {1} failed", passed, failed);
            return failed == 0 ? 0 : 1;
        }

        private static KeyValuePair<string, Action> Test(string name, Action body)
        {
            return new KeyValuePair<string, Action>(name, body);
        }

        private static void RecordLayouts()
        {
            Check.Equal(16, Marshal.SizeOf(typeof(TouchPoint)), "TouchPoint size");
            Check.Equal(8, (int)Marshal.OffsetOf(typeof(TouchPoint), "Y"), "TouchPoint.Y offset");
            Check.Equal(12, (int)Marshal.OffsetOf(typeof(TouchPoint), "Aux0"), "TouchPoint.Aux0 offset");
            Check.Equal(56, Marshal.SizeOf(typeof(TouchGesture)), "TouchGesture size");
            Check.Equal(8, (int)Marshal.OffsetOf(typeof(TouchGesture), "Params"), "TouchGesture.Params offset");
            Check.Equal(136, Marshal.SizeOf(typeof(TouchDeviceInfo)), "TouchDeviceInfo size");
            Check.Equal(8, (int)Marshal.OffsetOf(typeof(TouchDeviceInfo), "InfoText"), "TouchDeviceInfo.InfoText offset");
            Check.Equal(148, Marshal.SizeOf(typeof(TouchClientRequest)), "TouchClientRequest size");
            Check.Equal(4, (int)Marshal.OffsetOf(typeof(TouchClientRequest), "AppKeyId"), "AppKeyId offset");
            Check.Equal(20, (int)Marshal.OffsetOf(typeof(TouchClientRequest), "Param"), "Param offset");
        }

        private static void EveryEventKind()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var events = new ConcurrentQueue<object>();
                client.FrameReceived += (sender, e) => events.Enqueue(e);
                client.GestureReceived += (sender, e) => events.Enqueue(e);
                client.DeviceInfoReceived += (sender, e) => events.Enqueue(e);
                client.ServerLost += (sender, e) => events.Enqueue("lost");
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                var resolution = client.GetServerResolutionAsync();
                Check.That(resolution.Wait(Check.Deadline), "the resolution arrives");
                // Mono's compiler does not read tuple element names from a reference: X, Y are Item1, Item2.
                Check.Equal(1920, resolution.Result.Item1, "resolution x");
                Check.Equal(1080, resolution.Result.Item2, "resolution y");
                Check.Until(() => events.Contains("lost"), "server lost");

                var info = events.OfType<DeviceInfoEventArgs>().Single();
                Check.Equal("VornMT touch simulator, scenario tap at 100 frames/s", info.Text, "device text");
                Check.Equal(100, info.Value1, "device value 1");
                var frames = events.OfType<FrameEventArgs>().ToList();
                Check.That(frames.Select(f => f.FrameValue0).SequenceEqual(Enumerable.Range(0, frames.Count)), "frame numbers");
                TouchPoint first = frames[0].Points.Single();
                Check.Equal("[1 1 960,540 30x30]", first.ToString(), "first point");
                Check.Equal(3, (int)frames.Last().Points[0].Code0, "last point's state");
                var gestures = events.OfType<GestureEventArgs>().ToList();
                Check.Equal(string.Join(" ", TapGestures), string.Join(" ", gestures.Select(g => g.Name)), "gestures");
                Check.Equal("960 540", string.Join(" ", gestures[1].Parameters), "TG_DOWN parameters");
                Check.Equal((object)"lost", events.Last(), "server lost comes last");
            }
        }

        private static void RequestsReachTheSimulator()
        {
            using (var simulator = new Simulator("--scenario tap --rate 10"))
            using (var client = new TouchClient())
            {
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe(-2, new Guid("00112233-4455-6677-8899-aabbccddeeff"), "h\u00e9 <&>");
                client.SetThreshold(-5);
                client.SetRawDataResolution(800, 600);
                Check.That(client.GetServerResolutionAsync().Wait(Check.Deadline), "the resolution arrives");
                string line = simulator.WaitForLine("send_request");
                Check.That(line.Contains("app_key_id=\"{00112233-4455-6677-8899-aabbccddeeff}\""), line);
                Check.That(line.Contains("param=\"h\u00e9 <&>\""), line);
                Check.That(line.Contains(" type=-2 version=259"), line);
                simulator.WaitForLine("send_threshold move_threshold=-5");
                simulator.WaitForLine("set_rawdata_resolution x=800 y=600");
                simulator.WaitForLine("get_resolution, answered 1920x1080");
                Check.Throws<ArgumentException>(() => client.Subscribe(param: new string('x', 128)), "a param too long");
            }
        }

        private static void BadMessageIsReported()
        {
            using (var server = new ScriptedServer())
            using (var client = new TouchClient())
            {
                var errors = new ConcurrentQueue<TouchErrorEventArgs>();
                DeviceInfoEventArgs info = null;
                client.ErrorReported += (sender, e) => errors.Enqueue(e);
                client.DeviceInfoReceived += (sender, e) => info = e;
                client.Connect("127.0.0.1", server.Port);
                server.Accept();
                server.Send("not an invoke document", Information);
                Check.Until(() => info != null, "the device information after the bad message");
                Check.Equal("d\u00e9vice", info.Text, "UTF-8 device text");
                TouchErrorEventArgs error = errors.Single();
                Check.Equal(TouchStatus.BadMessage, error.Status, "error status");
                Check.That(error.Meaning.Contains("ERR_BAD_MESSAGE") && error.Exception == null, error.Meaning);
                // The server never answers: the token ends the wait.
                var unanswered = client.GetServerResolutionAsync(new CancellationTokenSource(200).Token);
                Check.Throws<TaskCanceledException>(() => unanswered.Wait(Check.Deadline), "a cancelled query");
            }
        }

        private static void ThrowingHandler()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            using (var client = new TouchClient())
            {
                var reported = new ConcurrentQueue<TouchErrorEventArgs>();
                int gestures = 0;
                bool lost = false;
                client.GestureReceived += (sender, e) => Interlocked.Increment(ref gestures);
                client.GestureReceived += (sender, e) => { throw new InvalidOperationException("handler bug"); };
                client.ErrorReported += (sender, e) => reported.Enqueue(e);
                client.ErrorReported += (sender, e) => { throw new InvalidOperationException("error handler bug"); };
                client.ServerLost += (sender, e) => { lost = true; throw new InvalidOperationException("lost handler bug"); };
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Check.Until(() => lost, "server lost");
                Check.Equal(TapGestures.Length, Volatile.Read(ref gestures), "gestures delivered");
                Check.Equal(TapGestures.Length + 1, reported.Count, "one report per throwing call");
                TouchErrorEventArgs first;
                reported.TryPeek(out first);
                Check.Equal(TouchStatus.CallbackException, first.Status, "status");
                Check.Equal("handler bug", first.Exception.Message, "the handler's exception");
            }
        }

        private static void DisposeWhileEventsFlow()
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
                client.Connect("127.0.0.1", simulator.Port);
                client.Subscribe();
                Check.Until(() => Volatile.Read(ref frames) >= 50, "50 frames");
                client.Dispose();
                Volatile.Write(ref disposed, true);
                Check.That(!late, "no handler runs once Dispose has returned");
                Check.Throws<ObjectDisposedException>(() => client.Subscribe(), "a request after Dispose");

                // Dispose from inside a handler, on the library's thread.
                var inner = new TouchClient();
                int innerFrames = 0;
                inner.FrameReceived += (sender, e) => { Interlocked.Increment(ref innerFrames); inner.Dispose(); };
                inner.Connect("127.0.0.1", simulator.Port);
                inner.Subscribe();
                Check.Until(() => Volatile.Read(ref innerFrames) >= 1, "a frame for the inner client");
                TouchClient next = null;
                Check.Until(() =>
                {
                    try { next = new TouchClient(); return true; }
                    catch (InvalidOperationException) { return false; }
                }, "the connection to be free again");
                next.Dispose();
            }
        }

        private static void EventsOnContext()
        {
            using (var simulator = new Simulator("--scenario tap --loops 1"))
            {
                var context = new PumpedContext();
                using (var client = new TouchClient(context))
                {
                    int pumpingThread = Thread.CurrentThread.ManagedThreadId;
                    var threads = new ConcurrentQueue<int>();
                    bool lost = false;
                    client.GestureReceived += (sender, e) => threads.Enqueue(Thread.CurrentThread.ManagedThreadId);
                    client.ServerLost += (sender, e) => lost = true;
                    client.Connect("127.0.0.1", simulator.Port);
                    client.Subscribe();
                    context.PumpUntil(() => lost, "server lost, raised on the pumping thread");
                    // Messages an earlier connection left undelivered come first (the library keeps them).
                    Check.That(threads.Count >= TapGestures.Length, "gestures");
                    Check.That(threads.All(id => id == pumpingThread), "every handler ran on the context's thread");
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
                    Check.Until(() => context.Pending > 0, "frames posted and waiting");
                    client.Dispose();
                    int atDispose = frames;
                    context.Drain();
                    Check.Equal(atDispose, frames, "frames handled after Dispose");
                }
            }
        }

        // Run in a child process: returns from Main with frames flowing and no Dispose.
        private static int ExitWhileConnected(int port)
        {
            var seen = new ManualResetEventSlim();
            var client = new TouchClient();
            client.FrameReceived += (sender, e) => seen.Set();
            client.Connect("127.0.0.1", port);
            client.Subscribe();
            return seen.Wait(Check.Deadline) ? 0 : 3;
        }

        private static void ExitWhileReceiving()
        {
            using (var simulator = new Simulator("--scenario drag --rate 1000"))
            {
                var start = new System.Diagnostics.ProcessStartInfo(
                    System.Diagnostics.Process.GetCurrentProcess().MainModule.FileName,
                    "\"" + System.Reflection.Assembly.GetEntryAssembly().Location + "\" --exit-while-connected " + simulator.Port)
                {
                    UseShellExecute = false,
                    RedirectStandardError = true,
                };
                using (var child = System.Diagnostics.Process.Start(start))
                {
                    var errors = new System.Text.StringBuilder();
                    child.ErrorDataReceived += (sender, line) => { if (line.Data != null) lock (errors) errors.AppendLine(line.Data); };
                    child.BeginErrorReadLine();
                    if (!child.WaitForExit((int)Check.Deadline.TotalMilliseconds))
                    {
                        child.Kill();
                        throw new TestFailure("the child did not exit");
                    }
                    child.WaitForExit();  // the end of its stderr
                    Check.Equal(0, child.ExitCode, "exit status; stderr: " + errors);
                    Check.Equal("", errors.ToString(), "stderr");
                }
            }
        }

        private static void ConnectionFailures()
        {
            int port;
            using (var server = new ScriptedServer()) port = server.Port;
            using (var client = new TouchClient())
            {
                var refused = Check.Throws<TouchClientException>(() => client.Connect("127.0.0.1", port), "refused");
                Check.Equal(10061, refused.Status, "status");
                Check.That(refused.Message.Contains("nothing listens"), refused.Message);
                Check.Throws<InvalidOperationException>(() => new TouchClient(), "a second client");
                var bad = Check.Throws<TouchClientException>(() => client.Connect("localhost", 1), "a host name");
                Check.Equal(10049, bad.Status, "host name status");
                var idle = Check.Throws<TouchClientException>(() => client.Subscribe(), "not connected");
                Check.Equal(10057, idle.Status, "not connected status");
                var unsent = client.GetServerResolutionAsync();
                var failure = Check.Throws<TouchClientException>(() => unsent.Wait(Check.Deadline), "query not connected");
                Check.Equal(10057, failure.Status, "query status");
            }
        }

        private static void GestureNames()
        {
            Check.Equal("TG_TOUCH_START", TouchClient.GetGestureName(0), "code 0");
            Check.Equal("TG_MULTI_MOVE_DOWN", TouchClient.GetGestureName(63), "code 63");
            Check.Equal("TG_TOUCH_END", TouchClient.GetGestureName(128), "code 128");
            Check.Equal("TG_NO_ACTION", TouchClient.GetGestureName(65535), "code 65535");
            Check.Equal("", TouchClient.GetGestureName(2), "code 2");
            // The raw call: the text stays the library's; reading it twice reads the same constant.
            var gesture = new TouchGesture { Code = 32 };
            IntPtr name = NativeMethods.GetGestureName(ref gesture);
            Check.Equal("TG_SPLIT_START", Marshal.PtrToStringAnsi(name), "raw name");
            Check.Equal(name, NativeMethods.GetGestureName(ref gesture), "the same constant text");
        }
    }
}
