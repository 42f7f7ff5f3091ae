// options.cpp - the options, read by getopt_long, in the form the program reads.
//
// The program reads its options as Windows writes them (/T:60 /P /C),
// before the file's argument, so one intake serves both. This makes that
// text from what getopt_long read; options stand before the file, and
// short ones bundle. What the intake cannot see, the way the user wrote an
// option, is told here: an unknown option and a missing value end the
// program with 2 and a line that names it as written.
#include "options.h"

#include "commandline.h"
#include "console.h"
#include "notify.h"

#include <getopt.h>
#include <string.h>

static const struct option LongOptions[] = {
        {"timeout", required_argument, nullptr, 't'}, {"present", no_argument, nullptr, 'p'},
        {"complete", no_argument, nullptr, 'c'},      {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},       {nullptr, 0, nullptr, 0},
};

// Room for /T:"SECONDS" /P /C, or /? alone.
static char Text[LONGEST_ARGUMENT + 32];

[[noreturn]] static void EndUsageError(const char *reason, const char *written)
{
	WriteErrorLine(reason, written);
	ExitProcess(2);
}

// The option as the user wrote it: a long one whole, up to any value; a
// short one as a dash and its letter, even within a bundle.
static const char *Written(const char *arg, int letter)
{
	static char written[64];
	if (strncmp(arg, "--", 2) != 0) {
		written[0] = '-';
		written[1] = static_cast<char>(letter);
		written[2] = '\0';
		return written;
	}
	const size_t length = strcspn(arg, "=");
	if (length >= sizeof written)
		return arg;
	memcpy(written, arg, length);
	written[length] = '\0';
	return written;
}

static void AnswerVersion(void)
{
	static const char Version[] = "changewait " CHANGEWAIT_VERSION "\n";
	WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Version, sizeof Version - 1, nullptr, nullptr);
	ExitProcess(0);
}

static size_t Append(size_t n, const char *text)
{
	const size_t length = strlen(text);
	memcpy(Text + n, text, length + 1);
	return n + length;
}

int ReadOptions(int argc, char **argv, const char **options)
{
	const char *timeout = nullptr;
	bool present = false, complete = false;
	opterr = 0;
	for (;;) {
		const char *arg = optind < argc ? argv[optind] : "";
		const int c = getopt_long(argc, argv, "+:t:pchV", LongOptions, nullptr);
		if (c == -1)
			break;
		if (c == 'h') {
			*options = "/? ";
			return argc;
		}
		if (c == 'V')
			AnswerVersion();
		if (c == '?')
			EndUsageError("Unbekannte Option: ",
			              strncmp(arg, "--", 2) == 0 ? arg : Written(arg, optopt));
		if (c == ':' || (c == 't' && *optarg == '\0'))
			EndUsageError("Zeitangabe fehlt: ", Written(arg, 't'));
		// A quote would be dropped on the way, and 6"0 read as 60.
		if (c == 't' && strchr(optarg, '"') != nullptr)
			EndUsageError("Ungültige Zeitangabe: ", optarg);
		timeout = c == 't' ? optarg : timeout;
		present = present || c == 'p';
		complete = complete || c == 'c';
	}
	size_t n = 0;
	if (timeout != nullptr) {
		n = Append(n, "/T:\"");
		n = Append(n, timeout);
		n = Append(n, "\" ");
	}
	if (present)
		n = Append(n, "/P ");
	if (complete) {
		n = Append(n, "/C ");
		TrackWriters();
	}
	Text[n] = '\0';
	*options = Text;
	return optind;
}
