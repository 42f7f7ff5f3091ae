// commandline.h - the one command-line text that Linux does not have.
#ifndef PLATFORM_POSIX_COMMANDLINE_H
#define PLATFORM_POSIX_COMMANDLINE_H

#include <stddef.h>

// The longest single argument the kernel passes is 32 pages; 64 KiB is the
// largest page size Linux runs with.
const size_t LONGEST_ARGUMENT = size_t{32} * 65536;

// Makes the text the token scanner reads: a stand-in for the program's
// name, the options as Windows writes them, then arg, quoted whole,
// without its own double-quote characters. Writes at most size bytes to
// out, terminator included (size must leave room for the name, the options
// and the quotes); returns the length.
size_t BuildCommandLine(const char *options, const char *arg, char *out, size_t size);

// Remembers the options' text and the file's argument for GetCommandLineA;
// called once by main.
void KeepArguments(const char *options, const char *file);

// The file's name as the program takes it: its argument less its
// double-quote characters. Null when it is longer than any path can be.
const char *NamedFile(void);

// Whether the named file can never be created for the length of its name.
bool NameTooLong(void);

#endif
