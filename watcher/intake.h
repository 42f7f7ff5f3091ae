// intake.h - finding the file name on the command line.
#ifndef WATCHER_INTAKE_H
#define WATCHER_INTAKE_H

#include "platform.h"

// Passes over the program's name and isolates the first argument in place:
// afterwards *cursor points to it, without quotes and zero-terminated.
// Everything after it is left as it was and ignored.
void TakeArgument(LPSTR *cursor);

#endif
