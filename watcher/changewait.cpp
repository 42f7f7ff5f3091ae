// changewait.cpp - the directory of the watched file, and the wait on it.
#include "changewait.h"

CHAR WatchDir[MAX_PATH];
FileStamp Baseline;
FileStamp Current;
BOOL EndIfPresent;
BOOL EndIfComplete;
ULONGLONG BoundMs;

static BOOL IsPathSeparator(CHAR c)
{
	for (LPCSTR s = PATH_SEPARATORS; *s != '\0'; s++)
		if (*s == c)
			return TRUE;
	return FALSE;
}

static BOOL IsDriveColon(CHAR c)
{
	return c == ':' && IsPathSeparator(':');
}

LPCSTR FindDirectoryPart(LPCSTR path, int *length)
{
	int i = lstrlenA(path) - 1;
	while (i >= 0 && !IsPathSeparator(path[i]))
		i--;
	if (i < 0) {
		*length = 1;
		return ".";
	}
	// Cutting off a root's separator would leave no directory ("") or the
	// drive's current one ("C:"), so a root keeps it; a drive colon itself
	// names the drive's current directory, which is what "C:x" means.
	if (i == 0 || path[i] == ':' || IsDriveColon(path[i - 1]))
		i++;
	*length = i;
	return path;
}

BOOL DeriveWatchDir(LPCSTR path)
{
	if (lstrlenA(path) >= (int)sizeof WatchDir)
		return FALSE;
	int length;
	lstrcpyA(WatchDir, FindDirectoryPart(path, &length));
	WatchDir[length] = '\0';
	return TRUE;
}

// Reads the current stamp and says whether the file now holds new data. A
// change that leaves it empty, absent or unreadable becomes the baseline;
// a file held by another process says nothing until it is let go.
static BOOL HasNewData(LPCSTR path, BOOL *held)
{
	*held = !ReadFileStamp(path, &Current.WriteTime, &Current.Size);
	if (*held)
		return FALSE;
	const BOOL changed = Current.Size != Baseline.Size ||
	                     CompareFileTime(&Baseline.WriteTime, &Current.WriteTime) != 0;
	if (!changed)
		return FALSE;
	if (Current.Size > 0)
		return TRUE;
	Baseline = Current;
	return FALSE;
}

// Whether no process has the file open for writing: it opens for reading
// with writing denied to others only then. While a writer holds it, the
// file counts as held, and is looked at again as such.
static BOOL NobodyWrites(LPCSTR path, BOOL *held)
{
	const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
	if (file == INVALID_HANDLE_VALUE) {
		const DWORD error = GetLastError();
		*held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
		return FALSE;
	}
	CloseHandle(file);
	return TRUE;
}

// The end rule: new data, and where asked for, nobody writing it.
static BOOL Ends(LPCSTR path, BOOL *held)
{
	return HasNewData(path, held) && (!EndIfComplete || NobodyWrites(path, held));
}

// Where a file that holds data ends the wait at once, the baseline look
// decides. Data that a writer still holds ends it once let go: the zero
// baseline makes it new data.
static BOOL EndsPresent(LPCSTR path)
{
	BOOL held;
	if (!EndIfPresent || Baseline.Size <= 0)
		return FALSE;
	if (!EndIfComplete || NobodyWrites(path, &held))
		return TRUE;
	Baseline.WriteTime.dwLowDateTime = 0;
	Baseline.WriteTime.dwHighDateTime = 0;
	Baseline.Size = 0;
	return FALSE;
}

// Lets go of standard output, which the program never writes: a reader of
// a pipe on it sees its end now, when every later change will be seen. The
// null device takes its place, so that no later open takes its number.
static void DeclareReady(void)
{
	CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
	const HANDLE nul = CreateFileA(NULL_DEVICE, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
				       OPEN_EXISTING, 0, NULL);
	SetStdHandle(STD_OUTPUT_HANDLE, nul);
}

// The bound counts from the start. The ticks are added up as differences
// since the last reading, so they may wrap in between.
static DWORD LastTick;
static ULONGLONG Elapsed;

void StartClock(void)
{
	LastTick = GetTickCount();
}

static ULONGLONG TimeLeft(void)
{
	const DWORD now = GetTickCount();
	Elapsed += (DWORD)(now - LastTick);
	LastTick = now;
	return Elapsed >= BoundMs ? 0 : BoundMs - Elapsed;
}

// How long the next wait may last: until the held file's next look, and
// no longer than the bound leaves.
static DWORD NextWaitMs(BOOL held, ULONGLONG left)
{
	DWORD ms = INFINITE;
	if (held)
		ms = HELD_LOOK_MS;
	if (BoundMs == NO_BOUND)
		return ms;
	const DWORD bounded = left < LONGEST_WAIT_MS ? (DWORD)left : LONGEST_WAIT_MS;
	return bounded < ms ? bounded : ms;
}

WaitEnd WaitForChange(LPCSTR path)
{
	ReadFileStamp(path, &Baseline.WriteTime, &Baseline.Size);
	if (EndsPresent(path))
		return CHANGED;
	const HANDLE notification = FindFirstChangeNotificationA(WatchDir, FALSE, WATCH_FILTER);
	if (notification == INVALID_HANDLE_VALUE || notification == NULL)
		return UNWATCHABLE;
	DeclareReady();

	// A write between the baseline and the arming raised no notification;
	// one look now catches it. A held file may be let go without a
	// notification, so while it is held the program looks again.
	BOOL held;
	if (Ends(path, &held))
		return CHANGED;
	for (;;) {
		const ULONGLONG left = BoundMs == NO_BOUND ? NO_BOUND : TimeLeft();
		if (left == 0)
			return BOUND_PASSED;
		if (WaitForSingleObject(notification, NextWaitMs(held, left)) == WAIT_FAILED)
			return UNWATCHABLE;
		if (Ends(path, &held))
			return CHANGED;
		if (!FindNextChangeNotification(notification))
			return UNWATCHABLE;
	}
}
