// notify.cpp - the change notification calls over one inotify instance.
//
// One inotify instance stands for one notification handle. It watches the
// directory and its parent, which tell the directory's fate (directory.cpp),
// and the named file itself, wherever its name leads (follow.cpp). Where
// events may not tell of every change, a wait also ends after a period, and
// the caller looks again (looks.cpp).
//
// The kernel queues events, so a change made after a wait returned and
// before the next wait is not lost: the next read returns at once. A wait
// blocks in poll(2), with a time-out only where the looks need one.
#include "handoff.h"
#include "notify.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// The program holds one handle; a few more serve callers that open several.
// Only the slots handed out so far are gone through: each is a few pages,
// which a program with one handle never touches.
static Notification Slots[8];
static int SlotsUsed;

// Not on the stack: the program runs under small stack limits too.
alignas(struct inotify_event) static char Events[16384];

static const uint32_t SELF_EVENTS = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

static Notification *FreeSlot()
{
	for (int i = 0; i < SlotsUsed; i++)
		if (Slots[i].phase == FREE)
			return &Slots[i];
	return SlotsUsed < static_cast<int>(sizeof Slots / sizeof Slots[0]) ? &Slots[SlotsUsed++] : nullptr;
}

// The file's watch first, so that the directory's is added once, with the
// mask it keeps.
static bool SetUp(Notification *n)
{
	n->fileWatch = -1;
	n->hopCount = 0;
	n->name = NAME_FOLLOWED;
	n->dirMask = DirectoryEvents(n->filter, !WatchFile(n));
	n->dirWatch = inotify_add_watch(n->fd, n->path, n->dirMask);
	if (n->dirWatch < 0)
		return false;
	WatchParent(n);
	// Replaced while the watches were being set up, or already deleted:
	// the watch may be on another directory than the path leads to.
	if (StillThere(n))
		return true;
	errno = ESTALE;
	return false;
}

bool Connect(Notification *n)
{
	n->fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
	if (n->fd < 0)
		return false;
	if (SetUp(n))
		return true;
	const int error = errno;
	close(n->fd);
	n->fd = -1;
	errno = error;
	return false;
}

extern "C" HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR directory, BOOL, DWORD filter)
{
	Notification *n = FreeSlot();
	struct stat before;
	if (n == nullptr || strlen(directory) >= sizeof n->path || stat(directory, &before) != 0)
		return INVALID_HANDLE_VALUE;
	strcpy(n->path, directory);
	n->dev = before.st_dev;
	n->ino = before.st_ino;
	n->filter = filter;
	n->remote = IsRemote(directory);
	n->lookDue = -1;
	if (!Connect(n) && !(Starved(errno) && Watchable(n)))
		return INVALID_HANDLE_VALUE;
	n->phase = WATCHING;
	PrepareHandOff();
	return n;
}

// Whether an event tells of a change of the file or in the directory, and
// whether it asks for a look at the directory's fate. An event that says
// the name may now lead to another file marks the file's watch to follow.
static bool Signals(Notification *n, const struct inotify_event *ev, bool *look)
{
	if (ev->mask & IN_Q_OVERFLOW) {
		*look = true;
		n->name = NAME_MAY_MOVE;
		return true;
	}
	// A hop's directory may be the parent's, or the directory itself.
	const bool hop = HopChanged(n, ev);
	if (hop)
		n->name = NAME_MAY_MOVE;
	if (ev->wd == n->parentWatch) {
		if (ParentAsksLook(n, ev))
			*look = true;
		return hop;
	}
	if (ev->wd == n->fileWatch) {
		NoteWriter(ev->mask);
		if (!(ev->mask & (IN_MODIFY | IN_CLOSE_WRITE)))
			n->name = NAME_MAY_MOVE;
		return true;
	}
	if (ev->wd != n->dirWatch)
		return hop;  // a hop's directory, or a file's watch let go of
	if (ev->mask & IN_IGNORED)
		n->phase = LOST;
	if (ev->mask & SELF_EVENTS) {
		*look = true;
		return (ev->mask & IN_IGNORED) != 0;
	}
	if (ev->mask & ENTRY_EVENTS)
		n->name = NAME_MAY_MOVE;
	return !PassesOver(n, ev);
}

