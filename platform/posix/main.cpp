// main.cpp - the Linux start-up: keep argv, then enter the program.
#include "commandline.h"
#include "console.h"
#include "windows.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>

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

// Asked for, the version goes to standard output; the program itself
// answers --help. A file of such a name is still reached as ./--version.
static bool AnsweredVersion(const char *argument)
{
	static const char Version[] = "changewait " CHANGEWAIT_VERSION "\n";
	if (strcmp(argument, "--version") != 0)
		return false;
	WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Version, sizeof Version - 1, nullptr, nullptr);
	return true;
}

int main(int argc, char **argv)
{
	// The exit code is the result: a reader of standard error that has
	// gone must not turn an ending into a killing.
	(void)signal(SIGPIPE, SIG_IGN);
	OpenStandardDescriptors();
	if (argc > 1 && AnsweredVersion(argv[1]))
		return 0;
	KeepArguments(argc, argv);
	if (NameTooLong()) {
		WriteErrorLine("Dateiname zu lang: ", argv[1]);
		ExitProcess(1);
	}
	StartProgram();
	return 0;
}
