// handles.cpp - the standard handles, and opening, writing and closing.
#include "handles.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

// STD_INPUT_HANDLE is -10, STD_OUTPUT_HANDLE -11, STD_ERROR_HANDLE -12.
static int StandardDescriptor(DWORD which)
{
	return -10 - static_cast<int>(which);
}

extern "C" HANDLE WINAPI GetStdHandle(DWORD which)
{
	const int fd = StandardDescriptor(which);
	return fd >= 0 && fd <= 2 ? HandleOf(fd) : INVALID_HANDLE_VALUE;
}

// What holds a standard descriptor's number for the program: the null
// device, or in a root without /dev the root as a path, which reads and
// writes refuse at once. Either way, no instance or file the program opens
// later can take the number, and be closed as standard output.
static int OpenPlaceholder(void)
{
	const int fd = open("/dev/null", O_RDWR | O_NOCTTY);
	return fd >= 0 ? fd : open("/", O_PATH);
}

void TakeStandardDescriptors(void)
{
	for (int fd = 0; fd <= 2; fd++)
		if (fcntl(fd, F_GETFD) < 0 && OpenPlaceholder() != fd)
			return;
}

// The standard handles are descriptors 0 to 2: setting one moves the
// given descriptor there.
extern "C" BOOL WINAPI SetStdHandle(DWORD which, HANDLE handle)
{
	const int to = StandardDescriptor(which), from = DescriptorOf(handle);
	if (to < 0 || to > 2 || from < 0)
		return FALSE;
	if (from == to)
		return TRUE;
	const bool moved = dup2(from, to) == to;
	close(from);
	return moved;
}

// Opens what exists, for writing or for reading; for reading with writing
// denied to others, only while no process writes it.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void *, DWORD, DWORD, HANDLE)
{
	if (access == GENERIC_READ && !(share & FILE_SHARE_WRITE))
		return OpenWithoutWriters(path);
	const int fd = open(path, (access & GENERIC_WRITE ? O_WRONLY : O_RDONLY) | O_NOCTTY);
	return fd < 0 ? INVALID_HANDLE_VALUE : HandleOf(fd);
}

// Closing a standard handle lets go of what the caller gave, and keeps its
// number taken.
extern "C" BOOL WINAPI CloseHandle(HANDLE handle)
{
	const int fd = DescriptorOf(handle);
	const int held = fd >= 0 && fd <= 2 ? OpenPlaceholder() : -1;
	if (held < 0)
		return close(fd) == 0;
	const bool moved = dup2(held, fd) == fd;
	close(held);
	return moved;
}

extern "C" BOOL WINAPI WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written, void *)
{
	const char *p = static_cast<const char *>(data);
	DWORD done = 0;
	while (done < size) {
		const ssize_t n = write(DescriptorOf(file), p + done, size - done);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			break;
		done += static_cast<DWORD>(n);
	}
	if (written != nullptr)
		*written = done;
	return done == size;
}
