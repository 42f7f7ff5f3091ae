// handoff.h - ending without waiting for the kernel to tear down inotify.
#ifndef PLATFORM_POSIX_HANDOFF_H
#define PLATFORM_POSIX_HANDOFF_H

// Makes ready for the hand-off, once, while the watch is set up. Under a
// seccomp filter nothing is tried, then or at the end: a filter that kills
// on a call it does not expect must never turn a finished wait into a
// killed process.
void PrepareHandOff(void);

// Whether the end can hand descriptors off.
bool HandOffReady(void);

// Gives the kernel the last references to these descriptors, to be closed
// after this process has ended, and closes them here. False when it could
// not; they are then left open as they were.
bool HandOffDescriptors(const int *fds, int count);

// Removes every open notification's watches and hands its instance off;
// called on the way out.
void HandOffNotifications(void);

#endif
