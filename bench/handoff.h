/* handoff.h - the least a waiter can do so that its end does not wait for
 * the teardown of its inotify instance: give the instance's last reference
 * to the kernel ("kernel": remove the watch, register the instance as the
 * fixed file of a one-entry io_uring instance, close it), or to a helper
 * process that closes it once the parent-death signal says the waiter is
 * gone, sharing memory and descriptors ("clone") or copying them ("fork").
 * A helper outlives the waiter; the kernel's way leaves no process. */
#define _GNU_SOURCE
#include <linux/io_uring.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

static pid_t handoff_parent;
static int handoff_ring = -1;
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

/* The ring is made while the waiter sets up, as a waiter would: only the
 * registration and the close fall to the end. */
static void prepare_handoff(const char *how)
{
	struct io_uring_params p;

	memset(&p, 0, sizeof p);
	if (how != NULL && strcmp(how, "kernel") == 0)
		handoff_ring = syscall(__NR_io_uring_setup, 1, &p);
}

static void hand_to_kernel(int fd, int wd)
{
	if (wd >= 0)
		inotify_rm_watch(fd, wd);
	if (handoff_ring >= 0 && syscall(__NR_io_uring_register, handoff_ring, IORING_REGISTER_FILES, &fd, 1) == 0)
		close(fd);
}

static void hand_off(const char *how, int *fd, int wd)
{
	if (strcmp(how, "kernel") == 0) {
		hand_to_kernel(*fd, wd);
		return;
	}
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
