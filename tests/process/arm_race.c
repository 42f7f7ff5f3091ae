/* arm_race.c - preloaded into changewait by the race test: writes the watched
 * file just before the directory watch is added, after the program took its
 * first stamp. No notification can report that write; only the look the
 * program takes once the watch is armed can see it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

int inotify_add_watch(int fd, const char *path, uint32_t mask)
{
	int (*real)(int, const char *, uint32_t) =
		(int (*)(int, const char *, uint32_t))dlsym(RTLD_NEXT, "inotify_add_watch");
	const char *file = getenv("ARM_RACE_FILE");
	if (file != NULL) {
		int out = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (out >= 0) {
			if (write(out, "data", 4) != 4)
				_exit(99);
			close(out);
		}
	}
	return real(fd, path, mask);
}
