// clock.cpp - GetTickCount, and the milliseconds the layer's waits count.
//
// The clock that goes on while the machine is suspended: a bound of a
// minute has passed a minute after it was set, whatever happened between.
#include "notify.h"

#include <time.h>

long long NowMs(void)
{
	struct timespec t;
	if (clock_gettime(CLOCK_BOOTTIME, &t) != 0 && clock_gettime(CLOCK_MONOTONIC, &t) != 0)
		return 0;
	return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

extern "C" DWORD WINAPI GetTickCount(void)
{
	return static_cast<DWORD>(NowMs());
}
