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

// Puts into to, a buffer of PATH_MAX, where the link at from points: its
// target, relative to the link's own directory unless absolute. to may be
// from itself, whose target is then read into its free end. Where from is
// no link, to is never touched. False for no link, or no room.
static bool NextHop(const char *from, char *to)
{
	const size_t used = from == to ? strlen(from) + 1 : 0;
	if (used + 1 >= PATH_MAX)
		return false;
	char *target = to + used;
	const ssize_t len = readlink(from, target, PATH_MAX - used - 1);
	if (len < 0 || static_cast<size_t>(len) >= PATH_MAX - used - 1)
		return false;
	target[len] = '\0';
	const char *slash = strrchr(from, '/');
	const size_t keep = target[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - from) + 1;
	if (keep + static_cast<size_t>(len) >= PATH_MAX)
		return false;
	memmove(to + keep, target, static_cast<size_t>(len) + 1);
	if (from != to)
		memcpy(to, from, keep);
	return true;
}

// Watches the directory of the hop at path for its entries, as hop. The
// directory is the path up to its last slash, cut there for the call.
static bool WatchHop(Notification *n, char *path, Hop *hop)
{
	char *slash = strrchr(path, '/');
	const char *name = slash == nullptr ? path : slash + 1;
	if (strlen(name) > NAME_MAX)
		return false;
	strcpy(hop->name, name);
	if (slash == nullptr) {
		hop->wd = inotify_add_watch(n->fd, ".", HOP_EVENTS);
		return hop->wd >= 0;
	}
	char *end = slash == path ? slash + 1 : slash;  // the root keeps its slash
	const char cut = *end;
	*end = '\0';
	hop->wd = inotify_add_watch(n->fd, path, HOP_EVENTS);
	*end = cut;
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
	static int old[MAX_HOPS];
	const int oldCount = n->hopCount;
	for (int i = 0; i < oldCount; i++)
		old[i] = n->hops[i].wd;
	n->hopCount = 0;
	const char *from = NamedFile();
	while (from != nullptr && n->hopCount < MAX_HOPS && NextHop(from, at) &&
	       WatchHop(n, at, &n->hops[n->hopCount])) {
		n->hopCount++;
		from = at;
	}
	for (int i = 0; i < oldCount; i++)
		if (!Kept(n, old[i]))
			inotify_rm_watch(n->fd, old[i]);
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
