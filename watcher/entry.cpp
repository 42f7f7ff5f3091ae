// entry.cpp - where changewait begins and ends.
#include "changewait.h"
#include "intake.h"
#include "platform.h"

LPSTR CommandCursor;

static void WriteError(LPCSTR text)
{
	DWORD written;
	WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

// Ends with 1 only when the wait could not be kept: a script must not go on
// as if the file had been written.
static void EndUnwatchable(LPCSTR directory)
{
	WriteError("Verzeichnis kann nicht beobachtet werden: ");
	WriteError(directory);
	WriteError(NEWLINE);
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
	if (!DeriveWatchDir(CommandCursor))
		EndUnwatchable(CommandCursor);
	if (!WaitForChange(CommandCursor))
		EndUnwatchable(WatchDir);
	ExitProcess(0);
}
