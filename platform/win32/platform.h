// platform.h - the real Win32 interface, and the path rules of Windows.
#ifndef PLATFORM_WIN32_PLATFORM_H
#define PLATFORM_WIN32_PLATFORM_H

#include <windows.h>

// Backslash, slash and the drive colon all end a directory part.
#define PATH_SEPARATORS "\\/:"
#define NEWLINE "\r\n"
#define NULL_DEVICE "NUL"
// "/?" can never name a file: it asks for the usage.
#define USAGE_REQUEST "/?"

#endif
