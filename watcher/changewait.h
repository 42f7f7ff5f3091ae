// changewait.h - waiting on a file's directory until the file holds new data.
#ifndef WATCHER_CHANGEWAIT_H
#define WATCHER_CHANGEWAIT_H

#include "filestamp.h"
#include "platform.h"

// File names created, deleted or renamed, and last-write times changed.
const DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// How often a file held by another process is looked at until let go.
const DWORD HELD_LOOK_MS = 100;

extern CHAR WatchDir[MAX_PATH];
extern FileStamp Baseline;
extern FileStamp Current;

// Finds the directory of path without copying it: its first *length
// characters, or "." for a bare name. The root itself when the file stands
// in one.
LPCSTR FindDirectoryPart(LPCSTR path, int *length);

// Sets WatchDir to the directory of path: "." for a bare name, the root
// itself when the file stands in one. FALSE when path is too long to watch.
BOOL DeriveWatchDir(LPCSTR path);

// Waits on WatchDir until the file at path has changed against the
// remembered stamp and holds data. FALSE when WatchDir cannot be watched,
// or stops being watchable while waiting.
BOOL WaitForChange(LPCSTR path);

#endif
