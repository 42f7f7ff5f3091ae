// main.cpp - the Linux start-up: keep argv, then enter the program.
#include "commandline.h"
#include "windows.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

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

// Standard input, output or error closed at the start would hand their
// numbers to the program's own descriptors, which a write of a line, or
// the letting go of standard output, would then hit.
static void OpenStandardDescriptors(void)
{
	for (int fd = 0; fd <= 2; fd++)
		if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd)
			return;
}

static bool Same(const char *a, const char *b)
{
	while (*a != '\0' && *a == *b)
		a++, b++;
	return *a == *b;
}

// Asked for, the usage or the version goes to standard output. A file of
// such a name is still reached as ./--help.
static bool Answered(const char *argument)
{
	static const char Usage[] =
		"Usage: changewait FILE\n"
		"Waits until FILE has been changed and holds data, then ends.\n"
		"Exit status: 0 FILE changed and holds data; 1 its directory cannot be\n"
		"watched, or FILE can never be created; 2 no FILE named.\n"
		"Standard output is let go once the wait is set up. See changewait(1).\n";
	static const char Version[] = "changewait " CHANGEWAIT_VERSION "\n";
	const char *text = Same(argument, "--help") ? Usage : Same(argument, "--version") ? Version : nullptr;
	if (text != nullptr)
		WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(strlen(text)), nullptr, nullptr);
	return text != nullptr;
}

int main(int argc, char **argv)
{
	// The exit code is the result: a reader of standard error that has
	// gone must not turn an ending into a killing.
	(void)signal(SIGPIPE, SIG_IGN);
	OpenStandardDescriptors();
	if (argc > 1 && Answered(argv[1]))
		return 0;
	KeepArguments(argc, argv);
	if (NameTooLong())
		EndNameTooLong(argv[1]);
	StartProgram();
	return 0;
}
