// The library's event queue as a TouchClient's one stream (docs/events.md):
// open exactly while someone reads it, so that no unread queue holds up the
// library's threads.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Runtime.CompilerServices;
using System.Threading;
using System.Threading.Channels;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch
{
    /// <summary>
    /// Readers of the queue: ReadEventsAsync enumerations, served by a pump thread of the
    /// binding's that takes events with WaitEvent and hands them over through a small bounded
    /// channel (the pump waits while it is full, and the library behind it: nothing is lost);
    /// and the poller (TryReadEvent, ReadAvailableEvents), which takes events with WaitEvent(0)
    /// on the caller's thread and, once begun, reads until Dispose. The first reader opens the
    /// library's queue, the last to leave closes it. A pump's run (a session) ends at a
    /// ServerLost without reconnection: it completes its channel, which ends every enumeration
    /// of that session; a later enumeration starts a new session on the queue as it stands, so
    /// nothing queued behind the end is lost. Application threads and the pump; gate guards the
    /// fields.
    /// </summary>
    internal sealed class EventQueue
    {
        private const int ChannelCapacity = 64;

        private readonly object gate = new object();
        private readonly TouchClient owner;
        private int readers;        // sessions' enumerations, plus one for the poller
        private bool open;          // the library's queue
        private bool polling;
        private bool closed;
        private Session current;    // the pump's run that new enumerations join; null or ended: none
        private Thread lastPump;
        // Events a stopped pump took after its enumerations left, for the poller.
        private readonly ConcurrentQueue<TouchEvent> spare = new ConcurrentQueue<TouchEvent>();

        internal EventQueue(TouchClient owner)
        {
            this.owner = owner;
        }

        internal int Capacity { get; set; } = TouchLimits.DefaultQueuedEvents;

        private sealed class Session
        {
            internal readonly Channel<TouchEvent> Channel = System.Threading.Channels.Channel.CreateBounded<TouchEvent>(
                new BoundedChannelOptions(ChannelCapacity)
                {
                    FullMode = BoundedChannelFullMode.Wait,
                    SingleWriter = false,                  // Close and Leave complete it too
                    SingleReader = false,                  // its enumerations share it
                    AllowSynchronousContinuations = false, // no reader ever runs on the pump
                });
            internal int Enumerations;  // guarded by the queue's gate
            internal volatile bool Stopped;
        }

        private void OpenLocked()
        {
            if (closed) throw new ObjectDisposedException("TouchClient");
            if (!open)
            {
                int status = NativeMethods.OpenEventQueue(Capacity);
                if (status != 0) throw new TouchClientException(status, "OpenEventQueue");
                open = true;
            }
            readers++;
        }

        private void LeaveLocked()
        {
            if (closed) return;
            if (--readers == 0 && open)
            {
                NativeMethods.CloseEventQueue();  // returns a pump waiting in WaitEvent
                open = false;
            }
        }

        // ---- ReadEventsAsync ----------------------------------------------

        internal async IAsyncEnumerable<TouchEvent> ReadAsync([EnumeratorCancellation] CancellationToken cancellationToken)
        {
            // Runs in the first MoveNextAsync, before its first wait: the queue is open when it returns.
            Session session = Join();
            try
            {
                ChannelReader<TouchEvent> reader = session.Channel.Reader;
                while (await reader.WaitToReadAsync(cancellationToken).ConfigureAwait(false))
                {
                    while (reader.TryRead(out TouchEvent item)) yield return item;
                }
            }
            finally
            {
                Leave(session);
            }
        }

        private Session Join()
        {
            lock (gate)
            {
                OpenLocked();
                if (current == null || current.Stopped)
                {
                    // Without the poller the queue was closed when the last pump stopped, or that pump
                    // ended at a ServerLost: it is out of WaitEvent for good at once, and waiting for
                    // it keeps the next session's events from it. (With the poller, what a stopped
                    // pump still takes goes to the poller.) It never takes the gate.
                    if (!polling) lastPump?.Join();
                    var session = new Session();
                    var pump = new Thread(() => Pump(session)) { IsBackground = true, Name = "VornMT event pump" };
                    current = session;
                    lastPump = pump;
                    pump.Start();
                }
                current.Enumerations++;
                return current;
            }
        }

        private void Leave(Session session)
        {
            lock (gate)
            {
                if (--session.Enumerations == 0)
                {
                    session.Stopped = true;
                    session.Channel.Writer.TryComplete();
                }
                LeaveLocked();
            }
        }

        private unsafe void Pump(Session session)
        {
            NativeTouchEvent record;
            ChannelWriter<TouchEvent> writer = session.Channel.Writer;
            while (!session.Stopped)
            {
                if (NativeMethods.WaitEvent(&record, -1) != 0) break;  // the queue was closed
                TouchEvent item = TouchEvent.FromRecord(&record);
                if (item == null) continue;
                bool final = item is ServerLostEvent && !owner.Reconnecting;
                if (!Write(writer, item))
                {
                    spare.Enqueue(item);  // its enumerations left meanwhile; the poller may read on
                    break;
                }
                if (final) break;
            }
            session.Stopped = true;
            writer.TryComplete();
        }

        private static bool Write(ChannelWriter<TouchEvent> writer, TouchEvent item)
        {
            while (!writer.TryWrite(item))
            {
                if (!writer.WaitToWriteAsync().AsTask().GetAwaiter().GetResult()) return false;
            }
            return true;
        }

        // ---- TryReadEvent, ReadAvailableEvents ----------------------------

        internal unsafe bool TryRead(out TouchEvent item)
        {
            if (!Volatile.Read(ref polling))
            {
                lock (gate)
                {
                    if (!polling)
                    {
                        OpenLocked();
                        polling = true;
                    }
                }
            }
            if (spare.TryDequeue(out item)) return true;
            NativeTouchEvent record;
            while (NativeMethods.WaitEvent(&record, 0) == 0)
            {
                item = TouchEvent.FromRecord(&record);
                if (item != null) return true;
            }
            item = null;
            return false;
        }

        // ---- the end ------------------------------------------------------

        /// <summary>Dispose: closes the queue, which ends the pump and with it every enumeration.</summary>
        internal void Close()
        {
            Thread pump;
            lock (gate)
            {
                closed = true;
                if (open) NativeMethods.CloseEventQueue();
                open = false;
                readers = 0;
                if (current != null)
                {
                    current.Stopped = true;
                    current.Channel.Writer.TryComplete();  // frees a pump waiting for room
                }
                pump = lastPump;
            }
            // Not from the pump itself (a handler never runs there).
            if (pump != null && pump != Thread.CurrentThread) pump.Join();
        }
    }
}
