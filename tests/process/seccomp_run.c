/* seccomp_run.c - runs a command under a seccomp filter, as a container's
 * filter written for other programs would install it. With no option, the
 * filter kills the process at the first call of the end's hand-off
 * (inotify_rm_watch, io_uring_setup, io_uring_register). Each option
 * instead refuses a group of calls:
 *
 *   --refuse-poll       poll, ppoll: ENOSYS
 *   --refuse-select     select, pselect6: ENOSYS
 *   --refuse-epoll      epoll_create, epoll_create1, epoll_wait, epoll_pwait: ENOSYS
 *   --refuse-timer      setitimer, pause, rt_sigsuspend, nanosleep, clock_nanosleep: ENOSYS
 *   --refuse-statfs     statfs, fstatfs: ENOSYS
 *   --refuse-faccessat2 faccessat2: EPERM, as older container profiles answer
 *   --starve            inotify_init, inotify_init1: EMFILE, no instance left
 *
 *   seccomp_run [OPTION]... COMMAND [ARG...]
 *
 * Exit code 77 when no filter can be installed here. */
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

#ifndef __NR_faccessat2
#define __NR_faccessat2 439
#endif

struct group {
	const char *option;
	unsigned ret;
	long calls[6];  /* ended by -1 */
};

static const struct group GROUPS[] = {
	{"--refuse-poll", SECCOMP_RET_ERRNO | ENOSYS, {
#ifdef __NR_poll
	 __NR_poll,
#endif
	 __NR_ppoll, -1}},
	{"--refuse-select", SECCOMP_RET_ERRNO | ENOSYS, {
#ifdef __NR_select
	 __NR_select,
#endif
	 __NR_pselect6, -1}},
	{"--refuse-epoll", SECCOMP_RET_ERRNO | ENOSYS, {
#ifdef __NR_epoll_create
	 __NR_epoll_create, __NR_epoll_wait,
#endif
	 __NR_epoll_create1, __NR_epoll_pwait, -1}},
	{"--refuse-timer", SECCOMP_RET_ERRNO | ENOSYS, {
#ifdef __NR_pause
	 __NR_pause,
#endif
	 __NR_setitimer, __NR_rt_sigsuspend, __NR_nanosleep, __NR_clock_nanosleep, -1}},
	{"--refuse-statfs", SECCOMP_RET_ERRNO | ENOSYS, {__NR_statfs, __NR_fstatfs, -1}},
	{"--refuse-faccessat2", SECCOMP_RET_ERRNO | EPERM, {__NR_faccessat2, -1}},
	{"--starve", SECCOMP_RET_ERRNO | EMFILE, {
#ifdef __NR_inotify_init
	 __NR_inotify_init,
#endif
	 __NR_inotify_init1, -1}},
};

static const long HAND_OFF[] = {__NR_inotify_rm_watch, __NR_io_uring_setup, __NR_io_uring_register, -1};

static struct sock_filter filter[128];
static unsigned short length;

static void Add(const long *calls, unsigned ret)
{
	for (; *calls >= 0; calls++) {
		filter[length++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)*calls, 0, 1);
		filter[length++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, ret);
	}
}

int main(int argc, char **argv)
{
	int arg = 1;
	filter[length++] = (struct sock_filter)BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr));
	for (; arg < argc && strncmp(argv[arg], "--", 2) == 0; arg++) {
		size_t i = 0;
		while (i < sizeof GROUPS / sizeof GROUPS[0] && strcmp(argv[arg], GROUPS[i].option) != 0)
			i++;
		if (i == sizeof GROUPS / sizeof GROUPS[0]) {
			fprintf(stderr, "seccomp_run: unknown option %s\n", argv[arg]);
			return 2;
		}
		Add(GROUPS[i].calls, GROUPS[i].ret);
	}
	if (arg == 1)
		Add(HAND_OFF, SECCOMP_RET_KILL_PROCESS);
	filter[length++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
	if (arg >= argc)
		return 2;
	struct sock_fprog prog = {length, filter};
	if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
	    syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER, 0, &prog) != 0) {
		perror("seccomp_run: no filter can be installed");
		return 77;
	}
	execv(argv[arg], argv + arg);
	perror("seccomp_run: exec");
	return 127;
}
