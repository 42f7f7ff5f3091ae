// console.cpp - code pages, lines to standard error, the message, the end.
#include "console.h"
#include "handoff.h"
#include "windows.h"

#include <stdlib.h>
#include <string.h>

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
