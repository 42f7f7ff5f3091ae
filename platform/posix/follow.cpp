// follow.cpp - the named file's own watch, which follows its name.
//
// A write through another of the file's names (a hard link, a symbolic
// link's target, a bind mount's source) reaches its inode's watch and no
// directory's, so the file the program was named is watched by itself as
// well, wherever its name leads. While that watch stands, the directory
// reports only entries created, removed and renamed, so writes to other
// files wake no one. The watch follows the name whenever an event says it
// may have come to lead elsewhere, and does so when the caller asks for the
// next notification, not before the caller's look: a look that ends the
// wait needs no new watch. A watch that moved makes the next wait return at
// once, so that the caller looks again after the arming and misses no write
// made in between.
#include "commandline.h"
#include "notify.h"

#include <sys/stat.h>

// A write, a truncation and a set modification time each change the
// last-write time: IN_MODIFY covers the first two, IN_ATTRIB the third. A
// change of the link count, a rename over it and a deletion come as
// IN_ATTRIB, IN_MOVE_SELF and IN_DELETE_SELF: its name may lead elsewhere.
static const uint32_t FILE_EVENTS = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// Points the file's own watch at what its name now leads to, if that is a
// regular file, and lets the old one go. Says whether the directory must
// then report writes to every file: while something is at the name that
// has no watch of its own (a file this user cannot read, a FIFO), or when
// no file was named. A name that leads nowhere can only come to lead
// somewhere by an entry of the directory.
bool WatchFile(Notification *n)
{
	const char *name = NamedFile();
	if (name == nullptr || *name == '\0')
		return true;
	WatchHops(n);
	struct stat st;
	const bool present = stat(name, &st) == 0;
	int wd = -1;
	if (present && S_ISREG(st.st_mode) && (n->filter & FILE_NOTIFY_CHANGE_LAST_WRITE)) {
		wd = inotify_add_watch(n->fd, name, FILE_EVENTS | WriterEvents());
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
	const uint32_t mask = DirectoryEvents(n->filter, !WatchFile(n));
	if (mask == n->dirMask)
		return true;
	n->dirMask = mask;
	const int dir = inotify_add_watch(n->fd, n->path, mask);
	if (dir == n->dirWatch)
		return true;
	if (dir >= 0)
		inotify_rm_watch(n->fd, dir);
	return false;
}

// Where an event said the name may lead elsewhere, moves the file's watch
// there; a watch or a mask that moved makes the next wait return at once.
void FollowName(Notification *n)
{
	if (n->name != NAME_MAY_MOVE || n->fd < 0 || n->phase == LOST)
		return;
	const int file = n->fileWatch;
	const uint32_t mask = n->dirMask;
	n->name = NAME_FOLLOWED;
	if (!ArmFile(n)) {
		if (!StillThere(n))
			n->phase = LOST;
		return;
	}
	if (n->fileWatch != file || n->dirMask != mask)
		n->name = NAME_MOVED;
}
