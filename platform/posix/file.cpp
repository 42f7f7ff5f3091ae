// file.cpp - _lopen, GetFileTime, GetFileSize and _lclose over POSIX.
//
// A stamp read must never block and must leave no trace, so only regular
// files are opened: a FIFO, device or socket at the name, or a directory,
// fails to open just as a file that is absent or unreadable does.
//
// The program's own lack of descriptors is not the file's state: where no
// descriptor is left to open it with, the stamp is read from the look by
// name that precedes the open.
#include "handles.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

static DWORD LastError;

// The look _lopen takes at the file it opened serves the time and size
// queries that follow at once, so a stamp costs one fstat, not three.
static struct {
	int fd = -1;
	struct stat st;
} Opened;

static bool Status(int fd, struct stat *st)
{
	if (fd == Opened.fd) {
		*st = Opened.st;
		return true;
	}
	return fstat(fd, st) == 0;
}

// The handle of a file looked at by name only; never a descriptor.
static const int LOOKED_AT = INT_MAX;

// A file system that keeps what its server said for a while (FUSE, NFS,
// SMB) is asked afresh, so that the stamp is the file's and not the
// cache's; on others the flag costs nothing. Where statx is refused, fstat.
bool LookAt(int fd, struct stat *st)
{
	struct statx sx;
	if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) != 0)
		return fstat(fd, st) == 0;
	st->st_mode = sx.stx_mode;
	st->st_size = static_cast<off_t>(sx.stx_size);
	st->st_mtim.tv_sec = sx.stx_mtime.tv_sec;
	st->st_mtim.tv_nsec = sx.stx_mtime.tv_nsec;
	return true;
}

// Opens the regular file at path, or says why not in LastError.
static int OpenRegular(LPCSTR path, struct stat *st)
{
	// Linux has no sharing violation: a file that cannot be opened is
	// absent or not this user's to read.
	LastError = ERROR_FILE_NOT_FOUND;
	if (stat(path, st) != 0 || !S_ISREG(st->st_mode))
		return HFILE_ERROR;
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0 && (errno == EMFILE || errno == ENFILE) && faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0)
		return LOOKED_AT;
	if (fd < 0) {
		LastError = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
		return HFILE_ERROR;
	}
	// The name may have been replaced between the two looks.
	if (!LookAt(fd, st) || !S_ISREG(st->st_mode)) {
		close(fd);
		return HFILE_ERROR;
	}
	return fd;
}

extern "C" HFILE WINAPI _lopen(LPCSTR path, int)
{
	struct stat st;
	const int fd = OpenRegular(path, &st);
	// Once a path no longer leads to the directory watched, what it names
	// is another directory's file, or none: the look counts for nothing,
	// and the handle is lost.
	if (!WatchedPathsHold()) {
		if (fd != HFILE_ERROR && fd != LOOKED_AT)
			close(fd);
		return HFILE_ERROR;
	}
	if (fd != HFILE_ERROR) {
		Opened.fd = fd;
		Opened.st = st;
	}
	return fd;
}

extern "C" HFILE WINAPI _lclose(HFILE file)
{
	if (file == Opened.fd)
		Opened.fd = -1;
	if (file == LOOKED_AT)
		return 0;
	return close(file) == 0 ? 0 : HFILE_ERROR;
}

// Linux keeps nanoseconds; the time is held as nanoseconds since 1970 so
// that no change of the time is lost. The program compares times only for
// equality, so the epoch does not matter to it.
extern "C" BOOL WINAPI GetFileTime(HANDLE file, FILETIME *, FILETIME *, FILETIME *write)
{
	struct stat st;
	if (!Status(DescriptorOf(file), &st))
		return FALSE;
	const ULONGLONG ns = static_cast<ULONGLONG>(st.st_mtim.tv_sec) * 1000000000u +
	                     static_cast<ULONGLONG>(st.st_mtim.tv_nsec);
	write->dwLowDateTime = static_cast<DWORD>(ns);
	write->dwHighDateTime = static_cast<DWORD>(ns >> 32);
	return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE file, DWORD *high)
{
	struct stat st;
	if (!Status(DescriptorOf(file), &st)) {
		LastError = static_cast<DWORD>(errno);
		return INVALID_FILE_SIZE;
	}
	const ULONGLONG size = static_cast<ULONGLONG>(st.st_size);
	if (high != nullptr)
		*high = static_cast<DWORD>(size >> 32);
	LastError = NO_ERROR;
	return static_cast<DWORD>(size);
}

extern "C" DWORD WINAPI GetLastError(void)
{
	return LastError;
}

extern "C" void WINAPI SetLastError(DWORD error)
{
	LastError = error;
}
