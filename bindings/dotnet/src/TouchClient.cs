// TouchClient: the connection to a touch server, its events and its requests,
// over the library's C API. The library holds one connection per process, so
// one TouchClient is open at a time. The event model is docs/events.md.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Threading;
using System.Threading.Tasks;
using Vorn.MultiTouch.Native;
using Resolution = System.ValueTuple<int, int>;

namespace Vorn.MultiTouch
{
    /// <summary>
    /// One connection to a touch server. Its events (docs/events.md) come two ways, which may be
    /// used together:
    /// <list type="bullet">
    /// <item>handlers (FrameReceived, GestureReceived, DeviceInfoReceived, ServerLost, Connected,
    /// ErrorReported), raised on the library's threads, or posted to <see cref="EventContext"/>
    /// when one is set. The library calls into managed code only while a handler is attached
    /// (or GetServerResolutionAsync waits). An exception thrown by a handler is reported
    /// through ErrorReported with TouchStatus.CallbackException, and delivery goes on;</item>
    /// <item>the stream, the library's lossless event queue read on the application's threads:
    /// <c>await foreach (var e in client.ReadEventsAsync(token))</c>, or, in a game loop,
    /// <see cref="ReadAvailableEvents"/> and <see cref="TryReadEvent"/>, with which no library
    /// thread ever calls into managed code.</item>
    /// </list>
    /// Dispose ends the connection; once Dispose has returned on an application thread, no
    /// handler runs any more.
    /// </summary>
    public sealed class TouchClient : IDisposable
    {
        // The open client, read by the library's threads without a lock.
        private static volatile TouchClient current;
        private static readonly object Gate = new object();
        private static readonly ConcurrentDictionary<int, string> GestureNames = new ConcurrentDictionary<int, string>();

        private readonly object pendingGate = new object();
        private readonly List<TaskCompletionSource<Resolution>> pending = new List<TaskCompletionSource<Resolution>>();
        private readonly object handlerGate = new object();
        private readonly EventQueue queue;
        private int disposed;  // 0, then 1 for good: the first Dispose does the work
        private volatile bool reconnecting;

        private EventHandler<FrameEvent> frameReceived;
        private EventHandler<GestureEvent> gestureReceived;
        private EventHandler<DeviceInfoEvent> deviceInfoReceived;
        private EventHandler<ServerLostEvent> serverLost;
        private EventHandler<ConnectedEvent> connected;
        private EventHandler<ErrorEvent> errorReported;

        static TouchClient()
        {
            // The library's threads must not call into a runtime that is shutting down.
            AppDomain.CurrentDomain.ProcessExit += (sender, args) =>
            {
                TouchClient client = current;
                if (client != null) client.Dispose();
            };
        }

        /// <summary>Makes the process's TouchClient, raising events on the library's threads.
        /// Throws InvalidOperationException while another one is not disposed (the library
        /// holds one connection per process), and NotSupportedException when the loaded native
        /// library is older than this binding needs (or of another major version).</summary>
        public TouchClient()
            : this(null)
        {
        }

        /// <summary>Makes the process's TouchClient, posting events to <paramref name="eventContext"/>
        /// (null: raising them on the library's threads). Throws as the constructor without
        /// arguments does.</summary>
        public TouchClient(SynchronizationContext eventContext)
        {
            LibraryVersion.Check();
            EventContext = eventContext;
            queue = new EventQueue(this);
            lock (Gate)
            {
                if (current != null)
                    throw new InvalidOperationException(
                        "another TouchClient is open; the library holds one connection per process, so dispose that one first");
                current = this;
            }
        }

        /// <summary>Where handlers run: null (the default) raises them on the library's threads;
        /// a SynchronizationContext gets them posted, in order.</summary>
        public SynchronizationContext EventContext { get; set; }

        /// <summary>A touch point frame; its points are copied into an array the handler may keep.</summary>
        public event EventHandler<FrameEvent> FrameReceived
        {
            add { ChangeHandlers(ref frameReceived, value, true); }
            remove { ChangeHandlers(ref frameReceived, value, false); }
        }

