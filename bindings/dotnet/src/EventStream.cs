// The queue of events of one TouchClient.ReadEventsAsync stream: a bounded
// channel that the library's threads write to without ever waiting, read by
// its async enumerations.
using System;
using System.Collections.Generic;
using System.Runtime.CompilerServices;
using System.Threading;
using System.Threading.Channels;

namespace Vorn.MultiTouch
{
    internal sealed class EventStream
    {
        private readonly Channel<EventArgs> channel;
        // Set (before the channel completes) when the server went away. The
        // ServerLost item lives here, not in the channel, so a full channel
        // can never refuse it.
        private volatile bool serverLost;
        private volatile bool ended;
        // Enumerations under way, which share the events. Only the last to
        // leave takes the stream off its client (and ends it for any later
        // one), so the end of the connection still reaches those left.
        private int readers;

        internal EventStream(int capacity)
        {
            channel = Channel.CreateBounded<EventArgs>(new BoundedChannelOptions(capacity)
            {
                FullMode = BoundedChannelFullMode.Wait,  // TryWrite then refuses, so a drop is seen and counted
                SingleReader = false,                    // its enumerations may share it
                AllowSynchronousContinuations = false,   // the reader never runs on a library thread
            });
        }

        /// <summary>Library threads. False when the channel is full: the event is dropped.
        /// (An event that comes as the stream ends is not kept, and not counted either.)</summary>
        internal bool Offer(EventArgs item)
        {
            return channel.Writer.TryWrite(item) || ended;
        }

        /// <summary>Ends the stream after what it holds; with serverLost, ServerLost comes last.</summary>
        internal void End(bool lost)
        {
            if (lost) serverLost = true;
            ended = true;
            channel.Writer.TryComplete();
        }

        internal async IAsyncEnumerable<EventArgs> ReadAsync(TouchClient owner,
            [EnumeratorCancellation] CancellationToken cancellationToken)
        {
            Interlocked.Increment(ref readers);
            try
            {
                ChannelReader<EventArgs> reader = channel.Reader;
                while (await reader.WaitToReadAsync(cancellationToken).ConfigureAwait(false))
                {
                    while (reader.TryRead(out EventArgs item)) yield return item;
                }
                if (serverLost) yield return ServerLostEventArgs.Instance;
            }
            finally
            {
                if (Interlocked.Decrement(ref readers) == 0)
                {
                    owner.Remove(this);
                    End(false);
                }
            }
        }
    }
}
