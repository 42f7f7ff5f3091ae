// race_test.cpp - no wake-up is lost, whenever during start-up the file is
// written.
#include "launcher.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <random>
#include <thread>

namespace {

int Iterations()
{
	const char *n = getenv("CHANGEWAIT_SOAK");
	return n != nullptr ? atoi(n) : 200;
}

// The first write lands at a random moment of start-up. The second, once the
// program surely waits, has another size, so the file's final state differs
// from any stamp the program could have taken first: every run must end.
TEST(Race, WriteAtARandomMomentOfStartUpIsNeverLost)
{
	std::mt19937 random(12345);
	std::uniform_int_distribution<int> delay(0, 3000);
	const int n = Iterations();
	int lost = 0;
	for (int i = 0; i < n; i++) {
		TempDir dir;
		Program p({dir / "out.txt"});
		std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
		WriteText(dir / "out.txt", "first");
		if (p.WaitUntilWatching(dir.Path()))
			WriteText(dir / "out.txt", "second, longer");
		if (p.WaitForExit(20s) != 0)
			lost++;
	}
	EXPECT_EQ(lost, 0) << "of " << n << " runs";
}

#ifdef ARM_RACE_SHIM
// The write falls exactly between the first stamp and the arming of the
// watch, and nothing is written after it.
TEST(Race, WriteBetweenStampAndArmingIsSeen)
{
	if (STATIC_PROGRAM)
		GTEST_SKIP() << "a static program takes no preloaded library";
	TempDir dir;
	Program p(LinuxTarget(), {dir / "out.txt"}, "",
		  {"LD_PRELOAD=" ARM_RACE_SHIM, "ARM_RACE_FILE=" + dir / "out.txt"});
	EXPECT_EQ(p.WaitForExit(20s), 0);
}
#endif

}  // namespace