        /// <summary>A recognised gesture.</summary>
        public event EventHandler<GestureEvent> GestureReceived
        {
            add { ChangeHandlers(ref gestureReceived, value, true); }
            remove { ChangeHandlers(ref gestureReceived, value, false); }
        }

        /// <summary>Information on the touch device.</summary>
        public event EventHandler<DeviceInfoEvent> DeviceInfoReceived
        {
            add { ChangeHandlers(ref deviceInfoReceived, value, true); }
            remove { ChangeHandlers(ref deviceInfoReceived, value, false); }
        }

        /// <summary>The server closed or reset the connection.</summary>
        public event EventHandler<ServerLostEvent> ServerLost
        {
            add { ChangeHandlers(ref serverLost, value, true); }
            remove { ChangeHandlers(ref serverLost, value, false); }
        }

        /// <summary>With automatic reconnection on, a connection opened in the background is up.</summary>
        public event EventHandler<ConnectedEvent> Connected
        {
            add { ChangeHandlers(ref connected, value, true); }
            remove { ChangeHandlers(ref connected, value, false); }
        }

        /// <summary>A socket error, an unreadable message, or an exception out of a handler.</summary>
        public event EventHandler<ErrorEvent> ErrorReported
        {
            add { ChangeHandlers(ref errorReported, value, true); }
            remove { ChangeHandlers(ref errorReported, value, false); }
        }

        /// <summary>How many events the library's queue holds (1 to 65536, default 1024); taken
        /// when the queue opens, at the first read.</summary>
        public int EventQueueCapacity
        {
            get { return queue.Capacity; }
            set
            {
                if (value < 1 || value > TouchLimits.MaxQueuedEvents)
                    throw new ArgumentOutOfRangeException("value", value, "the event queue holds 1 to 65536 events");
                queue.Capacity = value;
            }
        }

        /// <summary>Where the connection is: disconnected, connected, or reconnecting while
        /// automatic reconnection tries.</summary>
        public ConnectionState State
        {
            get { return (ConnectionState)NativeMethods.GetConnectionState(); }
        }

        internal bool Reconnecting
        {
            get { return reconnecting; }
        }

        /// <summary>Turns automatic reconnection on: after a lost connection the library connects
        /// again in the background, waiting <paramref name="minDelay"/> at first and doubling up to
        /// <paramref name="maxDelay"/> (1 ms at least, min at most max), and sends the last
        /// subscription, threshold and raw-data resolution again. ServerLost and Connected are
        /// then events of a stream that goes on; Connect succeeds also while no server is there,
        /// and requests made while the library tries are sent once it has connected.
        /// TimeSpan.Zero for both turns it off.</summary>
        public void AutoReconnect(TimeSpan minDelay, TimeSpan maxDelay)
        {
            CheckOpen();
            bool off = minDelay == TimeSpan.Zero && maxDelay == TimeSpan.Zero;
            double min = minDelay.TotalMilliseconds, max = maxDelay.TotalMilliseconds;
            if (!off && (min < 1 || min > max || max > int.MaxValue))
                throw new ArgumentOutOfRangeException("minDelay", minDelay, "1 ms <= minDelay <= maxDelay, or both zero");
            Check(NativeMethods.SetAutoReconnect((int)min, (int)max), "AutoReconnect");
            reconnecting = !off;
        }

        /// <summary>Connects (closing an earlier connection first). Throws TouchClientException,
        /// e.g. Status 10061 when nothing listens there (unless automatic reconnection is on:
        /// then the library keeps trying).</summary>
        public void Connect(string address = "127.0.0.1", int port = 7100)
        {
            CheckOpen();
            if (port < 0 || port > 65535) throw new ArgumentOutOfRangeException("port", port, "a TCP port is 0 to 65535");
            address = address ?? "127.0.0.1";
            Check(NativeMethods.ConnectServer(address, port), "Connect to " + address + ":" + port);
        }

