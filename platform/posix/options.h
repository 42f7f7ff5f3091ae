// options.h - the command line's options, as getopt_long reads them.
#ifndef PLATFORM_POSIX_OPTIONS_H
#define PLATFORM_POSIX_OPTIONS_H

// Reads the options before the file and returns the index of the file's
// argument in argv (argc: none), with *options the same options as Windows
// writes them, for the program's intake. The version, and a usage error
// with its line, end the program here.
int ReadOptions(int argc, char **argv, const char **options);

#endif
