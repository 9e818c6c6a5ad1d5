// The dispatch thread: takes one text at a time from the queue and routes it
// outside the queue lock. It sleeps on the queue's condition while the queue
// is empty, so a new text or a stop request wakes it at once.
#include <VornMTClient.h>

#include <string>

#include "platform/stage_clock.h"
#include "transport/message_framer.h"
#include "transport/route_message.h"
#include "transport/worker_threads.h"

namespace vornmt::transport {

void RunDispatchThread(void* raw_context) {
    MarkWorkerThread();
    auto& context = *static_cast<WorkerContext*>(raw_context);
    std::string text;
    while (!context.stop.load() && context.socket.load() != platform::kInvalidSocket) {
        if (!context.queue.WaitAndTake(context.stop, &text)) break;
        platform::MarkStage(platform::Stage::kWoke);
        bool out_of_memory = false;
        try {
            if (IsOversizedMarker(text)) {
                context.sink.ReportError(Vorn_SDK_MultiTouch::ERR_BAD_MESSAGE);
            } else if (!text.empty()) {  // adjacent NULs carry nothing
                RouteMessage(text, context.sink, context.points);
            }
        } catch (const std::bad_alloc&) {
            out_of_memory = true;
        } catch (...) {
            // Only an error callback that threw gets here; the message is lost
            // and the thread goes on.
        }
        if (out_of_memory) {
            try {
                context.sink.ReportError(Vorn_SDK_MultiTouch::ERR_BAD_MESSAGE);
            } catch (...) {
            }
        }
        context.queue.FinishedRouting();
        context.sink.FinishedMessage();
    }
}

}  // namespace vornmt::transport
