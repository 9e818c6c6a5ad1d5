// One reader's queue of events for TouchClient.ReadEventsAsync: a bounded
// channel that the library's threads write to without ever waiting, read by
// one async stream.
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

        internal EventStream(int capacity)
        {
            channel = Channel.CreateBounded<EventArgs>(new BoundedChannelOptions(capacity)
            {
                FullMode = BoundedChannelFullMode.Wait,  // TryWrite then refuses, so a drop is seen and counted
                SingleReader = true,
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
                owner.Remove(this);
            }
        }
    }
}
