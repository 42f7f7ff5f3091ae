/* closecost.c - what the teardown of an inotify instance costs on this host,
 * and what handing it off costs instead.
 *
 *   closecost DIR N
 *
 * Prints N lines of five times in microseconds: closing an instance that
 * holds one watch on DIR; then, from fork to waitpid, a process that ends
 * holding an instance with a watch, one that hands that instance to the
 * kernel first, one whose instance holds no watch (so its close is cheap,
 * as on hosts without the slow teardown), and one that hands such an
 * instance to the kernel. */
#include "handoff.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

static double now_us(void)
{
	struct timespec t;

	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

static double close_once(const char *dir)
{
	int fd = inotify_init1(0);
	double t0;

	if (fd < 0 || inotify_add_watch(fd, dir, IN_MODIFY) < 0)
		exit(1);
	t0 = now_us();
	close(fd);
	return now_us() - t0;
}

static double end_once(const char *dir, int watch, int handoff)
{
	double t0 = now_us();
	pid_t pid = fork();

	if (pid == 0) {
		int fd = inotify_init1(0);
		int wd = fd >= 0 && watch ? inotify_add_watch(fd, dir, IN_MODIFY) : -1;

		if (fd < 0 || (watch && wd < 0))
			_exit(1);
		if (handoff) {
			prepare_handoff("kernel");
			hand_off("kernel", &fd, wd);
		}
		_exit(0);
	}
	waitpid(pid, NULL, 0);
	return now_us() - t0;
}

int main(int argc, char **argv)
{
	int n = argc > 2 ? atoi(argv[2]) : 300;
	double (*t)[5] = calloc(n > 0 ? n : 1, sizeof *t);

	if (argc < 2 || t == NULL)
		return 2;
	/* The kernel frees marks in a shared work item that the close of an
	 * instance waits for, and a hand-off leaves a teardown running after
	 * the end: each kind gets rounds of its own, so that it meets only
	 * what it leaves itself, after what came before has drained. */
	for (int k = 0; k < 5; k++) {
		usleep(200000);
		for (int i = 0; i < n; i++)
			t[i][k] = k == 0 ? close_once(argv[1]) : end_once(argv[1], k < 3, k % 2 == 0);
	}
	for (int i = 0; i < n; i++)
		printf("%.2f %.2f %.2f %.2f %.2f\n", t[i][0], t[i][1], t[i][2], t[i][3], t[i][4]);
	free(t);
	return 0;
}
