// main.cpp - the Linux start-up: read the options, keep argv, then enter the program.
#include "commandline.h"
#include "console.h"
#include "options.h"
#include "windows.h"

#include <fcntl.h>
#include <signal.h>

extern "C" void StartProgram(void);

// Standard input, output or error closed at the start would hand their
// numbers to the program's own descriptors, which a write of a line, or
// the letting go of standard output, would then hit.
static void OpenStandardDescriptors(void)
{
	for (int fd = 0; fd <= 2; fd++)
		if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd)
			return;
}

int main(int argc, char **argv)
{
	// The exit code is the result: a reader of standard error that has
	// gone must not turn an ending into a killing.
	(void)signal(SIGPIPE, SIG_IGN);
	OpenStandardDescriptors();
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
