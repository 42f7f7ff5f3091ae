// looks.cpp - the looks made where events may not tell of every change.
//
// Some file systems change under this kernel without its knowledge (a
// network or FUSE file system written from its other side, remote.cpp), and
// the kernel may refuse an instance or a watch for lack of resources. In
// both cases a wait also ends once a period has passed, so that the caller
// looks again; a starved handle asks for its instance again at each look.
// So does a directory whose parent has no watch: nothing else would tell
// that it was deleted while in use. The period is a deadline: events that
// come meanwhile, and waits the caller bounds more closely, never put the
// look off.
#include "notify.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A change made elsewhere is seen within a second, at about sixty looks a
// minute, each a fraction of a millisecond of processor time.
static const int LOOK_PERIOD = 950;

// Milliseconds between looks where events may not tell of every change;
// -1: none.
int Period(const Notification *n)
{
	return n->fd < 0 || n->remote || n->parentUnseen ? LOOK_PERIOD : -1;
}

// After a period without events: the directory's fate, and for a starved
// handle a new try at an instance. The file's watch is left as it is: where
// it may miss a change, the looks go on.
void LookAgain(Notification *n)
{
	n->lookDue = -1;
	if (n->fd < 0)
		Connect(n);
	if (!StillThere(n))
		n->phase = LOST;
}

// Whether the kernel refused for lack of resources, not for the directory.
bool Starved(int error)
{
	return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOSPC;
}

// Whether this user may read the directory. A check the kernel refuses
// (older container filters answer faccessat2 with EPERM) is no verdict:
// opening the directory then tells, and where no descriptor is left for
// that either, it is taken for readable.
static bool Readable(const char *path)
{
	if (faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0)
		return true;
	if (errno != EPERM && errno != ENOSYS)
		return false;
	const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return errno == EMFILE || errno == ENFILE;
	close(fd);
	return true;
}

// Without an instance, whether a watch could be had at all: a directory
// this user can read.
bool Watchable(Notification *n)
{
	struct stat st;
	if (stat(n->path, &st) != 0 || !S_ISDIR(st.st_mode) || !Readable(n->path))
		return false;
	n->dev = st.st_dev;
	n->ino = st.st_ino;
	return true;
}
