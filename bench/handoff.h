/* handoff.h - the least a waiter can do to leave the teardown of its inotify
 * instance to a helper: close everything else, start a helper that shares
 * memory and descriptors ("clone") or copies them ("fork"), and let it close
 * the instance once the parent-death signal says the waiter is gone. */
#define _GNU_SOURCE
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

static pid_t handoff_parent;
static char handoff_stack[16384] __attribute__((aligned(16)));

static int handoff_helper(void *fd)
{
	sigset_t death;

	sigemptyset(&death);
	sigaddset(&death, SIGUSR1);
	sigprocmask(SIG_BLOCK, &death, NULL);
	if (prctl(PR_SET_PDEATHSIG, SIGUSR1) == 0)
		while (getppid() == handoff_parent)
			sigwaitinfo(&death, NULL);
	close(*(int *)fd);
	return 0;
}

static void hand_off(const char *how, int *fd)
{
	if ((*fd > 0 && close_range(0, *fd - 1, 0) != 0) || close_range(*fd + 1, ~0U, 0) != 0)
		return;
	handoff_parent = getpid();
	if (strcmp(how, "clone") == 0) {
		clone(handoff_helper, handoff_stack + sizeof handoff_stack, CLONE_VM | CLONE_FILES | SIGCHLD, fd);
	} else if (fork() == 0) {
		handoff_helper(fd);
		_exit(0);
	}
}
