// console.h - lines to standard error, as the Linux layer writes them.
#ifndef PLATFORM_POSIX_CONSOLE_H
#define PLATFORM_POSIX_CONSOLE_H

// Writes lead, text and a newline to standard error, in one write where
// they fit, so that the lines of several processes sharing a log do not
// interleave.
void WriteErrorLine(const char *lead, const char *text);

#endif
