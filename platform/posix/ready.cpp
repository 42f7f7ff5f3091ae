// ready.cpp - the sleep until the instance has events, a mount or unmount
// happened, or a time has passed.
//
// poll(2) does it. A seccomp filter written for other programs may refuse
// poll, or select, or epoll: each refusal moves the wait, for good, to the
// next of these, and past them to a blocking read that an interval timer's
// signal ends. Each way keeps the wait's period, so the looks go on
// where events do not tell of every change. A way that claims the time has
// passed before it has counts as refused: that is what a filter answering
// 0 would do, and trusting it would spin. Where no way is left, Ready says
// so, and the wait fails rather than spin or sleep for ever. The blocking
// read sees no mount table.
#include "notify.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/select.h>
#include <sys/time.h>
#include <unistd.h>

enum Way { POLL, SELECT, EPOLL, TIMER, NONE };
static Way Using = POLL;

// The result of one way: READY_* bits, 0 for the time passed, and -1 with
// errno set when the call failed.
static int ByPoll(int fd, int table, int ms)
{
	struct pollfd p[2];
	nfds_t count = 0;
	if (fd >= 0)
		p[count++] = {fd, POLLIN, 0};
	if (table >= 0)
		p[count++] = {table, POLLPRI, 0};
	const int got = poll(p, count, ms);
	if (got <= 0)
		return got;
	int ready = 0;
	for (nfds_t i = 0; i < count; i++)
		if (p[i].revents != 0)
			ready |= p[i].fd == fd ? READY_EVENTS : READY_MOUNTS;
	return ready;
}

// The mount table always reads as readable; its change shows as an
// exceptional condition.
static int BySelect(int fd, int table, int ms)
{
	if (fd >= FD_SETSIZE || table >= FD_SETSIZE) {
		errno = EBADF;
		return -1;
	}
	fd_set in, changed;
	FD_ZERO(&in);
	FD_ZERO(&changed);
	if (fd >= 0)
		FD_SET(fd, &in);
	if (table >= 0)
		FD_SET(table, &changed);
	struct timeval tv = {ms / 1000, static_cast<suseconds_t>(ms % 1000) * 1000};
	const int got = select((fd > table ? fd : table) + 1, &in, nullptr, &changed, ms < 0 ? nullptr : &tv);
	if (got <= 0)
		return got;
	return (fd >= 0 && FD_ISSET(fd, &in) ? READY_EVENTS : 0) |
	       (table >= 0 && FD_ISSET(table, &changed) ? READY_MOUNTS : 0);
}

static int ByEpoll(int fd, int table, int ms)
{
	static int ep = -1, added = -1;
	if (ep < 0) {
		ep = epoll_create1(EPOLL_CLOEXEC);
		if (ep < 0)
			return -1;
		struct epoll_event ev = {};
		ev.events = EPOLLPRI;
		ev.data.u32 = READY_MOUNTS;
		if (table >= 0 && epoll_ctl(ep, EPOLL_CTL_ADD, table, &ev) != 0)
			return -1;
	}
	// A starved handle's instance may come later.
	if (fd != added && fd >= 0) {
		struct epoll_event ev = {};
		ev.events = EPOLLIN;
		ev.data.u32 = READY_EVENTS;
		if (epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev) != 0)
			return -1;
		added = fd;
	}
	struct epoll_event evs[2];
	const int got = epoll_wait(ep, evs, 2, ms);
	if (got <= 0)
		return got;
	int ready = 0;
	for (int i = 0; i < got; i++)
		ready |= static_cast<int>(evs[i].data.u32);
	return ready;
}

// The instance the blocking read waits on. The timer's signal makes it
// non-blocking, so that a signal that comes just before the read starts
// ends it at once rather than leaving it asleep for good; with SA_RESTART,
// every other call the signal meets simply goes on.
static volatile sig_atomic_t Sleeper = -1;

static void Woken(int)
{
	const int saved = errno;
	if (Sleeper >= 0)
		(void)fcntl(Sleeper, F_SETFL, O_NONBLOCK);
	errno = saved;
}

// Arms a one-shot timer whose signal ends the blocking read, or a starved
// handle's sigsuspend, after ms milliseconds.
static bool ArmTimer(int ms)
{
	static bool handled;
	if (!handled) {
		struct sigaction sa = {};
		sa.sa_handler = Woken;
		sa.sa_flags = SA_RESTART;
		handled = sigaction(SIGALRM, &sa, nullptr) == 0;
		if (!handled)
			return false;
	}
	const struct itimerval it = {{0, 0}, {ms / 1000, static_cast<suseconds_t>(ms % 1000) * 1000}};
	return setitimer(ITIMER_REAL, &it, nullptr) == 0;
}

// The read that follows blocks until events or the signal (the read then
// finds the instance non-blocking and returns EAGAIN). A starved handle has
// no read: it sleeps here, with the signal held back until sigsuspend lets
// it in, so that it cannot come too early.
static int ByTimer(int fd, int, int ms)
{
	if (ms == 0)
		return 0;
	if (fd >= 0) {
		Sleeper = fd;
		if (fcntl(fd, F_SETFL, 0) != 0 || (ms > 0 && !ArmTimer(ms)))
			return -1;
		return READY_EVENTS;
	}
	sigset_t alarm, before;
	sigemptyset(&alarm);
	sigaddset(&alarm, SIGALRM);
	if (ms < 0) {
		errno = ENOSYS;  // nothing would ever end the sleep
		return -1;
	}
	if (sigprocmask(SIG_BLOCK, &alarm, &before) != 0)
		return -1;
	const int got = ArmTimer(ms) ? sigsuspend(&before) : -1;  // EINTR at the signal
	const int saved = errno;
	(void)sigprocmask(SIG_SETMASK, &before, nullptr);
	errno = saved;
	return got;
}

int Ready(int fd, int ms)
{
	static int (*const WAYS[])(int, int, int) = {ByPoll, BySelect, ByEpoll, ByTimer};
	const int table = MountTable();
	while (Using != NONE) {
		const long long before = NowMs();
		const int got = WAYS[Using](fd, table, ms);
		if (got < 0 && errno == EINTR)
			return 0;  // the caller counts what is left
		if (got > 0 || (got == 0 && ms >= 0 && NowMs() - before >= ms))
			return got;
		Using = static_cast<Way>(Using + 1);
	}
	return NO_SLEEP;
}
