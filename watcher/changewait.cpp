// changewait.cpp - the directory of the watched file, and the wait on it.
#include "changewait.h"

CHAR WatchDir[MAX_PATH];
FileStamp Baseline;
FileStamp Current;

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

BOOL WaitForChange(LPCSTR path)
{
	ReadFileStamp(path, &Baseline.WriteTime, &Baseline.Size);
	const HANDLE notification = FindFirstChangeNotificationA(WatchDir, FALSE, WATCH_FILTER);
	if (notification == INVALID_HANDLE_VALUE || notification == NULL)
		return FALSE;
	DeclareReady();

	// A write between the baseline and the arming raised no notification;
	// one look now catches it. A held file may be let go without a
	// notification, so while it is held the program looks again.
	BOOL held;
	if (HasNewData(path, &held))
		return TRUE;
	for (;;) {
		if (WaitForSingleObject(notification, held ? HELD_LOOK_MS : INFINITE) == WAIT_FAILED)
			return FALSE;
		if (HasNewData(path, &held))
			return TRUE;
		if (!FindNextChangeNotification(notification))
			return FALSE;
	}
}
