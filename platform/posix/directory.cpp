// directory.cpp - the watched directory's fate, told by its and its parent's watch.
//
// The kernel tells a directory's watch nothing when the directory is
// deleted while still in use (as the working directory of this or another
// process), renamed away or replaced, or when a symbolic link on the way to
// it is re-pointed. So the parent is watched for the directory's own entry
// as well, and each event for that entry, and each of the directory's own
// delete, move and unmount events, is followed by a look at whether the
// path still leads to the same, living directory; when it does not, the
// handle is lost, and fails from then on.
#include "notify.h"

#include <string.h>
#include <sys/stat.h>

// The directory reports its entries created, removed and renamed, and,
// unless the named file has a watch of its own, writes to its files; the
// writers' tracking adds their writes and closes.
uint32_t DirectoryEvents(DWORD filter, bool entriesOnly)
{
	uint32_t mask = IN_ONLYDIR | IN_DELETE_SELF | IN_MOVE_SELF | WriterEvents();
	if (filter & FILE_NOTIFY_CHANGE_FILE_NAME)
		mask |= ENTRY_EVENTS;
	if ((filter & FILE_NOTIFY_CHANGE_LAST_WRITE) && !entriesOnly)
		mask |= IN_MODIFY | IN_ATTRIB;
	return mask;
}

// Whether the path still leads to the directory first watched, and that
// directory still lives: "." leads to a deleted working directory too.
bool StillThere(const Notification *n)
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

// A parent refused a watch (none left, or not this user's to read) leaves
// the directory's fate to the looks.
void WatchParent(Notification *n)
{
	static char parent[PATH_MAX];
	struct stat st;
	n->parentWatch = -1;
	n->parentUnseen = false;
	// A root is its own parent; watching it again would replace the
	// directory's own watch.
	if (!FindParent(n, parent) || stat(parent, &st) != 0 || (st.st_dev == n->dev && st.st_ino == n->ino))
		return;
	n->parentWatch = inotify_add_watch(n->fd, parent, ENTRY_EVENTS | IN_ONLYDIR);
	n->parentUnseen = n->parentWatch < 0;
}

// Whether an event of the parent's watch asks for a look at the
// directory's fate: the parent itself gone, or an entry that may be the
// directory's. No other entry of the parent ever wakes the caller.
bool ParentAsksLook(const Notification *n, const struct inotify_event *ev)
{
	const bool mine = n->entry == nullptr ? (ev->mask & IN_ISDIR) != 0
	                                      : ev->len > 0 && strcmp(ev->name, n->entry) == 0;
	return mine || (ev->mask & IN_IGNORED) != 0;
}