        /// <summary>Ends the connection (and reconnection attempts); Connect may follow.</summary>
        public void Disconnect()
        {
            NativeMethods.DisconnectServer();
        }

        /// <summary>Asks the server for touch data. type and param mean what the server
        /// defines; appKey identifies the application; param is at most 127 bytes of UTF-8.</summary>
        public unsafe void Subscribe(int type = 1, Guid appKey = default(Guid), string param = "")
        {
            CheckOpen();
            TouchClientRequest request = TouchClientRequest.Create(type, appKey, param);
            Check(NativeMethods.SendRequest(&request), "Subscribe");
        }

        /// <summary>Sends the movement threshold (in the server's unit).</summary>
        public void SetThreshold(int moveThreshold)
        {
            CheckOpen();
            Check(NativeMethods.SendThreshold(moveThreshold), "SetThreshold");
        }

        /// <summary>Tells the server the resolution of the raw data it is to report.</summary>
        public void SetRawDataResolution(int x, int y)
        {
            CheckOpen();
            Check(NativeMethods.SetRawDataResolution(x, y), "SetRawDataResolution");
        }

        /// <summary>Asks the server for its resolution without waiting: the answer comes as a
        /// <see cref="ResolutionEvent"/> in the stream. Registers no callback.</summary>
        public void RequestServerResolution()
        {
            CheckOpen();
            Check(NativeCallbacks.QueryResolution(false), "RequestServerResolution");
        }

        /// <summary>Asks the server for its resolution. The task fails with TouchClientException
        /// when the query cannot be sent or the server goes away first, and is cancelled by the
        /// token or by Dispose. Continuations never run on the library's threads. The answer
        /// also comes as a <see cref="ResolutionEvent"/> in the stream.</summary>
        public Task<(int X, int Y)> GetServerResolutionAsync(CancellationToken cancellationToken = default(CancellationToken))
        {
            CheckOpen();
            var answer = new TaskCompletionSource<Resolution>(TaskCreationOptions.RunContinuationsAsynchronously);
            lock (pendingGate) pending.Add(answer);
            UpdateCallbacks();  // the server break fails the wait
            int status = NativeCallbacks.QueryResolution(true);
            if (status != 0)
            {
                FinishPending(default(Resolution), new TouchClientException(status, "GetServerResolution"));
                return answer.Task;
            }
            if (cancellationToken.CanBeCanceled)
            {
                CancellationTokenRegistration registration = cancellationToken.Register(() =>
                {
                    lock (pendingGate) pending.Remove(answer);
                    answer.TrySetCanceled();
                });
                answer.Task.ContinueWith(t => registration.Dispose(), TaskScheduler.Default);
            }
            return answer.Task;
        }

        /// <summary>The stream's events as an async stream: every kind, resolution answers
        /// included, in the library's order; nothing is dropped (a reader that falls behind
        /// slows the library down, handlers included). The reader begins at its first
        /// MoveNextAsync (the start of <c>await foreach</c>), which opens the library's queue
        /// before it returns, and takes the events from then on: begin before Connect to miss
        /// none of a connection. Several enumerations at once share the events, each going to
        /// one of them. A ServerLostEvent without automatic reconnection ends every enumeration
        /// under way (the one that took it gets it last); with reconnection the stream goes on.
        /// Dispose ends it; the token ends this enumeration with OperationCanceledException.
        /// While nobody enumerates, the queue is closed and never holds up the library.</summary>
        public IAsyncEnumerable<TouchEvent> ReadEventsAsync(CancellationToken cancellationToken = default(CancellationToken))
        {
            CheckOpen();
            return new EventEnumerable(queue, cancellationToken);
        }

        /// <summary>Takes the next event of the stream if one is there; never blocks. Made for a
        /// game loop's Update on the main thread: with it (and no handler) no library thread ever
        /// calls into managed code. The first call opens the library's queue, and it stays open
        /// until Dispose: call it (or ReadAvailableEvents) in every frame, since a queue nobody
        /// empties holds up the library. Unlike ReadEventsAsync it never ends: a
        /// ServerLostEvent is an event like the others.</summary>
        public bool TryReadEvent(out TouchEvent touchEvent)
        {
            CheckOpen();
            return queue.TryRead(out touchEvent);
        }

