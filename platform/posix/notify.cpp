// notify.cpp - directory change notifications over inotify.
//
// One inotify instance with one watch stands for one notification handle.
// The kernel queues events, so a change made after a wait returned and
// before the next wait is not lost: the next read returns at once. A wait
// blocks in read(2) and never polls.
#include "handoff.h"
#include "windows.h"

#include <errno.h>
#include <sys/inotify.h>
#include <unistd.h>

struct Notification {
	int fd;
	bool used;
	bool lost;  // the watch is gone: the directory was deleted or unmounted
};

// The program holds one handle; a few more serve callers that open several.
static Notification Slots[8];

static uint32_t EventsFor(DWORD filter)
{
	uint32_t mask = IN_ONLYDIR;
	if (filter & FILE_NOTIFY_CHANGE_FILE_NAME)
		mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
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

extern "C" HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR directory, BOOL, DWORD filter)
{
	Notification *n = FreeSlot();
	if (n == nullptr)
		return INVALID_HANDLE_VALUE;
	const int fd = inotify_init1(IN_CLOEXEC);
	if (fd < 0)
		return INVALID_HANDLE_VALUE;
	if (inotify_add_watch(fd, directory, EventsFor(filter)) < 0) {
		close(fd);
		return INVALID_HANDLE_VALUE;
	}
	*n = Notification{fd, true, false};
	return n;
}

// Takes in what is queued. IN_IGNORED means the kernel dropped the watch;
// a queue overflow is simply one more notification.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD)
{
	Notification *n = static_cast<Notification *>(object);
	if (n->lost)
		return WAIT_FAILED;
	alignas(struct inotify_event) char buf[16384];
	ssize_t got;
	do
		got = read(n->fd, buf, sizeof buf);
	while (got < 0 && errno == EINTR);
	if (got <= 0)
		return WAIT_FAILED;
	for (const char *p = buf; p < buf + got;) {
		const struct inotify_event *ev = reinterpret_cast<const struct inotify_event *>(p);
		if (ev->mask & IN_IGNORED)
			n->lost = true;
		p += sizeof *ev + ev->len;
	}
	return WAIT_OBJECT_0;
}

extern "C" BOOL WINAPI FindNextChangeNotification(HANDLE notification)
{
	return !static_cast<Notification *>(notification)->lost;
}

extern "C" BOOL WINAPI FindCloseChangeNotification(HANDLE notification)
{
	Notification *n = static_cast<Notification *>(notification);
	const bool ok = close(n->fd) == 0;
	*n = Notification{};
	return ok;
}

void HandOffNotifications(void)
{
	int fds[sizeof Slots / sizeof Slots[0]];
	int count = 0;
	for (const Notification &n : Slots)
		if (n.used)
			fds[count++] = n.fd;
	if (count > 0)
		HandOffDescriptors(fds, count);
}
