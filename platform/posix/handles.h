// handles.h - a descriptor under the Win32 name of a handle.
#ifndef PLATFORM_POSIX_HANDLES_H
#define PLATFORM_POSIX_HANDLES_H

#include "windows.h"

static inline HANDLE HandleOf(int fd)
{
	return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(fd));
}

static inline int DescriptorOf(HANDLE handle)
{
	return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

#endif
