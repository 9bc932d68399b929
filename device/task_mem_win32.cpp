#include "device/task_mem.h"

#include "device/com_ptr.h"

std::size_t TaskMemSize(const void* block) {
  if (block == nullptr) return 0;
  ComPtr<IMalloc> allocator;
  if (FAILED(CoGetMalloc(1, allocator.ResetAndGetAddress())) || !allocator) return 0;
  const SIZE_T size = allocator->GetSize(const_cast<void*>(block));
  return size == static_cast<SIZE_T>(-1) ? 0 : size;
}
