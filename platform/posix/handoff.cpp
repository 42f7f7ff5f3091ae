// handoff.cpp - the kernel, not the caller, waits for inotify's teardown.
//
// Closing the last reference to an inotify instance makes the closing task
// wait until the kernel has freed its marks, which includes an RCU grace
// period: a fraction of a millisecond on one host, ten and more on another.
// Process exit does that close before the parent is told of the exit, so the
// caller would wait for it. Instead, at the very end, the instances are
// registered as the fixed files of a one-entry io_uring instance and their
// ordinary descriptors are closed. The exit then drops the ring, whose
// teardown, and with it the instances', runs later in a kernel worker. No
// process or thread is started, and the ring holds nothing but the
// instances: not the working directory, not a pipe, not the executable.
//
// The ring is made while the watch is set up: making it costs tens of
// microseconds, registering in it a few. Nothing is registered before the
// end, so a process killed while it waits tears its instances down in its
// exit, as it always did. Where the kernel refuses io_uring (too old,
// switched off by sysctl or a security module, a limit), there is no ring
// and the process simply ends as it would have.
#include "handoff.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

// Reads the Seccomp line of /proc/self/status with open, read and close,
// calls this program makes anyway; asking prctl(2) would be a new one. The
// line comes after the Groups line, which for a member of many groups runs
// to hundreds of kilobytes, so the file is read to the line in pieces.
static bool UnderSeccomp()
{
	static const char KEY[] = "Seccomp:";
	static char chunk[4096];
	const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return true;  // cannot tell: assume a filter
	size_t matched = 0;  // characters of KEY at the start of this line
	bool other = false;  // this line is another one
	for (;;) {
		const ssize_t n = read(fd, chunk, sizeof chunk);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0) {
			close(fd);
			return n < 0;  // at the end: a kernel without seccomp
		}
		for (ssize_t i = 0; i < n; i++) {
			const char c = chunk[i];
			if (c == '\n') {
				matched = 0;
				other = false;
			} else if (other || ((c == ' ' || c == '\t') && matched == sizeof KEY - 1)) {
				continue;
			} else if (matched < sizeof KEY - 1) {
				other = c != KEY[matched++];
			} else {
				close(fd);
				return c != '0';
			}
		}
	}
}

static int Ring = -1;

void PrepareHandOff(void)
{
	static bool tried;
	if (tried)
		return;
	tried = true;
	if (UnderSeccomp())
		return;
	struct io_uring_params params;
	memset(&params, 0, sizeof params);
	Ring = static_cast<int>(syscall(__NR_io_uring_setup, 1, &params));
	if (Ring < 0)
		return;
	// Every stamp opens the file: under a descriptor limit the ring must
	// not take the last free descriptor, or no stamp could be read again.
	const int probe = fcntl(Ring, F_DUPFD_CLOEXEC, 0);
	if (probe < 0) {
		close(Ring);
		Ring = -1;
		return;
	}
	close(probe);
}

bool HandOffReady(void)
{
	return Ring >= 0;
}

bool HandOffDescriptors(const int *fds, int count)
{
	if (Ring < 0 || syscall(__NR_io_uring_register, Ring, IORING_REGISTER_FILES, fds, count) != 0)
		return false;
	// The ring holds them now; its descriptor goes with the exit.
	for (int i = 0; i < count; i++)
		close(fds[i]);
	return true;
}
