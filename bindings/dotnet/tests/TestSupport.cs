// Test helpers: waits with a deadline, the simulator as a child process, a
// scripted one-client server, a pumped SynchronizationContext, and Main, which
// also runs the child of the exit test. The library and the simulator come
// from the environment (LD_LIBRARY_PATH, VORNMT_SIM).
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Net;
using System.Net.Sockets;
using System.Text;
using System.Threading;
using Xunit;

[assembly: CollectionBehavior(DisableTestParallelization = true)]  // one TouchClient per process

namespace Vorn.MultiTouch.Tests
{
    internal static class Program
    {
        // Run as a child: returns from Main with frames flowing and no Dispose.
        private static int Main(string[] arguments)
        {
            if (arguments.Length != 2 || arguments[0] != "--exit-while-connected") return 2;
            var seen = new ManualResetEventSlim();
            var client = new TouchClient();
            client.FrameReceived += (sender, e) => seen.Set();
            client.Connect("127.0.0.1", int.Parse(arguments[1]));
            client.Subscribe();
            return seen.Wait(Waits.Deadline) ? 0 : 3;
        }
    }

    internal static class Waits
    {
        public static readonly TimeSpan Deadline = TimeSpan.FromSeconds(10);

        public static void Until(Func<bool> condition, string what)
        {
            var clock = Stopwatch.StartNew();
            while (!condition())
            {
                if (clock.Elapsed > Deadline) Assert.Fail("timed out waiting for " + what);
                Thread.Sleep(5);
            }
        }

        public static CancellationToken Token()
        {
            return new CancellationTokenSource(Deadline).Token;
        }
    }

    /// <summary>vornmt-sim on a free port; collects its log lines.</summary>
    internal sealed class Simulator : IDisposable
    {
        private readonly Process process;
        private readonly List<string> lines = new List<string>();

        public Simulator(string arguments)
        {
            string path = Environment.GetEnvironmentVariable("VORNMT_SIM") ?? "vornmt-sim";
            process = new Process
            {
                StartInfo = new ProcessStartInfo(path, "--port 0 " + arguments)
                {
                    UseShellExecute = false,
                    RedirectStandardOutput = true,
                },
            };
            process.OutputDataReceived += (sender, line) =>
            {
                if (line.Data != null) lock (lines) lines.Add(line.Data);
            };
            process.Start();
            process.BeginOutputReadLine();
            string listening = WaitForLine("listening on 127.0.0.1:");
            string rest = listening.Substring(listening.IndexOf("127.0.0.1:") + "127.0.0.1:".Length);
            Port = int.Parse(rest.Substring(0, rest.IndexOf(',')));
        }

        public int Port { get; }

        public string WaitForLine(string text)
        {
            string found = null;
            Waits.Until(() =>
            {
                lock (lines) found = lines.FirstOrDefault(line => line.Contains(text));
                return found != null;
            }, "simulator line '" + text + "'");
            return found;
        }

        public void Dispose()
        {
            if (!process.HasExited) process.Kill();
            process.WaitForExit((int)Waits.Deadline.TotalMilliseconds);
            process.Dispose();
        }
    }

    /// <summary>Accepts one client on a free port and sends it what a test says.</summary>
    internal sealed class ScriptedServer : IDisposable
    {
        private TcpListener listener = new TcpListener(IPAddress.Loopback, 0);
        private Socket client;

        public ScriptedServer()
        {
            listener.Start();
            Port = ((IPEndPoint)listener.LocalEndpoint).Port;
        }

        public int Port { get; }

        public void Accept()
        {
            var accepting = listener.AcceptSocketAsync();
            Assert.True(accepting.Wait(Waits.Deadline), "the client connects");
            client = accepting.Result;
        }

        public void Send(params string[] messages)
        {
            var bytes = new List<byte>();
            foreach (string message in messages) bytes.AddRange(Encoding.UTF8.GetBytes(message + "\0"));
            client.Send(bytes.ToArray());
        }

        /// <summary>Closes the connection; the listener stays.</summary>
        public void Hang()
        {
            client?.Close();
            client = null;
        }

        /// <summary>The server goes away and comes back on the same port.</summary>
        public void Restart()
        {
            Hang();
            listener.Stop();
            listener = new TcpListener(IPAddress.Loopback, Port);
            listener.Start();
        }

        public void Dispose()
        {
            client?.Close();
            listener.Stop();
        }
    }

    /// <summary>A SynchronizationContext whose posts run on the thread that pumps it, as a UI thread's do.</summary>
    internal sealed class PumpedContext : SynchronizationContext
    {
        private readonly BlockingCollection<Action> work = new BlockingCollection<Action>();

        public override void Post(SendOrPostCallback callback, object state)
        {
            work.Add(() => callback(state));
        }

        public int Pending => work.Count;

        /// <summary>Runs every post waiting now.</summary>
        public void Drain()
        {
            while (work.TryTake(out Action next)) next();
        }

        public void PumpUntil(Func<bool> condition, string what)
        {
            var clock = Stopwatch.StartNew();
            while (!condition())
            {
                if (work.TryTake(out Action next, 5)) next();
                if (clock.Elapsed > Waits.Deadline) Assert.Fail("timed out waiting for " + what);
            }
        }
    }
}
