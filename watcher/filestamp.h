// filestamp.h - the watched file's last-write time and size.
#ifndef WATCHER_FILESTAMP_H
#define WATCHER_FILESTAMP_H

#include "platform.h"

// The zero stamp (time 0, size 0) stands for a file that cannot be opened.
// Size is the whole size in bytes, or -1 when it could not be read.
struct FileStamp {
	FILETIME WriteTime;
	LONGLONG Size;
};

// Opens the file for reading only long enough to ask for its time and size.
// FALSE when another process holds the file so that it cannot be opened
// now (a sharing or lock violation): the stamp then says nothing of it.
BOOL ReadFileStamp(LPCSTR path, FILETIME *time, LONGLONG *size);

#endif
