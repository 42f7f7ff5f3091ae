// handoff.h - ending without waiting for the kernel to tear down inotify.
#ifndef PLATFORM_POSIX_HANDOFF_H
#define PLATFORM_POSIX_HANDOFF_H

// Closes every descriptor but these and starts a helper that holds the last
// references to them until this process has ended, then closes them and
// exits. False when it could not; the process then ends as it would have.
bool HandOffDescriptors(const int *fds, int count);

// Hands off every open notification instance; called on the way out.
void HandOffNotifications(void);

#endif
