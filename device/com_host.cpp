#include "device/com_host.h"

#include "device/task_mem.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

// {00000000-0000-0000-C000-000000000046}, as on Windows.
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {
std::atomic<TaskMemFreeObserver> freeObserver{nullptr};
}  // namespace

bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Each block carries its size in front, as the platform's allocator knows it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CoTaskMemAlloc(std::size_t size) {
  auto* raw = static_cast<unsigned char*>(std::malloc(kHeader + size));
  if (raw == nullptr) return nullptr;
  std::memcpy(raw, &size, sizeof(size));
  return raw + kHeader;
}

void CoTaskMemFree(void* block) {
  if (block == nullptr) return;
  if (TaskMemFreeObserver observer = freeObserver.load()) observer(block);
  std::free(static_cast<unsigned char*>(block) - kHeader);
}

std::size_t TaskMemSize(const void* block) {
  if (block == nullptr) return 0;
  std::size_t size = 0;
  std::memcpy(&size, static_cast<const unsigned char*>(block) - kHeader, sizeof(size));
  return size;
}

void SetTaskMemFreeObserver(TaskMemFreeObserver observer) { freeObserver.store(observer); }
