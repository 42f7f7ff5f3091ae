/* closecost.c - how long closing an inotify instance with one watch takes on
 * this host: the teardown that an exiting waiter would otherwise wait for.
 *
 *   closecost DIR N    prints N close times in microseconds, one a line */
#include <stdio.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

static double now_us(void)
{
	struct timespec t;

	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

int main(int argc, char **argv)
{
	int n = argc > 2 ? atoi(argv[2]) : 500;

	for (int i = 0; i < n; i++) {
		int fd = inotify_init1(0);
		double t0;

		if (fd < 0 || inotify_add_watch(fd, argv[1], IN_MODIFY) < 0)
			return 1;
		t0 = now_us();
		close(fd);
		printf("%.2f\n", now_us() - t0);
	}
	return 0;
}
