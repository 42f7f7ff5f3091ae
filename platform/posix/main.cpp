// main.cpp - the Linux start-up: keep argv, then enter the program.
#include "commandline.h"
#include "windows.h"

#include <signal.h>
#include <string.h>

extern "C" void StartProgram(void);

// The name as given, in one write where it fits, as the program's own
// lines are written.
[[noreturn]] static void EndNameTooLong(const char *name)
{
	static const char Reason[] = "Dateiname zu lang: ";
	static char line[sizeof Reason + PATH_MAX + 1];
	const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
	const size_t n = strlen(name);
	if (sizeof Reason + n < sizeof line) {
		memcpy(line, Reason, sizeof Reason - 1);
		memcpy(line + sizeof Reason - 1, name, n);
		line[sizeof Reason - 1 + n] = '\n';
		WriteFile(err, line, static_cast<DWORD>(sizeof Reason + n), nullptr, nullptr);
	} else {
		WriteFile(err, Reason, sizeof Reason - 1, nullptr, nullptr);
		WriteFile(err, name, static_cast<DWORD>(n), nullptr, nullptr);
		WriteFile(err, "\n", 1, nullptr, nullptr);
	}
	ExitProcess(1);
}

int main(int argc, char **argv)
{
	// The exit code is the result: a reader of standard error that has
	// gone must not turn an ending into a killing.
	signal(SIGPIPE, SIG_IGN);
	KeepArguments(argc, argv);
	if (NameTooLong())
		EndNameTooLong(argv[1]);
	StartProgram();
	return 0;
}
