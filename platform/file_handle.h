// The owner of an open file's handle on each platform: a Win32 kernel handle,
// or a POSIX file descriptor.
#pragma once

#ifdef _WIN32
#include "platform/handles_win32.h"
using FileHandle = KernelHandle;
#else
#include "platform/file_descriptor_posix.h"
using FileHandle = FileDescriptor;
#endif
