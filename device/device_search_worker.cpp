#include "device/device_search_worker.h"

#include <system_error>

DeviceSearchWorker::~DeviceSearchWorker() {
  RequestStop();
  Join();
}

bool DeviceSearchWorker::StartSearch() {
  if (started_) return false;
  started_ = true;
  try {
    // New threads run at normal priority, whatever their creator's.
    thread_ = std::thread([this] {
      try {
        DeviceSearchThread(search_, wait_);
      } catch (...) {
        // A view that throws ends the search; nothing may leave the thread.
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void DeviceSearchWorker::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}
