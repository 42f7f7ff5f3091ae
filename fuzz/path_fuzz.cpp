// path_fuzz.cpp - arbitrary command lines through intake, and whatever
// argument results through the directory derivation.
#include "changewait.h"
#include "intake.h"

#include <stdlib.h>
#include <string.h>

#include <string>

static void Check(bool ok)
{
	if (!ok)
		abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const size_t len = strnlen(reinterpret_cast<const char *>(data), size);
	char *line = static_cast<char *>(malloc(len + 1));
	memcpy(line, data, len);
	line[len] = '\0';

	char *cursor = line;
	const Intake taken = TakeArguments(&cursor);
	Check(cursor >= line && cursor <= line + len);
	if (taken == BAD_TIME) {
		ULONGLONG ms;
		Check(!ReadSeconds(cursor, &ms));
	}
	const std::string arg(cursor);
	Check(cursor + arg.size() <= line + len);

	if (!arg.empty()) {
		const BOOL ok = DeriveWatchDir(cursor);
		Check(std::string(cursor) == arg);  // the argument itself is left alone
		if (arg.size() >= sizeof WatchDir) {
			Check(!ok);
		} else {
			Check(ok);
			const std::string dir(WatchDir);
			Check(dir == "." || arg.compare(0, dir.size(), dir) == 0);
			Check(!dir.empty() && dir.size() <= arg.size());
		}
	}
	free(line);
	return 0;
}
