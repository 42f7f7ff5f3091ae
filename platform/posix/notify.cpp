// notify.cpp - directory change notifications over inotify.
//
// One inotify instance stands for one notification handle. It watches the
// directory, and the directory's parent for the directory's own entry: the
// kernel tells a watch nothing when its directory is deleted while still in
// use (as the working directory of this or another process), renamed away
// or replaced, or when a symbolic link on the way to it is re-pointed. Each
// event for that entry, and each of the directory's own delete, move and
// unmount events, is followed by a look at whether the path still leads to
// the same, living directory; when it does not, the handle fails.
//
// The kernel queues events, so a change made after a wait returned and
// before the next wait is not lost: the next read returns at once. A wait
// blocks in read(2) and never polls.
#include "handoff.h"
#include "windows.h"

#include <errno.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

struct Notification {
	const char *entry;  // the directory's name in its parent; null: any directory
	dev_t dev;
	ino_t ino;
	int fd;
	int dirWatch;
	int parentWatch;  // -1 where the parent cannot be watched
	bool used;
	bool lost;  // the path no longer leads to the watched directory
	char path[PATH_MAX];
};

// The program holds one handle; a few more serve callers that open several.
static Notification Slots[8];

// Not on the stack: the program runs under small stack limits too.
alignas(struct inotify_event) static char Events[16384];

static const uint32_t ENTRY_EVENTS = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
static const uint32_t SELF_EVENTS = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

static uint32_t EventsFor(DWORD filter)
{
	uint32_t mask = IN_ONLYDIR | IN_DELETE_SELF | IN_MOVE_SELF;
	if (filter & FILE_NOTIFY_CHANGE_FILE_NAME)
		mask |= ENTRY_EVENTS;
	// A write, a truncation and a set modification time each change the
	// last-write time: IN_MODIFY covers the first two, IN_ATTRIB the third.
	if (filter & FILE_NOTIFY_CHANGE_LAST_WRITE)
		mask |= IN_MODIFY | IN_ATTRIB;
	return mask;
}

static Notification *FreeSlot()
{
	for (Notification &n : Slots)
		if (!n.used)
			return &n;
	return nullptr;
}

// Whether the path still leads to the directory first watched, and that
// directory still lives: "." leads to a deleted working directory too.
static bool StillThere(const Notification *n)
{
	struct stat st;
	return stat(n->path, &st) == 0 && st.st_dev == n->dev && st.st_ino == n->ino && st.st_nlink > 0;
}

// The parent of n->path as text, into parent, and the directory's name in
// it. A path that ends in "." or ".." names no entry; its parent is found
// through "..", and any directory entry there is the one. False for a root.
static bool FindParent(Notification *n, char *parent)
{
	size_t len = strlen(n->path);
	while (len > 1 && n->path[len - 1] == '/')
		len--;
	if (n->path[len - 1] == '/')
		return false;
	size_t name = len;
	while (name > 0 && n->path[name - 1] != '/')
		name--;
	const size_t nameLen = len - name;
	const char *last = n->path + name;
	if ((nameLen == 1 && last[0] == '.') || (nameLen == 2 && last[0] == '.' && last[1] == '.')) {
		if (len + 4 > PATH_MAX)
			return false;
		memcpy(parent, n->path, len);
		memcpy(parent + len, "/..", 4);
		n->entry = nullptr;
		return true;
	}
	if (name == 0) {
		memcpy(parent, ".", 2);
	} else {
		const size_t keep = name > 1 ? name - 1 : 1;  // "/x" keeps its root
		memcpy(parent, n->path, keep);
		parent[keep] = '\0';
	}
	n->path[len] = '\0';  // the name without trailing slashes
	n->entry = last;
	return true;
}

