// TouchClient: the connection to a touch server, its events and its requests,
// over the library's C API. The library holds one connection per process and
// calls back on two threads of its own, so one TouchClient is open at a time
// and its events are raised on those threads unless an EventContext is given,
// or read from async streams (ReadEventsAsync).
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
    /// One connection to a touch server. Events are raised on the library's threads
    /// (FrameReceived, GestureReceived, DeviceInfoReceived and message errors on its dispatch
    /// thread; ServerLost and socket errors on its receive thread), or posted to
    /// <see cref="EventContext"/> when one is set (a WPF or WinForms UI thread). An exception
    /// thrown by a handler never reaches the library: it is reported through ErrorReported
    /// with TouchStatus.CallbackException, and delivery goes on. Dispose ends the connection;
    /// once Dispose has returned on an application thread, no handler runs any more.
    /// Instead of handlers, code can read the events as an async stream:
    /// <c>await foreach (var e in client.ReadEventsAsync(cancellationToken))</c>.
    /// </summary>
    public sealed class TouchClient : IDisposable
    {
        /// <summary>What ReadEventsAsync holds unread by default: 1024 events, 10 s of frames at 100 frames/s.</summary>
        public const int DefaultStreamCapacity = 1024;

        // The open client, read by the library's threads without a lock.
        private static volatile TouchClient current;
        private static readonly object Gate = new object();
        private static bool registered;  // guarded by Gate
        private static readonly ConcurrentDictionary<int, string> GestureNames = new ConcurrentDictionary<int, string>();

        // Registered once and never replaced; static so they are never collected
        // while the library may call them.
        private static readonly PointFrameCallback FrameCallback = OnFrame;
        private static readonly GestureCallback GestureCallback = OnGesture;
        private static readonly DeviceInfoCallback DeviceInfoCallback = OnDeviceInfo;
        private static readonly ResolutionCallback ResolutionCallback = OnResolution;
        private static readonly ServerBreakCallback ServerBreakCallback = OnServerBreak;
        private static readonly ErrorCallback ErrorCallback = OnError;

        private readonly object pendingGate = new object();
        private readonly List<TaskCompletionSource<Resolution>> pending = new List<TaskCompletionSource<Resolution>>();
        private int disposed;  // 0, then 1 for good: the first Dispose does the work

        // The open event streams: replaced whole under streamGate, read without
        // a lock by the library's threads.
        private readonly object streamGate = new object();
        private volatile EventStream[] streams = new EventStream[0];
        private long droppedEvents;

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
        /// holds one connection per process).</summary>
        public TouchClient()
            : this(null)
        {
        }

        /// <summary>Makes the process's TouchClient, posting events to <paramref name="eventContext"/>
        /// (null: raising them on the library's threads). Throws as the constructor without
        /// arguments does.</summary>
        public TouchClient(SynchronizationContext eventContext)
        {
            EventContext = eventContext;
            lock (Gate)
            {
                if (current != null)
                    throw new InvalidOperationException(
                        "another TouchClient is open; the library holds one connection per process, so dispose that one first");
                if (!registered)
                {
                    NativeMethods.SetOnReceivePointFrame(FrameCallback, IntPtr.Zero);
                    NativeMethods.SetOnReceiveGesture(GestureCallback, IntPtr.Zero);
                    NativeMethods.SetOnGetDeviceInfo(DeviceInfoCallback, IntPtr.Zero);
                    NativeMethods.SetOnServerBreak(ServerBreakCallback, IntPtr.Zero);
                    NativeMethods.SetOnReceiveError(ErrorCallback, IntPtr.Zero);
                    registered = true;
                }
                current = this;
            }
        }

        /// <summary>Where events are raised: null (the default) raises them on the library's
        /// threads; a SynchronizationContext gets them posted, in order.</summary>
        public SynchronizationContext EventContext { get; set; }

        /// <summary>A touch point frame; its points are copied into an array the handler may keep.</summary>
        public event EventHandler<FrameEventArgs> FrameReceived;
        public event EventHandler<GestureEventArgs> GestureReceived;
        public event EventHandler<DeviceInfoEventArgs> DeviceInfoReceived;
        /// <summary>The server closed or reset the connection; the argument is a ServerLostEventArgs.</summary>
        public event EventHandler ServerLost;
        /// <summary>A socket error, an unreadable message, or an exception out of a handler.</summary>
        public event EventHandler<TouchErrorEventArgs> ErrorReported;

        /// <summary>Events that a stream of ReadEventsAsync dropped because its reader fell behind.</summary>
        public long DroppedEventCount
        {
            get { return Interlocked.Read(ref droppedEvents); }
        }

        /// <summary>Connects (closing an earlier connection first). Throws TouchClientException,
        /// e.g. Status 10061 when nothing listens there.</summary>
        public void Connect(string address = "127.0.0.1", int port = 7100)
        {
            CheckOpen();
            if (port < 0 || port > 65535) throw new ArgumentOutOfRangeException("port", port, "a TCP port is 0 to 65535");
            address = address ?? "127.0.0.1";
            Check(NativeMethods.ConnectServer(address, port), "Connect to " + address + ":" + port);
        }

        /// <summary>Ends the connection; Connect may follow.</summary>
        public void Disconnect()
        {
            NativeMethods.DisconnectServer();
        }

        /// <summary>Asks the server for touch data. type and param mean what the server
        /// defines; appKey identifies the application; param is at most 127 bytes of UTF-8.</summary>
        public void Subscribe(int type = 1, Guid appKey = default(Guid), string param = "")
        {
            CheckOpen();
            TouchClientRequest request = TouchClientRequest.Create(type, appKey, param);
            Check(NativeMethods.SendRequest(ref request), "Subscribe");
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

        /// <summary>Asks the server for its resolution. The task fails with TouchClientException
        /// when the query cannot be sent or the server goes away first, and is cancelled by the
        /// token or by Dispose. Continuations never run on the library's threads.</summary>
        public Task<(int X, int Y)> GetServerResolutionAsync(CancellationToken cancellationToken = default(CancellationToken))
        {
            CheckOpen();
            var answer = new TaskCompletionSource<Resolution>(TaskCreationOptions.RunContinuationsAsynchronously);
            lock (pendingGate) pending.Add(answer);
            int status = NativeMethods.GetServerResolution(ResolutionCallback, IntPtr.Zero);
            if (status != 0)
            {
                lock (pendingGate) pending.Remove(answer);
                answer.TrySetException(new TouchClientException(status, "GetServerResolution"));
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

        /// <summary>The events from this call on as an async stream: FrameEventArgs,
        /// GestureEventArgs, DeviceInfoEventArgs and TouchErrorEventArgs as they arrive, then
        /// ServerLostEventArgs, after which the stream ends (ask for a new one after the next
        /// Connect). It ends without ServerLost at Dispose; the token ends it with
        /// OperationCanceledException. It holds <see cref="DefaultStreamCapacity"/> events
        /// unread; the overload with a capacity says what happens past that.</summary>
        public IAsyncEnumerable<EventArgs> ReadEventsAsync(CancellationToken cancellationToken = default(CancellationToken))
        {
            return ReadEventsAsync(DefaultStreamCapacity, cancellationToken);
        }

        /// <summary>As ReadEventsAsync(CancellationToken), holding up to
        /// <paramref name="capacity"/> events unread. While that many wait, each newly arrived
        /// event is dropped and counted in DroppedEventCount: a slow reader never holds up the
        /// library nor grows memory. ServerLost is never dropped: it always comes, after every
        /// event the stream kept. Each stream gets every event itself; readers of one stream share
        /// its events, and the stream ends once its last reader has left. Handlers and streams
        /// can be used together.</summary>
        public IAsyncEnumerable<EventArgs> ReadEventsAsync(int capacity, CancellationToken cancellationToken = default(CancellationToken))
        {
            CheckOpen();
            if (capacity < 1) throw new ArgumentOutOfRangeException("capacity", capacity, "a stream holds at least one event");
            var stream = new EventStream(capacity);
            lock (streamGate)
            {
                var grown = new EventStream[streams.Length + 1];
                streams.CopyTo(grown, 0);
                grown[streams.Length] = stream;
                streams = grown;
            }
            // A Dispose that ran meanwhile may have missed this stream.
            if (IsDisposed) EndStreams(false);
            return stream.ReadAsync(this, cancellationToken);
        }

        /// <summary>The name of a gesture code ("TG_DOWN", "TG_NO_ACTION"); empty for codes without one.</summary>
        public static string GetGestureName(int code)
        {
            if (code < 0 || code > 0xFFFF) throw new ArgumentOutOfRangeException("code", code, "a gesture code is 0 to 65535");
            return GestureNames.GetOrAdd(code, key =>
            {
                var gesture = new TouchGesture { Code = (ushort)key };
                return Marshal.PtrToStringAnsi(NativeMethods.GetGestureName(ref gesture)) ?? "";
            });
        }

        /// <summary>Ends the connection and releases the process's connection for another
        /// TouchClient; ends the event streams. Allowed inside a handler (it then does not wait
        /// for that handler) and on several threads at once (the first call does the work).
        /// Every call on an application thread waits for a running handler, also when a
        /// handler disposed the client first.</summary>
        public void Dispose()
        {
            bool first = Interlocked.Exchange(ref disposed, 1) == 0;
            // Once a newer client holds the slot, the connection is that client's.
            TouchClient holder = current;
            // Waits for a running callback when called on an application thread.
            if (holder == null || holder == this) NativeMethods.DisconnectServer();
            if (!first) return;
            lock (Gate)
            {
                if (current == this) current = null;
            }
            FinishPending(default(Resolution), new ObjectDisposedException("TouchClient"));
            EndStreams(false);
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
            if (status != 0) throw new TouchClientException(status, doing);
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
        }

        // ---- event streams ----------------------------------------------

        /// <summary>A stream's reader is done with it.</summary>
        internal void Remove(EventStream stream)
        {
            lock (streamGate)
            {
                int index = Array.IndexOf(streams, stream);
                if (index < 0) return;
                var shrunk = new EventStream[streams.Length - 1];
                Array.Copy(streams, 0, shrunk, 0, index);
                Array.Copy(streams, index + 1, shrunk, index, shrunk.Length - index);
                streams = shrunk;
            }
        }

        private void EndStreams(bool serverLost)
        {
            EventStream[] ended;
            lock (streamGate)
            {
                ended = streams;
                streams = new EventStream[0];
            }
            foreach (EventStream stream in ended) stream.End(serverLost);
        }

        /// <summary>Whether an event needs its arguments made: a handler or a stream takes it.</summary>
        private bool Wants(Delegate handler)
        {
            return handler != null || streams.Length > 0;
        }

        // ---- raising events ---------------------------------------------

        /// <summary>To every stream, then to the handlers.</summary>
        private void Raise<T>(EventHandler<T> handler, T args) where T : EventArgs
        {
            foreach (EventStream stream in streams)
            {
                if (!stream.Offer(args)) Interlocked.Increment(ref droppedEvents);
            }
            RaiseToHandlers(handler, args);
        }

        private void RaiseToHandlers<T>(EventHandler<T> handler, T args) where T : EventArgs
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

        private void Invoke<T>(EventHandler<T> handler, T args) where T : EventArgs
        {
            try
            {
                handler(this, args);
            }
            catch (Exception exception)
            {
                ReportHandlerException(exception);
            }
        }

        private void ReportHandlerException(Exception exception)
        {
            EventHandler<TouchErrorEventArgs> handler = ErrorReported;
            if (handler == null) return;
            try
            {
                handler(this, new TouchErrorEventArgs(TouchStatus.CallbackException, exception));
            }
            catch (Exception)
            {
                // An ErrorReported handler that throws has nowhere left to report to.
            }
        }

        // ---- callbacks of the library -----------------------------------
        // Each runs on a library thread, forwards to the open client and lets
        // no exception out: one leaving a callback would end the process. The
        // records are blittable, read in place and copied in one block.

        [MonoPInvokeCallback(typeof(PointFrameCallback))]
        private static unsafe void OnFrame(int frameValue0, int frameValue1, int pointCount, IntPtr points, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client == null || !client.Wants(client.FrameReceived)) return;
                int count = Math.Max(0, Math.Min(pointCount, TouchLimits.MaxFramePoints));
                var copy = new TouchPoint[count];
                if (count > 0 && points != IntPtr.Zero)
                {
                    long bytes = (long)count * sizeof(TouchPoint);
                    fixed (TouchPoint* target = copy) Buffer.MemoryCopy((void*)points, target, bytes, bytes);
                }
                client.Raise(client.FrameReceived, new FrameEventArgs(frameValue0, frameValue1, copy));
            }
            catch (Exception)
            {
            }
        }

        [MonoPInvokeCallback(typeof(GestureCallback))]
        private static unsafe void OnGesture(IntPtr gesture, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client == null || !client.Wants(client.GestureReceived) || gesture == IntPtr.Zero) return;
                TouchGesture* record = (TouchGesture*)gesture;
                client.Raise(client.GestureReceived,
                    new GestureEventArgs(record->Code, GetGestureName(record->Code), record->GetParams()));
            }
            catch (Exception)
            {
            }
        }

        [MonoPInvokeCallback(typeof(DeviceInfoCallback))]
        private static unsafe void OnDeviceInfo(IntPtr info, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client == null || !client.Wants(client.DeviceInfoReceived) || info == IntPtr.Zero) return;
                TouchDeviceInfo* record = (TouchDeviceInfo*)info;
                client.Raise(client.DeviceInfoReceived,
                    new DeviceInfoEventArgs(record->InfoValue0, record->InfoValue1, record->GetText()));
            }
            catch (Exception)
            {
            }
        }

        [MonoPInvokeCallback(typeof(ResolutionCallback))]
        private static void OnResolution(int x, int y, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client != null) client.FinishPending(new Resolution(x, y), null);
            }
            catch (Exception)
            {
            }
        }

        [MonoPInvokeCallback(typeof(ServerBreakCallback))]
        private static void OnServerBreak(IntPtr reserved, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client == null) return;
                client.FinishPending(default(Resolution), new TouchClientException(10054, "the server went away"));
                // Every message before the break has been delivered: the streams end with it.
                client.EndStreams(true);
                EventHandler handler = client.ServerLost;
                if (handler == null) return;
                client.RaiseToHandlers<EventArgs>((sender, args) => handler(sender, args), ServerLostEventArgs.Instance);
            }
            catch (Exception)
            {
            }
        }

        [MonoPInvokeCallback(typeof(ErrorCallback))]
        private static void OnError(int errorCode, IntPtr userData)
        {
            try
            {
                TouchClient client = current;
                if (client != null && client.Wants(client.ErrorReported))
                    client.Raise(client.ErrorReported, new TouchErrorEventArgs(errorCode, null));
            }
            catch (Exception)
            {
            }
        }
    }
}
