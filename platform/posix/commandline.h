// commandline.h - the one command-line text that Linux does not have.
#ifndef PLATFORM_POSIX_COMMANDLINE_H
#define PLATFORM_POSIX_COMMANDLINE_H

#include <stddef.h>

// Joins argv into one text the token scanner reads as Windows would give
// it. Writes into out when it is not null; returns the length without the
// terminator either way, so a first call can measure.
size_t BuildCommandLine(int argc, char *const *argv, char *out);

// Remembers argv for GetCommandLineA; called once by main.
void KeepArguments(int argc, char **argv);

#endif
