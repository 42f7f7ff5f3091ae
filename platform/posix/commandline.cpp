// commandline.cpp - GetCommandLineA over argv.
//
// Linux delivers the arguments apart, so the text is made from what
// getopt_long read (options.cpp) and the file's argument alone: a fixed
// stand-in for the program's name, the options as Windows writes them,
// then the file's argument inside one pair of double quotes. Whatever
// argv[0] holds and whatever follows the file's argument then cannot change
// what is scanned, and the argument is taken whole, blanks and tabs
// included, and never as an option, as it begins with a quote. Its own
// double-quote characters are dropped: the scanner would drop them anyway,
// and they must not open or close the stretch that keeps it whole.
#include "commandline.h"
#include "windows.h"

#include <string.h>
#include <sys/vfs.h>

static const char NAME[] = "changewait ";

// Static buffers, because a failed allocation must never read as "no
// argument". The options hold at most one value, itself an argument.
static char CommandLine[sizeof NAME + 2 * LONGEST_ARGUMENT + 64];

static const char *Options = "";
static const char *Argument = "";

// The file's name as the command line holds it, made once; null when it
// is at least as long as the longest path.
static char Named[sizeof NAME + PATH_MAX + 2];
static const char *NamedName;

size_t BuildCommandLine(const char *options, const char *arg, char *out, size_t size)
{
	size_t n = sizeof NAME - 1;
	memcpy(out, NAME, n);
	for (const char *p = options; *p != '\0' && n < size - 3; p++)
		out[n++] = *p;
	out[n++] = '"';
	for (const char *p = arg; *p != '\0' && n < size - 2; p++)
		if (*p != '"')
			out[n++] = *p;
	out[n++] = '"';
	out[n] = '\0';
	return n;
}

void KeepArguments(const char *options, const char *file)
{
	Options = options;
	Argument = file;
	const size_t n = BuildCommandLine("", Argument, Named, sizeof Named);
	const size_t length = n - sizeof NAME - 1;  // less the name and both quotes
	Named[n - 1] = '\0';
	NamedName = length < PATH_MAX ? Named + sizeof NAME : nullptr;
}

extern "C" LPSTR WINAPI GetCommandLineA(void)
{
	if (CommandLine[0] == '\0')
		BuildCommandLine(Options, Argument, CommandLine, sizeof CommandLine);
	return CommandLine;
}

const char *NamedFile(void)
{
	return NamedName;
}

// Too long when no path can be that long, or when its last part is longer
// than its directory allows; a directory that cannot be asked is left to
// the watch to report.
bool NameTooLong(void)
{
	static char directory[PATH_MAX];
	const char *name = NamedFile();
	if (name == nullptr)
		return true;
	const char *slash = nullptr;
	for (const char *p = name; *p != '\0'; p++)
		if (*p == '/')
			slash = p;
	const char *last = slash == nullptr ? name : slash + 1;
	if (slash == nullptr) {
		strcpy(directory, ".");
	} else {
		const size_t keep = slash == name ? 1 : static_cast<size_t>(slash - name);
		memcpy(directory, name, keep);
		directory[keep] = '\0';
	}
	struct statfs fs;
	if (*last == '\0' || statfs(directory, &fs) != 0 || fs.f_namelen <= 0)
		return false;
	return strlen(last) > static_cast<size_t>(fs.f_namelen);
}
