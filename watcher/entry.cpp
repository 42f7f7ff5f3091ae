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

// Ends with 1 only when the wait could not be kept: a script must not go on
// as if the file had been written. The directory is the first length
// characters of the text, which may go on. The line goes out in one write
// wherever it fits, so that the lines of many waiters sharing a log do not
// interleave; only a directory longer than any watchable one takes three.
static void EndUnwatchable(LPCSTR directory, int length)
{
	static const CHAR Reason[] = "Verzeichnis kann nicht beobachtet werden: ";
	static CHAR Line[sizeof Reason + MAX_PATH + 2];
	const int reasonLength = lstrlenA(Reason);
	const int newlineLength = lstrlenA(NEWLINE);
	if (reasonLength + length + newlineLength <= (int)sizeof Line) {
		LPSTR end = Line;
		AppendText(&end, Reason, reasonLength);
		AppendText(&end, directory, length);
		AppendText(&end, NEWLINE, newlineLength);
		WriteError(Line, (int)(end - Line));
	} else {
		WriteError(Reason, reasonLength);
		WriteError(directory, length);
		WriteError(NEWLINE, newlineLength);
	}
	ExitProcess(1);
}

static BOOL IsUsageRequest(LPCSTR argument)
{
	LPCSTR request = USAGE_REQUEST;
	while (*request != '\0' && *request == *argument)
		request++, argument++;
	return *request == '\0' && *argument == '\0';
}

extern "C" void StartProgram(void)
{
	CommandCursor = GetCommandLineA();
	TakeArgument(&CommandCursor);

	// Asked for, the usage goes to standard output as text, not to a box.
	if (IsUsageRequest(CommandCursor)) {
		static const CHAR Usage[] = "Usage: changewait FILE" NEWLINE
					    "Waits until FILE has been changed and holds data, then ends." NEWLINE
					    "Exit codes: 0 changed and holds data, 1 cannot watch its directory, 2 no FILE." NEWLINE;
		DWORD written;
		WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Usage, sizeof Usage - 1, &written, NULL);
		ExitProcess(0);
	}

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
	if (!WaitForChange(CommandCursor))
		EndUnwatchable(WatchDir, lstrlenA(WatchDir));
	ExitProcess(0);
}
