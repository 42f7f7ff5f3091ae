// commandline.cpp - GetCommandLineA over argv.
#include "commandline.h"
#include "windows.h"

#include <stdlib.h>
#include <string.h>

static int ArgCount;
static char **ArgValues;
static char *CommandLine;

static bool HasBlank(const char *s)
{
	return strpbrk(s, "\t\n\r ") != nullptr;
}

// An argument with a quote in it is passed as it stands, so its quotes keep
// the scanner's meaning; one that is empty or holds blanks gets quotes so
// that it stays one argument.
static bool NeedsQuotes(const char *arg)
{
	return *arg == '\0' || (HasBlank(arg) && strchr(arg, '"') == nullptr);
}

size_t BuildCommandLine(int argc, char *const *argv, char *out)
{
	size_t n = 0;
	for (int i = 0; i < argc; i++) {
		const char *arg = argv[i];
		const size_t len = strlen(arg);
		const bool quote = NeedsQuotes(arg);
		if (out != nullptr) {
			char *p = out + n;
			if (i > 0)
				*p++ = ' ';
			if (quote)
				*p++ = '"';
			memcpy(p, arg, len);
			p += len;
			if (quote)
				*p++ = '"';
		}
		n += (i > 0) + len + (quote ? 2 : 0);
	}
	if (out != nullptr)
		out[n] = '\0';
	return n;
}

void KeepArguments(int argc, char **argv)
{
	ArgCount = argc;
	ArgValues = argv;
}

extern "C" LPSTR WINAPI GetCommandLineA(void)
{
	static char empty[1];
	if (CommandLine == nullptr) {
		const size_t size = BuildCommandLine(ArgCount, ArgValues, nullptr) + 1;
		CommandLine = static_cast<char *>(malloc(size));
		if (CommandLine == nullptr)
			return empty;
		BuildCommandLine(ArgCount, ArgValues, CommandLine);
	}
	return CommandLine;
}
