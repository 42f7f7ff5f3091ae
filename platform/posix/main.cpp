// main.cpp - the Linux start-up: read the options, keep argv, then enter the program.
#include "commandline.h"
#include "console.h"
#include "handles.h"
#include "options.h"
#include "windows.h"

#include <signal.h>

extern "C" void StartProgram(void);

int main(int argc, char **argv)
{
	// The exit code is the result: a reader of standard error that has
	// gone must not turn an ending into a killing.
	(void)signal(SIGPIPE, SIG_IGN);
	// Standard input, output or error closed at the start would hand
	// their numbers to the program's own descriptors, which a write of a
	// line, or the letting go of standard output, would then hit.
	TakeStandardDescriptors();
	const char *options;
	const int file = ReadOptions(argc, argv, &options);
	KeepArguments(options, file < argc ? argv[file] : "");
	if (NameTooLong()) {
		WriteErrorLine("Dateiname zu lang: ", argv[file]);
		ExitProcess(1);
	}
	StartProgram();
	return 0;
}
