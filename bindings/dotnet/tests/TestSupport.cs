// Test helpers: assertions, waits with a deadline, the simulator as a child
// process, and a scripted one-client server. The library and the simulator
// come from the environment (LD_LIBRARY_PATH or VORNMT_LIBRARY_DIR, VORNMT_SIM).
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Net;
using System.Net.Sockets;
using System.Text;
using System.Threading;

namespace Vorn.MultiTouch.Tests
{
    internal sealed class TestFailure : Exception
    {
        public TestFailure(string message) : base(message) { }
    }

    internal static class Check
    {
        public static readonly TimeSpan Deadline = TimeSpan.FromSeconds(10);

        public static void That(bool condition, string what)
        {
            if (!condition) throw new TestFailure(what);
        }

        public static void Equal<T>(T expected, T actual, string what)
        {
            if (!EqualityComparer<T>.Default.Equals(expected, actual))
                throw new TestFailure(string.Format("{0}: expected {1}, got {2}", what, expected, actual));
        }

        public static void Until(Func<bool> condition, string what)
        {
            var clock = Stopwatch.StartNew();
            while (!condition())
            {
                if (clock.Elapsed > Deadline) throw new TestFailure("timed out waiting for " + what);
                Thread.Sleep(5);
            }
        }

        public static TException Throws<TException>(Action action, string what) where TException : Exception
        {
            try
            {
                action();
            }
            catch (TException expected)
            {
                return expected;
            }
            catch (AggregateException aggregate) when (aggregate.InnerException is TException)
            {
                return (TException)aggregate.InnerException;
            }
            throw new TestFailure(what + ": no " + typeof(TException).Name);
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

        public int Port { get; private set; }

        public string WaitForLine(string text)
        {
            string found = null;
            Check.Until(() =>
            {
                lock (lines) found = lines.FirstOrDefault(line => line.Contains(text));
                return found != null;
            }, "simulator line '" + text + "'");
            return found;
        }

        public void Dispose()
        {
            if (!process.HasExited) process.Kill();
            process.WaitForExit((int)Check.Deadline.TotalMilliseconds);
            process.Dispose();
        }
    }

    /// <summary>Accepts one client on a free port and sends it what a test says.</summary>
    internal sealed class ScriptedServer : IDisposable
    {
        private readonly TcpListener listener = new TcpListener(IPAddress.Loopback, 0);
        private Socket client;

        public ScriptedServer()
        {
            listener.Start();
            Port = ((IPEndPoint)listener.LocalEndpoint).Port;
        }

        public int Port { get; private set; }

        public void Accept()
        {
            var accepting = listener.AcceptSocketAsync();
            Check.That(accepting.Wait(Check.Deadline), "the client connects");
            client = accepting.Result;
        }

        public void Send(params string[] messages)
        {
            foreach (string message in messages)
            {
                client.Send(Encoding.UTF8.GetBytes(message + "\0"));
            }
        }

        public void Dispose()
        {
            if (client != null) client.Close();
            listener.Stop();
        }
    }

    /// <summary>A SynchronizationContext whose posts run on the thread that pumps it, as a UI thread's do.</summary>
    internal sealed class PumpedContext : SynchronizationContext
    {
        private readonly System.Collections.Concurrent.BlockingCollection<Action> work =
            new System.Collections.Concurrent.BlockingCollection<Action>();

        public override void Post(SendOrPostCallback callback, object state)
        {
            work.Add(() => callback(state));
        }

        public int Pending
        {
            get { return work.Count; }
        }

        /// <summary>Runs every post waiting now.</summary>
        public void Drain()
        {
            Action next;
            while (work.TryTake(out next)) next();
        }

        public void PumpUntil(Func<bool> condition, string what)
        {
            var clock = Stopwatch.StartNew();
            while (!condition())
            {
                Action next;
                if (work.TryTake(out next, 5)) next();
                if (clock.Elapsed > Check.Deadline) throw new TestFailure("timed out waiting for " + what);
            }
        }
    }
}
