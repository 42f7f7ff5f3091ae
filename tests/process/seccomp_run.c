/* seccomp_run.c - runs a command under a seccomp filter that kills the
 * process at the first call of the end's hand-off (inotify_rm_watch,
 * io_uring_setup, io_uring_register), as a filter written for the plain
 * program would. Exit code 77 when no filter can be installed here.
 *
 *   seccomp_run COMMAND [ARG...] */
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#define KILL_ON(nr) \
	BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (nr), 0, 1), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS)

int main(int argc, char **argv)
{
	struct sock_filter code[] = {
		BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
		KILL_ON(__NR_inotify_rm_watch),
		KILL_ON(__NR_io_uring_setup),
		KILL_ON(__NR_io_uring_register),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
	};
	struct sock_fprog prog = {sizeof code / sizeof code[0], code};

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
