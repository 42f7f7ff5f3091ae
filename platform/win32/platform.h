// platform.h - the real Win32 interface, and the path rules of Windows.
#ifndef PLATFORM_WIN32_PLATFORM_H
#define PLATFORM_WIN32_PLATFORM_H

#include <windows.h>

// Backslash, slash and the drive colon all end a directory part.
#define PATH_SEPARATORS "\\/:"
#define NEWLINE "\r\n"
#define NULL_DEVICE "NUL"

// A file held by another process may be let go without a notification,
// so it is looked at again this often (milliseconds) until it is.
#define HELD_LOOK_MS 100

#define USAGE_LINE "changewait [/T:SECONDS] [/P] [/C] FILE"
#define OPTION_LINES                                                                \
	"  /T:SECONDS  give up once SECONDS (a fraction allowed) have passed" NEWLINE \
	"  /P          a FILE that already holds data ends the wait at once" NEWLINE  \
	"  /C          end only once no process has FILE open for writing" NEWLINE

#endif
