// changewait.h - waiting on a file's directory until the file holds new data.
#ifndef WATCHER_CHANGEWAIT_H
#define WATCHER_CHANGEWAIT_H

#include "filestamp.h"
#include "platform.h"

// File names created, deleted or renamed, and last-write times changed.
const DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// The longest single wait: the tick count is read at least this often, so
// that its wrap after 49.7 days is only ever a difference.
const DWORD LONGEST_WAIT_MS = 0x7FFFFFFF;

// No bound at all: more milliseconds than any clock counts.
const ULONGLONG NO_BOUND = ~(ULONGLONG)0;

// How the wait ended.
enum WaitEnd { CHANGED, UNWATCHABLE, BOUND_PASSED };

extern CHAR WatchDir[MAX_PATH];
extern FileStamp Baseline;
extern FileStamp Current;

// What the options asked of the wait; all left as they are, it is the wait
// for the first change that leaves data.
extern BOOL EndIfPresent;   // a file that holds data at the start ends it
extern BOOL EndIfComplete;  // only a file that no process has open for writing ends it
extern ULONGLONG BoundMs;   // milliseconds from the start, or NO_BOUND

// Finds the directory of path without copying it: its first *length
// characters, or "." for a bare name. The root itself when the file stands
// in one.
LPCSTR FindDirectoryPart(LPCSTR path, int *length);

// Sets WatchDir to the directory of path: "." for a bare name, the root
// itself when the file stands in one. FALSE when path is too long to watch.
BOOL DeriveWatchDir(LPCSTR path);

// Marks the start, from which the bound is counted.
void StartClock(void);

// Waits on WatchDir until the file at path has changed against the
// remembered stamp and holds data, or the bound has passed. UNWATCHABLE
// when WatchDir cannot be watched, or stops being watchable while waiting.
WaitEnd WaitForChange(LPCSTR path);

#endif
