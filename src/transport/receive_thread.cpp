// The receive thread: waits for data, frames it and queues the texts. It
// reports the end of the connection once (a server break for a close, a reset
// or a refusal, the error number otherwise), after the dispatch thread has
// delivered what came before. With automatic reconnection on, it then has
// the connection connect again and reads the new socket; otherwise it waits
// for the teardown without reading or spinning.
#include <VornMTClient.h>

#include <string>
#include <vector>

#include "instrumentation/stage_clock.h"
#include "platform/thread_cancellation.h"
#include "transport/message_framer.h"
#include "transport/worker_threads.h"

namespace vornmt::transport {
namespace {

// An error callback must not throw; if one does anyway, this thread still
// goes on reading.
void ReportError(EventSink& sink, int code) {
    platform::CatchAllButThreadEnd([&] { sink.ReportError(code); });
}

void ReportConnectionEnd(EventSink& sink, int error) {
    if (error == 0 || error == platform::kWsaConnectionReset || error == platform::kWsaConnectionRefused) {
        sink.DeliverServerBreak();
    } else {
        ReportError(sink, error);
    }
}

// Reads until the connection ends or a stop is requested. Returns the socket
// error that ended it (0 for an orderly close by the server), or -1 on stop.
int ReceiveUntilEnd(WorkerContext& context) {
    MessageFramer framer;
    std::vector<std::string> batch;
    char buffer[kReadChunkBytes];
    while (!context.stop.load()) {
        if (!context.queue.WaitForRoom(context.stop)) return -1;
        int error = 0;
        switch (platform::WaitReadable(context.socket.load(), context.wakeup, -1, &error)) {
            case platform::WaitResult::kWoken:
                // Cleared before the stop flag is read, so that a wake-up
                // without a stop cannot keep the wait returning at once, and
                // a stop signalled meanwhile is still seen.
                context.wakeup.Clear();
                continue;
            case platform::WaitResult::kTimedOut:
            case platform::WaitResult::kWritable:  // not a result of WaitReadable
                continue;  // the loop looks at the stop flag
            case platform::WaitResult::kFailed:
                return context.stop.load() ? -1 : error;
            case platform::WaitResult::kReadable:
                break;
        }
        if (framer.carry_over_size() == 0) instrumentation::MarkStage(instrumentation::Stage::kReadable);
        long received = platform::Receive(context.socket.load(), buffer, sizeof buffer, &error);
        instrumentation::MarkStage(instrumentation::Stage::kRead);
        if (context.stop.load()) return -1;  // a shutdown by the teardown is no server break
        if (received == 0) return 0;
        if (received < 0 && error == platform::kWsaWouldBlock) continue;  // the socket is non-blocking
        if (received < 0) return error;
        // An oversized text leaves a marker in the batch, which the dispatch
        // thread reports in stream order.
        framer.Feed(buffer, static_cast<std::size_t>(received), batch);
        instrumentation::MarkStage(instrumentation::Stage::kFramed);
        context.queue.Append(batch);
        instrumentation::MarkStage(instrumentation::Stage::kQueued);
    }
    return -1;
}

}  // namespace

void RunReceiveThread(void* raw_context) {
    MarkWorkerThread();
    auto& context = *static_cast<WorkerContext*>(raw_context);
    // Out of memory (the framer or the queue could not grow) ends this
    // connection: the thread then waits for the teardown as after a break.
    platform::CatchAllButThreadEnd([&] {
        // Without a socket the first connect found no server, and the
        // library tries again in the background.
        bool connected = context.socket.load() != platform::kInvalidSocket;
        for (;;) {
            if (connected) {
                int end = ReceiveUntilEnd(context);
                if (end < 0) return;  // a stop
                // What arrived before the end is delivered before the end is reported.
                context.queue.WaitUntilDelivered(context.stop);
                if (context.stop.load()) return;
                const bool again = context.reconnector.ConnectionLost();
                ReportConnectionEnd(context.sink, end);
                if (!again) return;
            }
            connected = context.reconnector.Reconnect();
            if (!connected) return;
            context.sink.DeliverConnected();
        }
    });
    context.queue.WaitForStop(context.stop);
}

}  // namespace vornmt::transport
