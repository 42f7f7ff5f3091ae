// notify.h - the notification handle over inotify, as its files share it.
//
// notify.cpp holds the four Win32 calls and the wait; directory.cpp the
// directory's watch and its parent's, which tell the directory's fate;
// follow.cpp the named file's own watch, which follows its name; hops.cpp
// the symbolic links on the way to it; mounts.cpp the mount table's
// changes; looks.cpp the looks made where events may not tell of every
// change; remote.cpp the file systems that need them; ready.cpp the sleep
// until events, a mount or the time; writers.cpp what the events tell of
// the file's writers; clock.cpp the time the waits count.
#ifndef PLATFORM_POSIX_NOTIFY_H
#define PLATFORM_POSIX_NOTIFY_H

#include "windows.h"

#include <limits.h>
#include <stdint.h>
#include <sys/inotify.h>
#include <sys/types.h>

// A handle's slot is free, or watches, or is lost: the path no longer
// leads to the directory first watched, and the handle fails from then on.
enum Phase { FREE, WATCHING, LOST };

// The file's own watch against what its name leads to.
enum NameWatch {
	NAME_FOLLOWED,  // on what the name led to at the last arming
	NAME_MAY_MOVE,  // an event says the name may lead elsewhere: follow it at the next arming
	NAME_MOVED,     // followed to another file at the arming: the next wait returns at once
};

// A symbolic link's target on the way from the name to the file: the watch
// of the directory it is in, and its name there.
struct Hop {
	int wd;
	char name[NAME_MAX + 1];
};

// The kernel follows at most this many links in one path.
static const int MAX_HOPS = 40;

struct Notification {
	Phase phase;
	NameWatch name;
	DWORD filter;
	int fd;  // -1: starved, no instance yet
	int dirWatch;
	uint32_t dirMask;   // what the directory's watch was last armed to report
	int parentWatch;    // -1 where the parent cannot be watched
	int fileWatch;      // -1 where the named file has no watch of its own
	int hopCount;       // the links on the way from the name to the file
	bool parentUnseen;  // the directory has a parent, and it has no watch
	bool remote;        // the directory's file system, or the file's, changes unseen
	long long lookDue;  // when the next look is due; -1: not set
	const char *entry;  // the directory's name in its parent; null: any directory
	dev_t dev;
	ino_t ino;
	char path[PATH_MAX];
	Hop hops[MAX_HOPS];  // last: a name that is no link never touches them
};

static const uint32_t ENTRY_EVENTS = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

// notify.cpp: a new instance with all its watches; false with errno set
// when the kernel gives none.
bool Connect(Notification *n);

// directory.cpp
uint32_t DirectoryEvents(DWORD filter, bool entriesOnly);
bool StillThere(const Notification *n);
void WatchParent(Notification *n);
bool ParentAsksLook(const Notification *n, const struct inotify_event *ev);

// follow.cpp
bool WatchFile(Notification *n);
void FollowName(Notification *n);

// hops.cpp
void WatchHops(Notification *n);
bool HopChanged(const Notification *n, const struct inotify_event *ev);

// mounts.cpp: the mount table, opened once, whose descriptor wakes a poll
// (POLLPRI) at each mount and unmount in this mount namespace; -1: none.
int MountTable(void);

// looks.cpp
int Period(const Notification *n);
void LookAgain(Notification *n);
bool Starved(int error);
bool Watchable(Notification *n);

// remote.cpp
bool IsRemote(const char *path);

// ready.cpp: sleeps until the instance fd (-1: none) has events, the
// mount table has changed, or ms milliseconds have passed (-1: no end).
// READY_EVENTS and READY_MOUNTS tell which; 0 that the time passed;
// NO_SLEEP that the kernel refused every way to sleep for a time.
static const int READY_EVENTS = 1, READY_MOUNTS = 2, NO_SLEEP = -1;
int Ready(int fd, int ms);

// clock.cpp: milliseconds from a fixed moment; only differences count.
long long NowMs(void);

// writers.cpp: where asked to, the events of the named file's writers are
// followed (WriterEvents: what each watch adds for them, else 0). An event
// of the file's own watch is noted by NoteWriter; PassesOver notes one of
// the directory's and says whether it is one only the writers' tracking
// asked for, of another file, which never wakes the caller.
void TrackWriters(void);
uint32_t WriterEvents(void);
void NoteWriter(uint32_t mask);
bool PassesOver(const Notification *n, const struct inotify_event *ev);

#endif
