// mounts.cpp - the mount table, whose changes move what the names lead to.
//
// A mount or unmount on the watched directory, or on the file, or above
// them, raises no event on any watch: the directory's watch stays on the
// directory covered or uncovered, the file's on the file that was there.
// The kernel instead wakes a poll on /proc/self/mountinfo (POLLPRI) each
// time the mount table of this mount namespace changes, and at no other
// time, so a wait that includes it costs nothing while nothing is mounted.
// Each such change is a look at the directory's fate and a new follow of
// the file's watch. Where /proc is missing, mounts go unseen as they did.
#include "notify.h"

#include <fcntl.h>
#include <unistd.h>

int MountTable(void)
{
	static int fd = -2;
	if (fd != -2)
		return fd;
	fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return fd = -1;
	// Every stamp opens the file: under a descriptor limit the table must
	// not take the last free descriptor, or no stamp could be read again.
	const int probe = fcntl(fd, F_DUPFD_CLOEXEC, 0);
	if (probe < 0) {
		close(fd);
		return fd = -1;
	}
	close(probe);
	return fd;
}
