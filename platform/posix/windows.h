// windows.h - the few Win32 names the program uses, provided over POSIX.
//
// This is not Windows: it declares only the types, constants and
// operations that tokens/ and watcher/ call, with the results and effects
// they rely on. Everything else of the Win32 interface is absent on purpose.
#ifndef PLATFORM_POSIX_WINDOWS_H
#define PLATFORM_POSIX_WINDOWS_H

#include <limits.h>
#include <stddef.h>
#include <stdint.h>

#define WINAPI

typedef int BOOL;
typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef intptr_t INT_PTR;
typedef void *HANDLE;
typedef void *HWND;
typedef int HFILE;

typedef struct _FILETIME {
	DWORD dwLowDateTime;
	DWORD dwHighDateTime;
} FILETIME;

#define FALSE 0
#define TRUE 1

// The longest path the platform takes, terminator included.
#define MAX_PATH PATH_MAX

#define INVALID_HANDLE_VALUE ((HANDLE)(INT_PTR)-1)
#define HFILE_ERROR ((HFILE)-1)
#define OF_READ 0
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define NO_ERROR 0
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define CP_UTF8 65001
#define MB_OK 0
#define IDOK 1
#define WAIT_TIMEOUT 0x102
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define OPEN_EXISTING 3
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_SHARING_VIOLATION 32
#define ERROR_LOCK_VIOLATION 33
#define FILE_NOTIFY_CHANGE_FILE_NAME 0x1
#define FILE_NOTIFY_CHANGE_LAST_WRITE 0x10

extern "C" {

LPSTR WINAPI GetCommandLineA(void);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
[[noreturn]] void WINAPI ExitProcess(UINT code);

HANDLE WINAPI GetStdHandle(DWORD which);
BOOL WINAPI SetStdHandle(DWORD which, HANDLE handle);
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void *security, DWORD disposition, DWORD flags,
			  HANDLE model);
BOOL WINAPI CloseHandle(HANDLE handle);
BOOL WINAPI GetConsoleMode(HANDLE console, DWORD *mode);
UINT WINAPI GetConsoleOutputCP(void);
BOOL WINAPI SetConsoleOutputCP(UINT codePage);
UINT WINAPI GetACP(void);
BOOL WINAPI WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written, void *overlapped);

LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src);
int WINAPI lstrlenA(LPCSTR text);
long WINAPI CompareFileTime(const FILETIME *a, const FILETIME *b);

HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR directory, BOOL subtree, DWORD filter);
BOOL WINAPI FindNextChangeNotification(HANDLE notification);
BOOL WINAPI FindCloseChangeNotification(HANDLE notification);
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WINAPI GetTickCount(void);

HFILE WINAPI _lopen(LPCSTR path, int mode);
HFILE WINAPI _lclose(HFILE file);
BOOL WINAPI GetFileTime(HANDLE file, FILETIME *creation, FILETIME *access, FILETIME *write);
DWORD WINAPI GetFileSize(HANDLE file, DWORD *high);
DWORD WINAPI GetLastError(void);
}

#endif
