// The host's stand-in task allocator tells us of every free directly.
#include "device/com_host.h"
#include "sim/bus_model.h"

namespace sim {

void StartTaskMemFreeTracking() {
  SetTaskMemFreeObserver([](void* block) { NotifyTaskMemFreed(block); });
}

}  // namespace sim
