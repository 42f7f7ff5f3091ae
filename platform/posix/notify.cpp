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
// The file the program was named is watched by itself as well, wherever its
// name leads: a write through another of its names (a hard link, a
// symbolic link's target, a bind mount's source) reaches its inode's watch
// and no directory's. That watch follows the name whenever it may have come
// to lead elsewhere, and while it stands the directory reports only entries
// created, removed and renamed, so writes to other files wake no one. It
// follows when the caller asks for the next notification, not before the
// caller's look: a look that ends the wait needs no new watch. A watch that
// moved makes the next wait return at once, so that the caller looks again
// after the arming and misses no write made in between.
//
// Some file systems change under this kernel without its knowledge (a
// network or FUSE file system written from its other side), and the kernel
// may refuse an instance or a watch for lack of resources. In both cases the
// wait also ends after a period without an event, so that the caller looks
// again; a starved handle asks for its instance again at each look.
//
// The kernel queues events, so a change made after a wait returned and
// before the next wait is not lost: the next read returns at once. A wait
// blocks in poll(2), with a time-out only in the cases above.
#include "commandline.h"
#include "handoff.h"
#include "windows.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

struct Notification {
	const char *entry;  // the directory's name in its parent; null: any directory
	dev_t dev;
	ino_t ino;
	int fd;  // -1: starved, no instance yet
	int dirWatch;
	int parentWatch;  // -1 where the parent cannot be watched
	int fileWatch;    // -1 where the named file has no watch of its own
	bool dirAll;      // the directory reports writes to all its files
	bool follow;      // the name may lead elsewhere: re-arm before the next wait
	bool recheck;     // re-armed: the next wait returns at once
	DWORD filter;
	bool remote;  // the directory's file system, or the file's
	bool used;
	bool lost;  // the path no longer leads to the watched directory
	char path[PATH_MAX];
};

// A change made elsewhere is seen within a second, at about sixty looks a
// minute, each a fraction of a millisecond of processor time.
static const int LOOK_PERIOD = 950;

// The program holds one handle; a few more serve callers that open several.
static Notification Slots[8];

// Not on the stack: the program runs under small stack limits too.
alignas(struct inotify_event) static char Events[16384];

static const uint32_t ENTRY_EVENTS = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
static const uint32_t SELF_EVENTS = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

// A write, a truncation and a set modification time each change the
// last-write time: IN_MODIFY covers the first two, IN_ATTRIB the third. A
// change of the link count, a rename over it and a deletion come as
// IN_ATTRIB, IN_MOVE_SELF and IN_DELETE_SELF: its name may lead elsewhere.
static const uint32_t FILE_EVENTS = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

static uint32_t EventsFor(DWORD filter, bool entriesOnly)
{
	uint32_t mask = IN_ONLYDIR | IN_DELETE_SELF | IN_MOVE_SELF;
	if (filter & FILE_NOTIFY_CHANGE_FILE_NAME)
		mask |= ENTRY_EVENTS;
	if ((filter & FILE_NOTIFY_CHANGE_LAST_WRITE) && !entriesOnly)
		mask |= IN_MODIFY | IN_ATTRIB;
	return mask;
}

// File systems whose files can change without this kernel's knowing: the
// network's, the cluster's, and FUSE, behind which sshfs, rclone, virtiofs
// and the shares of virtual machines stand.
static const unsigned long REMOTE[] = {
	0x6969,      // NFS
	0x517b,      // SMB
	0xff534d42,  // CIFS
	0xfe534d42,  // SMB2
	0x01021997,  // 9P: WSL2's drives, QEMU's shares
	0x65735546,  // FUSE
	0x00c36400,  // Ceph
	0x0bd00bd0,  // Lustre
	0x47504653,  // GPFS
	0x5346414f,  // AFS
	0x6b414653,  // kAFS
	0x7461636f,  // OCFS2
	0x01161970,  // GFS2
	0x786f4256,  // VirtualBox shared folders
	0x73757245,  // Coda
	0x564c,      // NCP
	0x013111a8,  // IBRIX
	0x19830326,  // FhGFS / BeeGFS
	0x53464846,  // WSL1's drvfs
};

