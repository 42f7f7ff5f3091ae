// entry.cpp - where changewait begins and ends.
#include "changewait.h"
#include "intake.h"
#include "platform.h"

LPSTR CommandCursor;

static void WriteError(LPCSTR text, int length)
{
	DWORD written;
	WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, (DWORD)length, &written, NULL);
}

// Ends with 1 only when the wait could not be kept: a script must not go on
// as if the file had been written. The directory is the first length
// characters of the text, which may go on.
static void EndUnwatchable(LPCSTR directory, int length)
{
	static const CHAR Reason[] = "Verzeichnis kann nicht beobachtet werden: ";
	WriteError(Reason, lstrlenA(Reason));
	WriteError(directory, length);
	WriteError(NEWLINE, lstrlenA(NEWLINE));
	ExitProcess(1);
}

extern "C" void StartProgram(void)
{
	CommandCursor = GetCommandLineA();
	TakeArgument(&CommandCursor);

	if (*CommandCursor == '\0') {
		MessageBoxA(NULL, "Dateiname angeben!", NULL, MB_OK);
		ExitProcess(0);
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
