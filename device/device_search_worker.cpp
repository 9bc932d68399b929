#include "device/device_search_worker.h"

DeviceSearchWorker::~DeviceSearchWorker() {
  RequestStop();
  Join();
}

bool DeviceSearchWorker::StartSearch() {
  return thread_.Start(WorkerThread::Priority::kNormal, &DeviceSearchWorker::Run, this);
}

void DeviceSearchWorker::Run(void* self) {
  auto& worker = *static_cast<DeviceSearchWorker*>(self);
  try {
    DeviceSearchThread(worker.search_, worker.wait_);
  } catch (...) {
    // A view that throws ends the search; nothing may leave the thread.
  }
}
