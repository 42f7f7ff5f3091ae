// platform.h - the Win32 names over POSIX, and the path rules of Linux.
#ifndef PLATFORM_POSIX_PLATFORM_H
#define PLATFORM_POSIX_PLATFORM_H

#include "windows.h"

// On Linux only the slash separates; backslash and colon are name characters.
#define PATH_SEPARATORS "/"
#define NEWLINE "\n"
#define NULL_DEVICE "/dev/null"

// Linux knows no sharing violations; a writer holding the file, which is
// the one hold it has, is let go with an event (writers.cpp).
#define HELD_LOOK_MS INFINITE

#define USAGE_LINE "changewait [OPTION]... FILE"
#define OPTION_LINES                                                                           \
	"  -t, --timeout=SECONDS  give up once SECONDS (a fraction allowed) have passed" NEWLINE \
	"  -p, --present          a FILE that already holds data ends the wait at once" NEWLINE  \
	"  -c, --complete         end only once no process has FILE open for writing" NEWLINE    \
	"  -h, --help             this text;  -V, --version  the version" NEWLINE                 \
	"A FILE that begins with a dash follows --, or is given as ./-FILE." NEWLINE

#endif