        /// <summary>Appends the events there now to <paramref name="into"/> (at most
        /// <see cref="EventQueueCapacity"/> per call, so that one call stays bounded) and returns
        /// how many; never blocks. As <see cref="TryReadEvent"/>: the first call opens the queue
        /// until Dispose, so call it in every frame.</summary>
        public int ReadAvailableEvents(List<TouchEvent> into)
        {
            if (into == null) throw new ArgumentNullException("into");
            CheckOpen();
            int count = 0, limit = queue.Capacity;
            while (count < limit && queue.TryRead(out TouchEvent item))
            {
                into.Add(item);
                count++;
            }
            return count;
        }

        /// <summary>The name of a gesture code ("TG_DOWN", "TG_NO_ACTION"); empty for codes without one.</summary>
        public static string GetGestureName(int code)
        {
            if (code < 0 || code > 0xFFFF) throw new ArgumentOutOfRangeException("code", code, "a gesture code is 0 to 65535");
            LibraryVersion.Check();
            return GestureNames.GetOrAdd(code, key => Marshal.PtrToStringAnsi(NativeMethods.GetGestureNameOfCode((ushort)key)) ?? "");
        }

        /// <summary>Ends the connection, the stream for every reader, and releases the process's
        /// connection for another TouchClient. Allowed inside a handler (it then does not wait
        /// for that handler) and on several threads at once (the first call does the work).
        /// Every call on an application thread waits for a running handler, also when a
        /// handler disposed the client first.</summary>
        public void Dispose()
        {
            bool first = Interlocked.Exchange(ref disposed, 1) == 0;
            // Once a newer client holds the slot, the connection is that client's.
            TouchClient holder = current;
            bool ours = holder == null || holder == this;
            if (ours && first && reconnecting) NativeMethods.SetAutoReconnect(0, 0);
            // Waits for a running callback when called on an application thread.
            if (ours) NativeMethods.DisconnectServer();
            if (!first) return;
            if (ours) NativeCallbacks.Register(false, false, false, false, false, false);
            lock (Gate)
            {
                if (current == this) current = null;
            }
            FinishPending(default(Resolution), new ObjectDisposedException("TouchClient"));
            queue.Close();
        }

        private bool IsDisposed
        {
            get { return Volatile.Read(ref disposed) != 0; }
        }

        private void CheckOpen()
        {
            if (IsDisposed) throw new ObjectDisposedException("TouchClient");
        }

        private static void Check(int status, string doing)
        {
            // With automatic reconnection on, the library keeps the setting or the attempt.
            if (status != 0 && status != TouchStatus.NotYetConnected) throw new TouchClientException(status, doing);
        }

        private void FinishPending(Resolution value, Exception error)
        {
            TaskCompletionSource<Resolution>[] answers;
            lock (pendingGate)
            {
                answers = pending.ToArray();
                pending.Clear();
            }
            foreach (var answer in answers)
            {
                if (error is ObjectDisposedException) answer.TrySetCanceled();
                else if (error != null) answer.TrySetException(error);
                else answer.TrySetResult(value);
            }
            if (answers.Length > 0 && !IsDisposed) UpdateCallbacks();
        }

        /// <summary>Attaches or detaches a handler of one event, then registers the callbacks
        /// the handlers now need.</summary>
        private void ChangeHandlers<T>(ref EventHandler<T> handlers, EventHandler<T> value, bool attach) where T : TouchEvent
        {
            lock (handlerGate) handlers = attach ? handlers + value : handlers - value;
            UpdateCallbacks();
        }

