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

// handles.cpp: descriptors 0 to 2 taken, by the caller's or by something
// that is nothing, before the program opens any of its own.
void TakeStandardDescriptors(void);

// file.cpp: the last error, as the layer's calls set it; the file's
// status fresh from its file system, not from a cache of it.
extern "C" void WINAPI SetLastError(DWORD error);
bool LookAt(int fd, struct stat *st);

// notify.cpp: false once a handle's path no longer leads to the directory
// it watches; a file looked at through it then counts as not there.
bool WatchedPathsHold(void);

// writers.cpp: the file at path opened for reading, unless a process has
// it open for writing (ERROR_SHARING_VIOLATION).
HANDLE OpenWithoutWriters(const char *path);

#endif
