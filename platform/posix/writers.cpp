// writers.cpp - whether a process has the named file open for writing.
//
// Windows tells it by refusing to share: a file opened for reading with
// writing denied to others fails with a sharing violation while any handle
// with write access is open. Linux tells the same through a read lease: the
// kernel refuses one (EAGAIN) exactly while some process has the file open
// for writing. The lease is let go at once, so a writer that opens the file
// in that instant waits microseconds, never the kernel's lease-break time;
// the break's signal, SIGIO, whose default kills, is ignored.
//
// Where the kernel grants no lease (another user's file without CAP_LEASE,
// leases disabled), the events tell instead: once a write to the file is
// seen, it counts as written to until a writer's close (IN_CLOSE_WRITE).
// On a file system changed unseen (NFS, SMB, FUSE), where writers
// elsewhere show neither way, a look that finds the stamp as the last one
// left it stands for the close.
#include "commandline.h"
#include "handles.h"
#include "notify.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

static bool Tracking;  // asked for: the events of writers are followed
static bool Unclosed;  // a write seen, and no writer's close since

// The stamp the last look on a file system changed unseen found.
static struct {
	off_t size;
	struct timespec time;
} Left;

void TrackWriters(void)
{
	Tracking = true;
}

uint32_t WriterEvents(void)
{
	return Tracking ? IN_MODIFY | IN_CLOSE_WRITE : 0;
}

// A file created at the name has a writer from its first moment: its
// writes may show in the stamp before their event is read. One renamed
// there arrives whole.
void NoteWriter(uint32_t mask)
{
	if (mask & (IN_CREATE | IN_MODIFY))
		Unclosed = true;
	if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
		Unclosed = false;
}

// The named file's own name in its directory, as the directory's events
// carry it.
static const char *LastPart(void)
{
	const char *name = NamedFile();
	const char *slash = name == nullptr ? nullptr : strrchr(name, '/');
	return slash == nullptr ? name : slash + 1;
}

bool PassesOver(const Notification *n, const struct inotify_event *ev)
{
	if (!Tracking)
		return false;
	const char *last = LastPart();
	if (ev->len > 0 && last != nullptr && strcmp(ev->name, last) == 0) {
		NoteWriter(ev->mask);
		return false;
	}
	if (!(ev->mask & (IN_MODIFY | IN_CLOSE_WRITE)))
		return false;
	// Where the named file has no watch of its own, writes to every file
	// in the directory wake the caller, as they always did.
	return (ev->mask & IN_CLOSE_WRITE) || !(n->dirMask & IN_ATTRIB);
}

// Whether the stamp differs from the one the last such look found.
static bool StampMoved(int fd)
{
	struct stat st;
	if (!LookAt(fd, &st))
		return true;
	const bool moved = st.st_size != Left.size || st.st_mtim.tv_sec != Left.time.tv_sec ||
	                   st.st_mtim.tv_nsec != Left.time.tv_nsec;
	Left.size = st.st_size;
	Left.time = st.st_mtim;
	return moved;
}

// Asks the kernel for a read lease and lets it go at once. On a file
// system changed unseen, a lease sees only the writers of this machine,
// and none at all where it is refused: the stamp must have stood still too.
static bool Written(int fd, const char *path)
{
	// A lease whose break could kill the program is not asked for: where
	// SIGIO cannot be ignored, the events tell as where none is granted.
	static bool ignored;
	if (!ignored)
		ignored = signal(SIGIO, SIG_IGN) != SIG_ERR;
	const bool leased = ignored && fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
	if (leased)
		fcntl(fd, F_SETLEASE, F_UNLCK);
	else if (ignored && errno == EAGAIN)
		return true;
	if (IsRemote(path))
		return StampMoved(fd);
	return !leased && Unclosed;
}

HANDLE OpenWithoutWriters(const char *path)
{
	const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	struct stat st;
	SetLastError(ERROR_FILE_NOT_FOUND);
	if (fd < 0)
		return INVALID_HANDLE_VALUE;
	if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
		if (!Written(fd, path))
			return HandleOf(fd);
		SetLastError(ERROR_SHARING_VIOLATION);
	}
	close(fd);
	return INVALID_HANDLE_VALUE;
}
