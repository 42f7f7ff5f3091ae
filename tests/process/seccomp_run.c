/* seccomp_run.c - runs a command under a seccomp filter that kills the
 * process at the first call of the end's hand-off (inotify_rm_watch,
 * io_uring_setup, io_uring_register), as a filter written for the plain
 * program would; with --refuse-poll, one that instead answers poll and
 * ppoll with ENOSYS. Exit code 77 when no filter can be installed here.
 *
 *   seccomp_run [--refuse-poll] COMMAND [ARG...] */
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#define KILL_ON(nr) \
	BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (nr), 0, 1), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS)
#define REFUSE(nr) \
	BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (nr), 0, 1), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS)
#define LOAD_NR BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr))
#define ALLOW BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)

int main(int argc, char **argv)
{
	struct sock_filter kill[] = {
		LOAD_NR, KILL_ON(__NR_inotify_rm_watch), KILL_ON(__NR_io_uring_setup), KILL_ON(__NR_io_uring_register), ALLOW,
	};
	struct sock_filter refuse[] = {LOAD_NR, REFUSE(__NR_poll), REFUSE(__NR_ppoll), ALLOW};
	const int poll = argc > 1 && strcmp(argv[1], "--refuse-poll") == 0;
	struct sock_fprog prog = {poll ? sizeof refuse / sizeof refuse[0] : sizeof kill / sizeof kill[0],
				  poll ? refuse : kill};

	argv += poll;
	argc -= poll;
	if (argc < 2)
		return 2;
	if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
	    syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER, 0, &prog) != 0) {
		perror("seccomp_run: no filter can be installed");
		return 77;
	}
	execv(argv[1], argv + 1);
	perror("seccomp_run: exec");
	return 127;
}
