/* holdfile.c - a Windows producer that holds its output: it creates FILE
 * with no sharing (or sharing reading, given "read"), writes one line,
 * holds the handle for MS milliseconds, then closes it.
 *
 *   holdfile FILE MS [read] */
#include <stdlib.h>
#include <windows.h>

int main(int argc, char **argv)
{
	DWORD written;
	HANDLE file;

	if (argc < 3)
		return 2;
	file = CreateFileA(argv[1], GENERIC_WRITE, argc > 3 ? FILE_SHARE_READ : 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
	if (file == INVALID_HANDLE_VALUE)
		return 1;
	WriteFile(file, "data\r\n", 6, &written, NULL);
	Sleep((DWORD)atoi(argv[2]));
	CloseHandle(file);
	return 0;
}
