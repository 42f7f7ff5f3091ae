// console.cpp - message, standard error and process end on a console.
#include "console.h"
#include "handoff.h"
#include "windows.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static HANDLE HandleOf(int fd)
{
	return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(fd));
}

static int DescriptorOf(HANDLE handle)
{
	return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

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

// Opens what exists, for writing or for reading.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, void *, DWORD, DWORD, HANDLE)
{
	const int fd = open(path, (access & GENERIC_WRITE ? O_WRONLY : O_RDONLY) | O_NOCTTY);
	return fd < 0 ? INVALID_HANDLE_VALUE : HandleOf(fd);
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle)
{
	return close(DescriptorOf(handle)) == 0;
}

// Linux has no console code page: every descriptor takes the bytes as they
// are, so none is a console in this sense.
extern "C" BOOL WINAPI GetConsoleMode(HANDLE, DWORD *)
{
	return FALSE;
}

extern "C" UINT WINAPI GetConsoleOutputCP(void)
{
	return CP_UTF8;
}

extern "C" BOOL WINAPI SetConsoleOutputCP(UINT codePage)
{
	return codePage == CP_UTF8;
}

extern "C" UINT WINAPI GetACP(void)
{
	return CP_UTF8;
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

void WriteErrorLine(const char *lead, const char *text)
{
	static char line[256 + PATH_MAX];
	const size_t a = strlen(lead), b = strlen(text);
	const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
	if (a + b < sizeof line) {
		memcpy(line, lead, a);
		memcpy(line + a, text, b);
		line[a + b] = '\n';
		WriteFile(err, line, static_cast<DWORD>(a + b + 1), nullptr, nullptr);
	} else {
		WriteFile(err, lead, static_cast<DWORD>(a), nullptr, nullptr);
		WriteFile(err, text, static_cast<DWORD>(b), nullptr, nullptr);
		WriteFile(err, "\n", 1, nullptr, nullptr);
	}
}

// A console has no message box: the text goes to standard error as a line.
extern "C" int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT)
{
	WriteErrorLine("", text);
	return IDOK;
}

// The end comes at once: the teardown of the notification instances is left
// to the kernel (handoff.cpp).
extern "C" void WINAPI ExitProcess(UINT code)
{
	HandOffNotifications();
	exit(static_cast<int>(code));
}
