#include "device/com_host.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

// {00000000-0000-0000-C000-000000000046}, as on Windows.
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {
std::atomic<TaskMemFreeObserver> freeObserver{nullptr};
}  // namespace

bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size); }

void CoTaskMemFree(void* block) {
  if (block == nullptr) return;
  if (TaskMemFreeObserver observer = freeObserver.load()) observer(block);
  std::free(block);
}

void SetTaskMemFreeObserver(TaskMemFreeObserver observer) { freeObserver.store(observer); }
