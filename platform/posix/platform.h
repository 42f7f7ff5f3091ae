// platform.h - the Win32 names over POSIX, and the path rules of Linux.
#ifndef PLATFORM_POSIX_PLATFORM_H
#define PLATFORM_POSIX_PLATFORM_H

#include "windows.h"

// On Linux only the slash separates; backslash and colon are name characters.
#define PATH_SEPARATORS "/"
#define NEWLINE "\n"
#define NULL_DEVICE "/dev/null"
// A file of this name is still reached as ./--help.
#define USAGE_REQUEST "--help"

#endif
