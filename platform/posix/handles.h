// handles.h - a descriptor under the Win32 name of a handle.
#ifndef PLATFORM_POSIX_HANDLES_H
#define PLATFORM_POSIX_HANDLES_H

#include "windows.h"

#include <sys/stat.h>

static inline HANDLE HandleOf(int fd)
{
	return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(fd));
}

static inline int DescriptorOf(HANDLE handle)
{
	return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

// file.cpp: the last error, as the layer's calls set it; the file's
// status fresh from its file system, not from a cache of it.
extern "C" void WINAPI SetLastError(DWORD error);
bool LookAt(int fd, struct stat *st);

// writers.cpp: the file at path opened for reading, unless a process has
// it open for writing (ERROR_SHARING_VIOLATION).
HANDLE OpenWithoutWriters(const char *path);

#endif
