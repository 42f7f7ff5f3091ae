// entry.cpp - where changewait begins and ends.
#include "changewait.h"
#include "intake.h"
#include "platform.h"

LPSTR CommandCursor;

// A console shows bytes in its own code page, which is seldom the one the
// names are in (UTF-8 where the system takes it): it is switched for the
// write and back. A file or a pipe gets the bytes as they are.
static void WriteError(LPCSTR text, int length)
{
	DWORD written, mode;
	const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
	const UINT names = GetACP();
	const UINT shown = GetConsoleMode(err, &mode) ? GetConsoleOutputCP() : names;
	const BOOL switched = shown != names && SetConsoleOutputCP(names);
	WriteFile(err, text, (DWORD)length, &written, NULL);
	if (switched)
		SetConsoleOutputCP(shown);
}

// Appends length characters of text to the line at *end.
static void AppendText(LPSTR *end, LPCSTR text, int length)
{
	for (int i = 0; i < length; i++)
		*(*end)++ = text[i];
}

// Ends with code and one line on standard error: the reason, then the
// first length characters of the text, which may go on. The line goes out
// in one write wherever it fits, so that the lines of many waiters sharing
// a log do not interleave; only a text longer than any path takes three.
static void EndWithLine(LPCSTR reason, LPCSTR text, int length, UINT code)
{
	static CHAR Line[64 + MAX_PATH + 2];
	const int reasonLength = lstrlenA(reason);
	const int newlineLength = lstrlenA(NEWLINE);
	if (reasonLength + length + newlineLength <= (int)sizeof Line) {
		LPSTR end = Line;
		AppendText(&end, reason, reasonLength);
		AppendText(&end, text, length);
		AppendText(&end, NEWLINE, newlineLength);
		WriteError(Line, (int)(end - Line));
	} else {
		WriteError(reason, reasonLength);
		WriteError(text, length);
		WriteError(NEWLINE, newlineLength);
	}
	ExitProcess(code);
}

// Ends with 1 only when the wait could not be kept: a script must not go on
// as if the file had been written.
static void EndUnwatchable(LPCSTR directory, int length)
{
	EndWithLine("Verzeichnis kann nicht beobachtet werden: ", directory, length, 1);
}

// A command line the program cannot follow ends it at once with 2, before
// anything is watched.
static void EndUsageError(Intake taken)
{
	const LPCSTR reason = taken == UNKNOWN_OPTION ? "Unbekannte Option: "
	                      : taken == MISSING_TIME ? "Zeitangabe fehlt: "
	                                              : "Ungültige Zeitangabe: ";
	EndWithLine(reason, CommandCursor, lstrlenA(CommandCursor), 2);
}

extern "C" void StartProgram(void)
{
	StartClock();
	CommandCursor = GetCommandLineA();
	const Intake taken = TakeArguments(&CommandCursor);

	// Asked for, the usage goes to standard output as text, not to a box.
	if (taken == ASKED_USAGE) {
		static const CHAR Usage[] = "Usage: " USAGE_LINE NEWLINE
					    "Waits until FILE has been changed and holds data, then ends." NEWLINE
					    OPTION_LINES
					    "Exit codes: 0 changed and holds data, 1 cannot watch its directory," NEWLINE
					    "2 no FILE or a usage error, 124 the time given has passed." NEWLINE;
		DWORD written;
		WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Usage, sizeof Usage - 1, &written, NULL);
		ExitProcess(0);
	}
	if (taken != TAKEN_FILE)
		EndUsageError(taken);

	if (*CommandCursor == '\0') {
		// No file named is a failure: a script must not go on as if one
		// had been written.
		MessageBoxA(NULL, "Dateiname angeben!", NULL, MB_OK);
		ExitProcess(2);
	}
	// A path too long for WatchDir is named by its directory part, read in
	// place from the argument.
	if (!DeriveWatchDir(CommandCursor)) {
		int length;
		const LPCSTR directory = FindDirectoryPart(CommandCursor, &length);
		EndUnwatchable(directory, length);
	}
	const WaitEnd end = WaitForChange(CommandCursor);
	if (end == UNWATCHABLE)
		EndUnwatchable(WatchDir, lstrlenA(WatchDir));
	// 124, as timeout(1) ends: a script may put the one for the other.
	ExitProcess(end == BOUND_PASSED ? 124 : 0);
}
