// How many bytes the COM task allocator handed out in a block: the bound for
// reading a list a driver service returned, whatever count the list claims.
// 0 for null and for a block the allocator does not know.
#pragma once

#include <cstddef>

#include "device/com_types.h"

std::size_t TaskMemSize(const void* block);
