// commandline.h - the one command-line text that Linux does not have.
#ifndef PLATFORM_POSIX_COMMANDLINE_H
#define PLATFORM_POSIX_COMMANDLINE_H

#include <stddef.h>

// Makes the text the token scanner reads: a stand-in for the program's
// name, then arg, quoted whole, without its own double-quote characters.
// Writes at most size bytes to out, terminator included (size must leave
// room for the name and the quotes); returns the length.
size_t BuildCommandLine(const char *arg, char *out, size_t size);

// Remembers the file's argument for GetCommandLineA; called once by main.
void KeepArguments(int argc, char **argv);

// The file's name as the program takes it: argv[1] less its double-quote
// characters. Null when it is longer than any path can be.
const char *NamedFile(void);

// Whether the named file can never be created for the length of its name.
bool NameTooLong(void);

#endif