// Milliseconds until end, none less than 0; -1 where there is no end.
static int Until(long long end)
{
	if (end < 0)
		return -1;
	const long long left = end - NowMs();
	return left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// The earlier of two moments, where -1 is none.
static long long Sooner(long long a, long long b)
{
	return a < 0 ? b : b < 0 || a < b ? a : b;
}

// Takes in what is queued and returns once something in the directory has
// changed, the file has, the directory is lost, the mount table has
// changed, or a look is due. Events for other entries of the parent are
// passed over here and never wake the caller.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
	Notification *n = static_cast<Notification *>(object);
	const long long bound = milliseconds == INFINITE ? -1 : NowMs() + milliseconds;
	if (n->name == NAME_MOVED && n->phase != LOST) {
		n->name = NAME_FOLLOWED;
		return WAIT_OBJECT_0;
	}
	while (n->phase != LOST) {
		const int period = Period(n);
		if (period < 0)
			n->lookDue = -1;
		else if (n->lookDue < 0)
			n->lookDue = NowMs() + period;
		const int ready = Ready(n->fd, Until(Sooner(bound, n->lookDue)));
		if (ready == NO_SLEEP)
			return WAIT_FAILED;
		if (ready == 0) {
			const long long now = NowMs();
			if (n->lookDue >= 0 && now >= n->lookDue) {
				LookAgain(n);
				return WAIT_OBJECT_0;
			}
			if (bound >= 0 && now >= bound)
				return WAIT_TIMEOUT;
			continue;  // broken off by a signal
		}
		if (ready & READY_MOUNTS) {
			n->name = NAME_MAY_MOVE;
			if (!StillThere(n))
				n->phase = LOST;
			return WAIT_OBJECT_0;
		}
		const ssize_t got = read(n->fd, Events, sizeof Events);
		if (got < 0 && (errno == EINTR || errno == EAGAIN))
			continue;
		if (got <= 0)
			return WAIT_FAILED;
		bool signalled = false, look = false;
		for (const char *p = Events; p < Events + got;) {
			const struct inotify_event *ev = reinterpret_cast<const struct inotify_event *>(p);
			signalled = Signals(n, ev, &look) || signalled;
			p += sizeof *ev + ev->len;
		}
		if (look && n->phase != LOST && !StillThere(n))
			n->phase = LOST;
		if (signalled || n->phase == LOST)
			return WAIT_OBJECT_0;
	}
	return WAIT_FAILED;
}

// A look through a path that no longer leads to the directory watched
// would read another directory's file: it counts for nothing, and the
// handle is lost.
bool WatchedPathsHold(void)
{
	bool hold = true;
	for (int i = 0; i < SlotsUsed; i++) {
		Notification &n = Slots[i];
		if (n.phase == WATCHING && !StillThere(&n))
			n.phase = LOST;
		if (n.phase == LOST)
			hold = false;
	}
	return hold;
}

extern "C" BOOL WINAPI FindNextChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	FollowName(n);
	return n->phase != LOST;
}

extern "C" BOOL WINAPI FindCloseChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	const bool ok = n->fd < 0 || close(n->fd) == 0;
	n->phase = FREE;
	return ok;
}

// The watches go first: that lets the directories go at once, and the
// kernel then has no marks left to free one by one when the instances are
// finally torn down.
void HandOffNotifications(void)
{
	int fds[sizeof Slots / sizeof Slots[0]];
	int count = 0;
	if (!HandOffReady())
		return;
	for (int i = 0; i < SlotsUsed; i++) {
		const Notification &n = Slots[i];
		if (n.phase == FREE || n.fd < 0)
			continue;
		inotify_rm_watch(n.fd, n.dirWatch);
		if (n.parentWatch >= 0)
			inotify_rm_watch(n.fd, n.parentWatch);
		if (n.fileWatch >= 0)
			inotify_rm_watch(n.fd, n.fileWatch);
		for (int h = 0; h < n.hopCount; h++)
			inotify_rm_watch(n.fd, n.hops[h].wd);
		fds[count++] = n.fd;
	}
	if (count > 0)
		HandOffDescriptors(fds, count);
}