        /// <summary>Registers with the library exactly the callbacks a handler (or a waiting
        /// resolution query) needs. Outside the gate: a setter waits for a running callback,
        /// which may itself attach a handler.</summary>
        private void UpdateCallbacks()
        {
            if (IsDisposed || current != this) return;
            bool waiting;
            lock (pendingGate) waiting = pending.Count > 0;
            NativeCallbacks.Register(frameReceived != null, gestureReceived != null, deviceInfoReceived != null,
                                     serverLost != null || waiting, connected != null, errorReported != null);
        }

        // ---- raising events (library threads) ----------------------------

        private void Raise<T>(EventHandler<T> handler, T args) where T : TouchEvent
        {
            if (handler == null) return;
            SynchronizationContext context = EventContext;
            if (context == null) Invoke(handler, args);
            // A posted event still waiting when Dispose runs is dropped, so no
            // handler runs once Dispose has returned, on the context's thread too.
            else context.Post(state =>
            {
                if (!IsDisposed) Invoke(handler, args);
            }, null);
        }

        private void Invoke<T>(EventHandler<T> handler, T args) where T : TouchEvent
        {
            try
            {
                handler(this, args);
            }
            catch (Exception exception)
            {
                EventHandler<ErrorEvent> report = errorReported;
                if (report == null) return;
                try
                {
                    report(this, new ErrorEvent(TouchStatus.CallbackException, exception));
                }
                catch (Exception)
                {
                    // An ErrorReported handler that throws has nowhere left to report to.
                }
            }
        }

        // Called by NativeCallbacks on the library's threads; none lets an exception out.
        internal static void OnFrame(int frameValue0, int frameValue1, int pointCount, IntPtr points)
        {
            TouchClient client = current;
            EventHandler<FrameEvent> handler = client?.frameReceived;
            if (handler != null) client.Raise(handler, FrameEvent.FromRecord(frameValue0, frameValue1, pointCount, points));
        }

        internal static unsafe void OnGesture(IntPtr gesture)
        {
            TouchClient client = current;
            EventHandler<GestureEvent> handler = client?.gestureReceived;
            if (handler != null && gesture != IntPtr.Zero) client.Raise(handler, GestureEvent.FromRecord((TouchGesture*)gesture));
        }

        internal static unsafe void OnDeviceInfo(IntPtr info)
        {
            TouchClient client = current;
            EventHandler<DeviceInfoEvent> handler = client?.deviceInfoReceived;
            if (handler != null && info != IntPtr.Zero) client.Raise(handler, DeviceInfoEvent.FromRecord((TouchDeviceInfo*)info));
        }

        internal static void OnResolution(int x, int y)
        {
            current?.FinishPending(new Resolution(x, y), null);
        }

        internal static void OnServerBreak()
        {
            TouchClient client = current;
            if (client == null) return;
            client.FinishPending(default(Resolution), new TouchClientException(10054, "the server went away"));
            client.Raise(client.serverLost, ServerLostEvent.Instance);
        }

        internal static void OnConnected()
        {
            TouchClient client = current;
            if (client != null) client.Raise(client.connected, ConnectedEvent.Instance);
        }

        internal static void OnError(int errorCode)
        {
            TouchClient client = current;
            EventHandler<ErrorEvent> handler = client?.errorReported;
            if (handler != null) client.Raise(handler, new ErrorEvent(errorCode, null));
        }

        /// <summary>ReadEventsAsync's enumerable: each enumeration is a reader of the one stream.</summary>
        private sealed class EventEnumerable : IAsyncEnumerable<TouchEvent>
        {
            private readonly EventQueue queue;
            private readonly CancellationToken token;

            internal EventEnumerable(EventQueue queue, CancellationToken token)
            {
                this.queue = queue;
                this.token = token;
            }

            public IAsyncEnumerator<TouchEvent> GetAsyncEnumerator(CancellationToken cancellationToken = default(CancellationToken))
            {
                CancellationToken combined = token;
                if (cancellationToken.CanBeCanceled)
                    combined = token.CanBeCanceled ? CancellationTokenSource.CreateLinkedTokenSource(token, cancellationToken).Token : cancellationToken;
                return queue.ReadAsync(combined).GetAsyncEnumerator(default(CancellationToken));
            }
        }
    }
}
