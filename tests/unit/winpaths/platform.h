// platform.h - the Linux calls with the Windows path rules, so that the
// derivation of the watched directory can be tried on Windows names here.
#ifndef TESTS_WINPATHS_PLATFORM_H
#define TESTS_WINPATHS_PLATFORM_H

#include "windows.h"

#define PATH_SEPARATORS "\\/:"
#define NEWLINE "\r\n"
#define NULL_DEVICE "/dev/null"
#define HELD_LOOK_MS 100

#endif
