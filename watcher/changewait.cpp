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
// change that leaves it empty, absent or unreadable becomes the baseline.
static BOOL HasNewData(LPCSTR path)
{
	ReadFileStamp(path, &Current.WriteTime, &Current.Size);
	const BOOL changed = Current.Size != Baseline.Size ||
	                     CompareFileTime(&Baseline.WriteTime, &Current.WriteTime) != 0;
	if (!changed)
		return FALSE;
	if (Current.Size > 0)
		return TRUE;
	Baseline = Current;
	return FALSE;
}

BOOL WaitForChange(LPCSTR path)
{
	ReadFileStamp(path, &Baseline.WriteTime, &Baseline.Size);
	const HANDLE notification = FindFirstChangeNotificationA(WatchDir, FALSE, WATCH_FILTER);
	if (notification == INVALID_HANDLE_VALUE || notification == NULL)
		return FALSE;

	// A write between the baseline and the arming raised no notification;
	// one look now catches it.
	if (HasNewData(path))
		return TRUE;
	for (;;) {
		if (WaitForSingleObject(notification, INFINITE) == WAIT_FAILED)
			return FALSE;
		if (HasNewData(path))
			return TRUE;
		if (!FindNextChangeNotification(notification))
			return FALSE;
	}
}
