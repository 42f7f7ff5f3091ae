/* floor.c - the least a waiter can do: one inotify watch on the directory,
 * a blocking read, a stat of the file. Built by run.py as the baseline.
 *
 *   floor FILE DIR [clone|fork]
 *
 * With a third argument it hands its instance to a helper at the end, so
 * that its exit does not wait for the instance's teardown: "clone" shares
 * memory and descriptor table with the helper, "fork" copies them. */
#define _GNU_SOURCE
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

static pid_t parent;
static char stack[16384] __attribute__((aligned(16)));

static int helper(void *fd)
{
	sigset_t death;

	sigemptyset(&death);
	sigaddset(&death, SIGUSR1);
	sigprocmask(SIG_BLOCK, &death, NULL);
	if (prctl(PR_SET_PDEATHSIG, SIGUSR1) == 0)
		while (getppid() == parent)
			sigwaitinfo(&death, NULL);
	close(*(int *)fd);
	return 0;
}

static void hand_off(const char *how, int *fd)
{
	if (close_range(0, *fd - 1, 0) != 0 || close_range(*fd + 1, ~0U, 0) != 0)
		return;
	parent = getpid();
	if (strcmp(how, "clone") == 0) {
		clone(helper, stack + sizeof stack, CLONE_VM | CLONE_FILES | SIGCHLD, fd);
	} else if (fork() == 0) {
		helper(fd);
		_exit(0);
	}
}

int main(int argc, char **argv)
{
	struct stat st;
	char buf[4096];
	int fd;

	if (argc < 3)
		return 2;
	fd = inotify_init1(0);
	if (fd < 0 || inotify_add_watch(fd, argv[2], IN_CREATE | IN_DELETE | IN_MOVED_FROM |
				IN_MOVED_TO | IN_MODIFY | IN_ATTRIB) < 0)
		return 1;
	for (;;) {
		if (stat(argv[1], &st) == 0 && st.st_size > 0)
			break;
		if (read(fd, buf, sizeof buf) <= 0)
			return 1;
	}
	if (argc > 3)
		hand_off(argv[3], &fd);
	return 0;
}
