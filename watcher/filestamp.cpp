// filestamp.cpp - reads a file's stamp without reading its contents.
#include "filestamp.h"

// The size in all its 64 bits: a file of 4 GiB holds data, not nothing.
static LONGLONG ReadFileSize(HANDLE file)
{
	DWORD high = 0;
	const DWORD low = GetFileSize(file, &high);
	// 0xFFFFFFFF is also the low half of some real sizes; only the last
	// error tells them from a failure.
	if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
		return -1;
	return (LONGLONG)(((ULONGLONG)high << 32) | low);
}

BOOL ReadFileStamp(LPCSTR path, FILETIME *time, LONGLONG *size)
{
	time->dwLowDateTime = 0;
	time->dwHighDateTime = 0;
	*size = 0;

	const HFILE file = _lopen(path, OF_READ);
	if (file == HFILE_ERROR) {
		const DWORD error = GetLastError();
		return error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION;
	}
	const HANDLE handle = (HANDLE)(INT_PTR)file;
	GetFileTime(handle, NULL, NULL, time);
	*size = ReadFileSize(handle);
	_lclose(file);
	return TRUE;
}
