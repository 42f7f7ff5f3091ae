// handoff.cpp - a helper takes over the last references to the inotify
// instances, so that the end of the process does not wait for their teardown.
//
// Closing the last reference to an inotify instance that holds a watch makes
// the closing task wait until the kernel has freed the watch, which includes
// an RCU grace period: a fraction of a millisecond on one host, ten and more
// on another. Process exit does that close before the parent is told of the
// exit, so the caller would wait for it. Instead, at the very end, a helper
// is started that shares this process's memory and descriptor table (so
// starting it copies neither). This process closes every other descriptor
// first: the helper holds nothing the caller may wait on, such as a pipe at
// standard output. The helper sleeps until the parent-death signal tells it
// that this process is gone, then closes the instances and exits; it is
// reaped by whoever reaps orphans. No helper exists while the program waits.
#include "handoff.h"

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

static struct {
	int fds[8];
	int count;
	pid_t parent;
} Kept;

// The helper's stack, in the memory it shares with this process; the
// helper makes a handful of system calls and nothing more.
alignas(16) static char HelperStack[16384];

// The parent-death signal is sent only after the parent has dropped its
// descriptor table, so the helper's references are then the last ones.
static int CloseAfterParent(void *)
{
	sigset_t death;
	sigemptyset(&death);
	sigaddset(&death, SIGUSR1);
	sigprocmask(SIG_BLOCK, &death, nullptr);
	// Without the signal there is no telling when the parent has gone;
	// closing at once is then right, if not fast.
	if (prctl(PR_SET_PDEATHSIG, SIGUSR1) == 0)
		while (getppid() == Kept.parent)
			sigwaitinfo(&death, nullptr);
	for (int i = 0; i < Kept.count; i++)
		close(Kept.fds[i]);
	return 0;
}

static bool CloseAllBut(const int *sorted, int count)
{
	unsigned int next = 0;
	for (int i = 0; i < count; i++) {
		const unsigned int fd = static_cast<unsigned int>(sorted[i]);
		if (fd > next && close_range(next, fd - 1, 0) != 0)
			return false;
		next = fd + 1;
	}
	return close_range(next, ~0U, 0) == 0;
}

bool HandOffDescriptors(const int *fds, int count)
{
	if (count <= 0 || count > static_cast<int>(sizeof Kept.fds / sizeof Kept.fds[0]))
		return false;
	for (int i = 0; i < count; i++) {
		int j = i;
		for (; j > 0 && Kept.fds[j - 1] > fds[i]; j--)
			Kept.fds[j] = Kept.fds[j - 1];
		Kept.fds[j] = fds[i];
	}
	Kept.count = count;
	Kept.parent = getpid();
	if (!CloseAllBut(Kept.fds, count))
		return false;
	return clone(CloseAfterParent, HelperStack + sizeof HelperStack, CLONE_VM | CLONE_FILES | SIGCHLD,
		     nullptr) > 0;
}
