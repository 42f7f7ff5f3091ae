// looks.cpp - the looks made where events may not tell of every change.
//
// Some file systems change under this kernel without its knowledge (a
// network or FUSE file system written from its other side, remote.cpp), and
// the kernel may refuse an instance or a watch for lack of resources. In
// both cases a wait also ends after a period without an event, so that the
// caller looks again; a starved handle asks for its instance again at each
// look.
#include "notify.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// A change made elsewhere is seen within a second, at about sixty looks a
// minute, each a fraction of a millisecond of processor time.
static const int LOOK_PERIOD = 950;

// Milliseconds between looks where events may not tell of every change;
// -1: none.
int Period(const Notification *n)
{
	return n->fd < 0 || n->remote ? LOOK_PERIOD : -1;
}

// Waits for the instance to have events, or for ms milliseconds to pass
// (-1: for ever): true when it has them. Where poll is refused (a seccomp
// filter), the read blocks instead, as it did before there were looks, and
// a starved handle sleeps: refused, the wait must neither spin nor end.
bool Ready(Notification *n, int ms)
{
	struct pollfd p = {n->fd, POLLIN, 0};
	int got;
	do
		got = poll(n->fd < 0 ? nullptr : &p, n->fd < 0 ? 0 : 1, ms);
	while (got < 0 && errno == EINTR);
	if (got >= 0)
		return got > 0;
	if (n->fd >= 0)
		return fcntl(n->fd, F_SETFL, 0) == 0;
	const struct timespec period = {ms / 1000, ms % 1000 * 1000000L};
	nanosleep(&period, nullptr);
	return false;
}

// After a period without events: the directory's fate, and for a starved
// handle a new try at an instance. The file's watch is left as it is: where
// it may miss a change, the looks go on.
void LookAgain(Notification *n)
{
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

// Without an instance, whether a watch could be had at all: a directory
// this user can read.
bool Watchable(Notification *n)
{
	struct stat st;
	if (stat(n->path, &st) != 0 || !S_ISDIR(st.st_mode) ||
	    faccessat(AT_FDCWD, n->path, R_OK, AT_EACCESS) != 0)
		return false;
	n->dev = st.st_dev;
	n->ino = st.st_ino;
	return true;
}
