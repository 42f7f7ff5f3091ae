/* readyrun.c - a script's race-free start as Windows runs it: starts
 * WAITER FILE with its standard output a pipe, reads the pipe to its end
 * (the waiter lets go of it once it watches), writes FILE, and ends with
 * the waiter's exit code (99 if it has not ended 30 s later).
 *
 *   readyrun WAITER FILE */
#include <stdio.h>
#include <windows.h>

int main(int argc, char **argv)
{
	SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
	STARTUPINFOA si = {sizeof si};
	PROCESS_INFORMATION pi;
	HANDLE r, w, file;
	char command[2048], buf[64];
	DWORD n, code = 99;

	if (argc < 3 || !CreatePipe(&r, &w, &inherit, 0))
		return 2;
	SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
	si.dwFlags = STARTF_USESTDHANDLES;
	si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
	si.hStdOutput = w;
	si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
	snprintf(command, sizeof command, "\"%s\" \"%s\"", argv[1], argv[2]);
	if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
		return 3;
	CloseHandle(w);
	while (ReadFile(r, buf, sizeof buf, &n, NULL) && n > 0)
		;
	file = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
	WriteFile(file, "data\r\n", 6, &n, NULL);
	CloseHandle(file);
	if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
		GetExitCodeProcess(pi.hProcess, &code);
	return (int)code;
}