static bool IsRemote(const char *path)
{
	struct statfs fs;
	if (statfs(path, &fs) != 0)
		return false;
	for (unsigned long magic : REMOTE)
		if (static_cast<unsigned long>(fs.f_type) == magic)
			return true;
	return false;
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

// Milliseconds between looks where events may not tell of every change;
// -1: none.
static int Period(const Notification *n)
{
	return n->fd < 0 || n->remote ? LOOK_PERIOD : -1;
}

// Points the file's own watch at what its name now leads to, if that is a
// regular file, and lets the old one go. Says whether the directory must
// then report writes to every file: while something is at the name that
// has no watch of its own (a file this user cannot read, a FIFO), or when
// no file was named. A name that leads nowhere can only come to lead
// somewhere by an entry of the directory.
static bool WatchFile(Notification *n)
{
	const char *name = NamedFile();
	if (name == nullptr || *name == '\0')
		return true;
	struct stat st;
	const bool present = stat(name, &st) == 0;
	int wd = -1;
	if (present && S_ISREG(st.st_mode) && (n->filter & FILE_NOTIFY_CHANGE_LAST_WRITE)) {
		wd = inotify_add_watch(n->fd, name, FILE_EVENTS);
		// A symbolic link may lead from here to another file system.
		if (wd != n->fileWatch && !n->remote && st.st_dev != n->dev && IsRemote(name))
			n->remote = true;
	}
	if (n->fileWatch >= 0 && wd != n->fileWatch)
		inotify_rm_watch(n->fd, n->fileWatch);
	n->fileWatch = wd;
	return wd < 0 && present;
}

// Follows the name with the file's watch, and the directory's mask with
// it. False when the directory's watch would now land on another
// directory.
static bool ArmFile(Notification *n)
{
	const bool all = WatchFile(n);
	if (all == n->dirAll)
		return true;
	n->dirAll = all;
	const int dir = inotify_add_watch(n->fd, n->path, EventsFor(n->filter, !all));
	if (dir == n->dirWatch)
		return true;
	if (dir >= 0)
		inotify_rm_watch(n->fd, dir);
	return false;
}

// The file's watch first, so that the directory's is added once, with the
// mask it keeps.
static bool SetUp(Notification *n)
{
	n->fileWatch = -1;
	n->follow = n->recheck = false;
	n->dirAll = WatchFile(n);
	n->dirWatch = inotify_add_watch(n->fd, n->path, EventsFor(n->filter, !n->dirAll));
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

// Whether the kernel refused for lack of resources, not for the directory.
static bool Starved(int error)
{
	return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOSPC;
}

// A new instance with its watches; false with errno set when the kernel
// gives none.
static bool Connect(Notification *n)
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

// Without an instance, whether a watch could be had at all: a directory
// this user can read.
static bool Watchable(Notification *n)
{
	struct stat st;
	if (stat(n->path, &st) != 0 || !S_ISDIR(st.st_mode) || faccessat(AT_FDCWD, n->path, R_OK, AT_EACCESS) != 0)
		return false;
	n->dev = st.st_dev;
	n->ino = st.st_ino;
	return true;
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
	if (!Connect(n) && !(Starved(errno) && Watchable(n)))
		return INVALID_HANDLE_VALUE;
	n->used = true;
	n->lost = false;
	PrepareHandOff();
	return n;
}

// Whether an event tells of a change of the file or in the directory,
// whether it asks for a look at the directory's fate, and whether the name
// may now lead to another file.
static bool Signals(const Notification *n, const struct inotify_event *ev, bool *look, bool *follow)
{
	if (ev->mask & IN_Q_OVERFLOW) {
		*look = *follow = true;
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
	if (ev->wd == n->fileWatch) {
		if (!(ev->mask & IN_MODIFY))
			*follow = true;
		return true;
	}
	if (ev->wd != n->dirWatch)
		return false;  // a file's watch let go of
	if (ev->mask & SELF_EVENTS) {
		*look = true;
		return (ev->mask & IN_IGNORED) != 0;
	}
	if (ev->mask & ENTRY_EVENTS)
		*follow = true;
	return true;
}

// Waits for the instance to have events, or for ms milliseconds to pass
// (-1: for ever): true when it has them. Where poll is refused (a seccomp
// filter), the read blocks instead, as it did before there were looks, and
// a starved handle sleeps: refused, the wait must neither spin nor end.
static bool Ready(Notification *n, int ms)
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
static void LookAgain(Notification *n)
{
	if (n->fd < 0)
		Connect(n);
	n->lost = !StillThere(n);
}

// Takes in what is queued and returns once something in the directory has
// changed, the file has, the directory is lost, or a period has passed.
// Events for other entries of the parent are passed over here and never
// wake the caller.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
	Notification *n = static_cast<Notification *>(object);
	const int period = Period(n);
	const bool bounded =
	        milliseconds != INFINITE && (period < 0 || milliseconds < static_cast<DWORD>(period));
	if (n->recheck && !n->lost) {
		n->recheck = false;
		return WAIT_OBJECT_0;
	}
	while (!n->lost) {
		if (!Ready(n, bounded ? static_cast<int>(milliseconds) : period)) {
			if (bounded)
				return WAIT_TIMEOUT;
			LookAgain(n);
			return WAIT_OBJECT_0;
		}
		const ssize_t got = read(n->fd, Events, sizeof Events);
		if (got < 0 && (errno == EINTR || errno == EAGAIN))
			continue;
		if (got <= 0)
			return WAIT_FAILED;
		bool signalled = false, look = false, follow = false;
		for (const char *p = Events; p < Events + got;) {
			const struct inotify_event *ev = reinterpret_cast<const struct inotify_event *>(p);
			if (ev->wd == n->dirWatch && (ev->mask & IN_IGNORED))
				n->lost = true;
			signalled = Signals(n, ev, &look, &follow) || signalled;
			p += sizeof *ev + ev->len;
		}
		n->follow = n->follow || follow;
		if (look && !n->lost && !StillThere(n))
			n->lost = true;
		if (signalled || n->lost)
			return WAIT_OBJECT_0;
	}
	return WAIT_FAILED;
}

extern "C" BOOL WINAPI FindNextChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	if (n->follow && n->fd >= 0 && !n->lost) {
		const int file = n->fileWatch;
		const bool all = n->dirAll;
		n->follow = false;
		if (ArmFile(n))
			n->recheck = n->fileWatch != file || n->dirAll != all;
		else
			n->lost = !StillThere(n);
	}
	return !n->lost;
}

extern "C" BOOL WINAPI FindCloseChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	const bool ok = n->fd < 0 || close(n->fd) == 0;
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
		if (!n.used || n.fd < 0)
			continue;
		inotify_rm_watch(n.fd, n.dirWatch);
		if (n.parentWatch >= 0)
			inotify_rm_watch(n.fd, n.parentWatch);
		if (n.fileWatch >= 0)
			inotify_rm_watch(n.fd, n.fileWatch);
		fds[count++] = n.fd;
	}
	if (count > 0)
		HandOffDescriptors(fds, count);
}
