// What the operator is shown for the outcome of loading an update file.
#pragma once

#include <cstdint>

#include "state/status_code.h"

// CSMF error after Load: 0 is ready; 1 memory, 2 not found, 3 cannot open,
// anything else a format error.
StatusCode StatusForLoadError(std::int32_t error);
