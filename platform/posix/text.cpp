// text.cpp - the text and time helpers of kernel32.
#include "windows.h"

#include <string.h>

extern "C" LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src)
{
	return strcpy(dst, src);
}

extern "C" int WINAPI lstrlenA(LPCSTR text)
{
	return text == nullptr ? 0 : static_cast<int>(strlen(text));
}

static ULONGLONG Ticks(const FILETIME *t)
{
	return (static_cast<ULONGLONG>(t->dwHighDateTime) << 32) | t->dwLowDateTime;
}

extern "C" long WINAPI CompareFileTime(const FILETIME *a, const FILETIME *b)
{
	const ULONGLONG x = Ticks(a), y = Ticks(b);
	return x < y ? -1 : x > y ? 1 : 0;
}
