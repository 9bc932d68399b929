#include "device/device_search_worker.h"

#include "device/driver_apartment.h"

DeviceSearchWorker::~DeviceSearchWorker() {
  RequestStop();
  RequestRelease();
  Join();
}

bool DeviceSearchWorker::Start() {
  return thread_.Start(WorkerThread::Priority::kNormal, &DeviceSearchWorker::Run, this);
}

void DeviceSearchWorker::Run(void* self) {
  auto& worker = *static_cast<DeviceSearchWorker*>(self);
  // The driver's objects belong to this thread's apartment: it lasts until they are gone.
  DriverApartment apartment;
  try {
    DeviceSearchThread(worker.factory_, worker.search_, worker.wait_);
  } catch (...) {
    // A view that throws ends the search; nothing may leave the thread.
  }
  apartment.ServeUntil(worker.release_);
  worker.search_.link.ReleaseAll();
}
