// The few COM declarations the driver interfaces need. On Windows they are the
// platform's own; the host build declares the same shapes so that the same
// interface declarations compile and are tested natively.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#else
#include "device/com_host.h"
#endif
