// hops.cpp - the symbolic links on the way from the name to the file.
//
// The file's watch is on the file the name finally leads to, and the
// directory's watch sees the name itself re-pointed. A link further on, in
// another directory, may be re-pointed too, or the file at its end
// replaced or created: so the directory of each hop, the link or file a
// link points to, is watched for its entries, and an entry event for the
// hop's name moves the file's watch. These watches report entries only,
// and other names' entries never wake the caller. Directories on the way
// that are themselves links are followed once, when the hop is watched.
#include "commandline.h"
#include "notify.h"

#include <string.h>
#include <unistd.h>

static const uint32_t HOP_EVENTS = ENTRY_EVENTS | IN_ONLYDIR | IN_MASK_ADD;

// Moves path on to where the link at path points: its target, relative to
// the link's own directory unless absolute. False for no link, or no room.
static bool NextHop(char *path)
{
	static char target[PATH_MAX];
	const ssize_t len = readlink(path, target, sizeof target - 1);
	if (len < 0)
		return false;
	target[len] = '\0';
	const char *slash = strrchr(path, '/');
	const size_t keep = target[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
	if (keep + static_cast<size_t>(len) >= PATH_MAX)
		return false;
	memcpy(path + keep, target, static_cast<size_t>(len) + 1);
	return true;
}

// Watches the directory of the hop at path for its entries, as hop.
static bool WatchHop(Notification *n, const char *path, Hop *hop)
{
	static char dir[PATH_MAX];
	const char *slash = strrchr(path, '/');
	const char *name = slash == nullptr ? path : slash + 1;
	if (strlen(name) > NAME_MAX)
		return false;
	strcpy(hop->name, name);
	const size_t keep = slash == nullptr ? 0 : slash == path ? 1 : static_cast<size_t>(slash - path);
	memcpy(dir, keep == 0 ? "." : path, keep == 0 ? 1 : keep);
	dir[keep == 0 ? 1 : keep] = '\0';
	hop->wd = inotify_add_watch(n->fd, dir, HOP_EVENTS);
	return hop->wd >= 0;
}

static bool Kept(const Notification *n, int wd)
{
	if (wd == n->dirWatch || wd == n->parentWatch)
		return true;
	for (int i = 0; i < n->hopCount; i++)
		if (n->hops[i].wd == wd)
			return true;
	return false;
}

// Follows the links from the name, up to the kernel's own limit, and
// watches each hop's directory; lets go of the hops no longer on the way.
void WatchHops(Notification *n)
{
	static char at[PATH_MAX];
	static Hop old[MAX_HOPS];
	const int oldCount = n->hopCount;
	memcpy(old, n->hops, sizeof old[0] * static_cast<size_t>(oldCount));
	n->hopCount = 0;
	const char *name = NamedFile();
	if (name != nullptr && strlen(name) < sizeof at) {
		strcpy(at, name);
		while (n->hopCount < MAX_HOPS && NextHop(at) && WatchHop(n, at, &n->hops[n->hopCount]))
			n->hopCount++;
	}
	for (int i = 0; i < oldCount; i++)
		if (!Kept(n, old[i].wd))
			inotify_rm_watch(n->fd, old[i].wd);
}

bool HopChanged(const Notification *n, const struct inotify_event *ev)
{
	for (int i = 0; i < n->hopCount; i++) {
		const Hop &h = n->hops[i];
		if (h.wd != ev->wd)
			continue;
		if ((ev->mask & IN_IGNORED) || (ev->len > 0 && strcmp(ev->name, h.name) == 0))
			return true;
	}
	return false;
}
