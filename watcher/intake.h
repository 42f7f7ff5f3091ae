// intake.h - the options and the file name from the command line.
#ifndef WATCHER_INTAKE_H
#define WATCHER_INTAKE_H

#include "platform.h"

// What the command line asked for. On a usage error the cursor points to
// the option, or the value, that is wrong.
enum Intake { TAKEN_FILE, ASKED_USAGE, UNKNOWN_OPTION, MISSING_TIME, BAD_TIME };

// Passes over the program's name and the options before the file, setting
// what they ask of the wait (nothing, where there are none), and isolates the file's argument in place:
// afterwards *cursor points to it, without quotes and zero-terminated.
// Everything after it is left as it was and ignored. An option is '/', one
// letter or '?', then the token's end or a colon: "/data/out.txt" is a
// file, and so is any token that begins with a quote.
Intake TakeArguments(LPSTR *cursor);

// Reads a decimal number of seconds, with a fraction or without, into
// milliseconds, rounded up, so that a bound is never shorter than asked.
// FALSE unless the text is digits with at most one point among them.
BOOL ReadSeconds(LPCSTR text, ULONGLONG *ms);

#endif
