// The dispatch thread: takes one text at a time from the queue and routes it
// outside the queue lock. It sleeps on the queue's condition while the queue
// is empty, so a new text or a stop request wakes it at once.
#include <VornMTClient.h>

#include <string>

#include "instrumentation/stage_clock.h"
#include "platform/thread_cancellation.h"
#include "transport/message_framer.h"
#include "transport/route_message.h"
#include "transport/worker_threads.h"

namespace vornmt::transport {
namespace {

// Marks the taken text as delivered when its routing ends, also when a
// callback ends the thread (pthread_exit unwinds through here): the receive
// thread of a later connection waits for that mark before it reports its end.
class RoutingScope {
public:
    explicit RoutingScope(MessageQueue& queue) : queue_(queue) {}
    ~RoutingScope() { queue_.FinishedRouting(); }
    RoutingScope(const RoutingScope&) = delete;
    RoutingScope& operator=(const RoutingScope&) = delete;

private:
    MessageQueue& queue_;
};

}  // namespace

void RunDispatchThread(void* raw_context) {
    MarkWorkerThread();
    auto& context = *static_cast<WorkerContext*>(raw_context);
    std::string text;
    // Goes on across the connections the receive thread opens again.
    while (!context.stop.load()) {
        if (!context.queue.WaitAndTake(context.stop, &text)) break;
        instrumentation::MarkStage(instrumentation::Stage::kWoke);
        RoutingScope routing(context.queue);
        bool out_of_memory = false;
        // Only an error callback that throws leaves an exception here; the
        // message is then lost and the thread goes on.
        platform::CatchAllButThreadEnd([&] {
            try {
                if (IsOversizedMarker(text)) {
                    context.sink.ReportError(Vorn_SDK_MultiTouch::ERR_BAD_MESSAGE);
                } else if (!text.empty()) {  // adjacent NULs carry nothing
                    RouteMessage(text, context.sink, context.points);
                }
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        });
        if (out_of_memory) {
            platform::CatchAllButThreadEnd([&] { context.sink.ReportError(Vorn_SDK_MultiTouch::ERR_BAD_MESSAGE); });
        }
        context.sink.FinishedMessage();
    }
}

}  // namespace vornmt::transport
