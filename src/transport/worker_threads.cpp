// Which threads are the library's own: each worker thread marks itself first
// thing, so that a call from a callback can tell it runs on one.
#include "transport/worker_threads.h"

namespace vornmt::transport {
namespace {

thread_local bool on_worker_thread = false;

}  // namespace

bool OnWorkerThread() { return on_worker_thread; }

void MarkWorkerThread() { on_worker_thread = true; }

}  // namespace vornmt::transport
