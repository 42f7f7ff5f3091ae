/* floor.c - the least a waiter can do: one inotify watch on the directory,
 * a blocking read, a stat of the file. Built by run.py as the baseline.
 *
 *   floor FILE DIR [kernel|clone|fork]
 *
 * With a third argument it hands its instance to the kernel or to a helper
 * at the end, so that its exit does not wait for the instance's teardown. */
#include "handoff.h"

#include <sys/stat.h>

int main(int argc, char **argv)
{
	struct stat st;
	char buf[4096];
	int fd, wd;

	if (argc < 3)
		return 2;
	fd = inotify_init1(0);
	if (fd < 0)
		return 1;
	wd = inotify_add_watch(fd, argv[2], IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
			       IN_MODIFY | IN_ATTRIB);
	if (wd < 0)
		return 1;
	prepare_handoff(argc > 3 ? argv[3] : NULL);
	for (;;) {
		if (stat(argv[1], &st) == 0 && st.st_size > 0)
			break;
		if (read(fd, buf, sizeof buf) <= 0)
			return 1;
	}
	if (argc > 3)
		hand_off(argv[3], &fd, wd);
	return 0;
}