static void WatchParent(Notification *n)
{
	static char parent[PATH_MAX];
	struct stat st;
	n->parentWatch = -1;
	// A root is its own parent; watching it again would replace the
	// directory's own watch.
	if (!FindParent(n, parent) || stat(parent, &st) != 0 || (st.st_dev == n->dev && st.st_ino == n->ino))
		return;
	n->parentWatch = inotify_add_watch(n->fd, parent, ENTRY_EVENTS | IN_ONLYDIR);
}

static bool SetUp(Notification *n, LPCSTR directory, DWORD filter)
{
	struct stat before;
	if (strlen(directory) >= sizeof n->path || stat(directory, &before) != 0)
		return false;
	strcpy(n->path, directory);
	n->dev = before.st_dev;
	n->ino = before.st_ino;
	n->dirWatch = inotify_add_watch(n->fd, directory, EventsFor(filter));
	if (n->dirWatch < 0)
		return false;
	WatchParent(n);
	// Replaced while the watches were being set up, or already deleted:
	// the watch may be on another directory than the path leads to.
	return StillThere(n);
}

extern "C" HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR directory, BOOL, DWORD filter)
{
	Notification *n = FreeSlot();
	if (n == nullptr)
		return INVALID_HANDLE_VALUE;
	n->fd = inotify_init1(IN_CLOEXEC);
	if (n->fd < 0)
		return INVALID_HANDLE_VALUE;
	if (!SetUp(n, directory, filter)) {
		close(n->fd);
		return INVALID_HANDLE_VALUE;
	}
	n->used = true;
	n->lost = false;
	PrepareHandOff();
	return n;
}

// Whether an event tells of a change in the directory, and whether it asks
// for a look at the directory's fate.
static bool Signals(const Notification *n, const struct inotify_event *ev, bool *look)
{
	if (ev->mask & IN_Q_OVERFLOW) {
		*look = true;
		return true;
	}
	if (ev->wd == n->parentWatch) {
		// The parent itself gone, or an entry that may be the directory's.
		const bool mine = n->entry == nullptr ? (ev->mask & IN_ISDIR) != 0
		                                      : ev->len > 0 && strcmp(ev->name, n->entry) == 0;
		if (mine || (ev->mask & IN_IGNORED))
			*look = true;
		return false;
	}
	if (ev->mask & SELF_EVENTS) {
		*look = true;
		return (ev->mask & IN_IGNORED) != 0;
	}
	return true;
}

// Takes in what is queued and returns once something in the directory has
// changed or the directory is lost. Events for other entries of the parent
// are passed over here and never wake the caller.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD)
{
	Notification *n = static_cast<Notification *>(object);
	while (!n->lost) {
		ssize_t got;
		do
			got = read(n->fd, Events, sizeof Events);
		while (got < 0 && errno == EINTR);
		if (got <= 0)
			return WAIT_FAILED;
		bool signalled = false, look = false;
		for (const char *p = Events; p < Events + got;) {
			const struct inotify_event *ev = reinterpret_cast<const struct inotify_event *>(p);
			if (ev->wd == n->dirWatch && (ev->mask & IN_IGNORED))
				n->lost = true;
			signalled = Signals(n, ev, &look) || signalled;
			p += sizeof *ev + ev->len;
		}
		if (look && !n->lost && !StillThere(n))
			n->lost = true;
		if (signalled || n->lost)
			return WAIT_OBJECT_0;
	}
	return WAIT_FAILED;
}

extern "C" BOOL WINAPI FindNextChangeNotification(HANDLE notification)
{
	return !static_cast<Notification *>(notification)->lost;
}

extern "C" BOOL WINAPI FindCloseChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	const bool ok = close(n->fd) == 0;
	n->used = false;
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
	for (Notification &n : Slots) {
		if (!n.used)
			continue;
		inotify_rm_watch(n.fd, n.dirWatch);
		if (n.parentWatch >= 0)
			inotify_rm_watch(n.fd, n.parentWatch);
		fds[count++] = n.fd;
	}
	if (count > 0)
		HandOffDescriptors(fds, count);
}
