// wait_test.cpp - the real binary on real files: what ends the wait and what
// does not.
#include "launcher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace {

using Step = std::function<void(const TempDir &)>;

void Nothing(const TempDir &) {}

void SetTime(const std::string &path, time_t sec)
{
	const struct timespec t[2] = {{0, UTIME_OMIT}, {sec, 0}};
	ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

// Each scenario watches <dir>/out.txt: `before` runs before the start,
// `quiet` once it watches and must not end it, `ending` must end it.
struct Scenario {
	const char *name;
	Step before, quiet, ending;
	friend void PrintTo(const Scenario &c, std::ostream *os) { *os << c.name; }
};

const Scenario Scenarios[] = {
	{"other_files_written", Nothing,
	 [](const TempDir &d) {
		 WriteText(d / "other.txt", "a");
		 WriteText(d / "other.txt", "bb");
		 unlink((d / "other.txt").c_str());
	 },
	 [](const TempDir &d) { WriteText(d / "out.txt", "data"); }},
	{"data_left_untouched", [](const TempDir &d) { WriteText(d / "out.txt", "old"); },
	 [](const TempDir &d) { WriteText(d / "other.txt", "x"); },
	 [](const TempDir &d) { WriteText(d / "out.txt", "old and new"); }},
	{"rewritten_with_data", [](const TempDir &d) { WriteText(d / "out.txt", "old data"); }, Nothing,
	 [](const TempDir &d) { WriteText(d / "out.txt", "new"); }},
	{"truncated_then_written", [](const TempDir &d) { WriteText(d / "out.txt", "data"); },
	 [](const TempDir &d) { WriteText(d / "out.txt", ""); },
	 [](const TempDir &d) { WriteText(d / "out.txt", "x"); }},
	{"deleted_then_created", [](const TempDir &d) { WriteText(d / "out.txt", "data"); },
	 [](const TempDir &d) { unlink((d / "out.txt").c_str()); },
	 [](const TempDir &d) { WriteText(d / "out.txt", "data"); }},
	{"created_empty_then_written", Nothing, [](const TempDir &d) { WriteText(d / "out.txt", ""); },
	 [](const TempDir &d) { WriteText(d / "out.txt", "x"); }},
	{"renamed_onto_the_name", Nothing, [](const TempDir &d) { WriteText(d / "out.tmp", "data"); },
	 [](const TempDir &d) { rename((d / "out.tmp").c_str(), (d / "out.txt").c_str()); }},
	{"time_set_only",
	 [](const TempDir &d) {
		 WriteText(d / "out.txt", "data");
		 SetTime(d / "out.txt", 1000000000);
	 },
	 Nothing, [](const TempDir &d) { SetTime(d / "out.txt", 1000000001); }},
	{"same_size_older_time",
	 [](const TempDir &d) {
		 WriteText(d / "out.txt", "abc");
		 SetTime(d / "out.txt", 1000000000);
	 },
	 [](const TempDir &d) {
		 WriteText(d / "out.tmp", "xyz");
		 SetTime(d / "out.tmp", 999999000);
	 },
	 [](const TempDir &d) { rename((d / "out.tmp").c_str(), (d / "out.txt").c_str()); }},
	{"written_in_steps", Nothing, Nothing,
	 [](const TempDir &d) {
		 const int fd = open((d / "out.txt").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
		 for (int i = 0; i < 5; i++)
			 EXPECT_EQ(write(fd, "step\n", 5), 5);
		 close(fd);
	 }},
};

class Waits : public testing::TestWithParam<Scenario> {};

TEST_P(Waits, EndsOnlyWhenTheFileHoldsNewData)
{
	const Scenario &s = GetParam();
	TempDir dir;
	s.before(dir);
	Program p({dir / "out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching());

	s.quiet(dir);
	EXPECT_TRUE(p.StillRunningAfter());

	s.ending(dir);
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Out(), "");
	EXPECT_EQ(p.Err(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Waits, testing::ValuesIn(Scenarios),
			 [](const testing::TestParamInfo<Scenario> &i) { return std::string(i.param.name); });

TEST(Names, BareNameWaitsInTheCurrentDirectory)
{
	TempDir dir;
	Program p({"out.txt"}, dir.Path());
	ASSERT_TRUE(p.WaitUntilWatching());
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / "out.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

TEST(Names, BlanksInTheName)
{
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "my data").c_str(), 0755), 0);
	Program p({dir / "my data/out file.txt"});
	ASSERT_TRUE(p.WaitUntilWatching());
	WriteText(dir / "my data/out", "not this one");
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / "my data/out file.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

TEST(Names, ColonAndBackslashAreNameCharacters)
{
	TempDir dir;
	Program p({dir / "run-12:00\\x.txt"});
	ASSERT_TRUE(p.WaitUntilWatching());
	WriteText(dir / "run-12:00\\x.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

// A directory never has a stamp of its own, so nothing ends these.
TEST(Directories, ADirectoryAsTheArgumentKeepsWaiting)
{
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "data").c_str(), 0755), 0);
	for (const std::string arg : {"data", "data/"}) {
		Program p({arg}, dir.Path());
		ASSERT_TRUE(p.WaitUntilWatching()) << arg;
		WriteText(dir / "data/inside.txt", "data");
		WriteText(dir / "beside.txt", "data");
		SetTime(dir / "data", 1000000000);
		EXPECT_TRUE(p.StillRunningAfter()) << arg;
	}
}

struct Unwatchable {
	const char *name;
	std::function<std::string(const TempDir &)> arrange;  // gives the argument
	std::function<std::string(const std::string &)> named;  // the text in the message
	friend void PrintTo(const Unwatchable &c, std::ostream *os) { *os << c.name; }
};

std::string DirOf(const std::string &arg) { return arg.substr(0, arg.rfind('/')); }
std::string Whole(const std::string &arg) { return arg; }

const Unwatchable UnwatchableCases[] = {
	{"missing_directory", [](const TempDir &d) { return d / "nodir/out.txt"; }, DirOf},
	{"file_as_directory",
	 [](const TempDir &d) {
		 WriteText(d / "file", "x");
		 return d / "file/out.txt";
	 },
	 DirOf},
	{"path_too_long", [](const TempDir &d) { return d / std::string(5000, 'a'); }, Whole},
	{"missing_bare_directory", [](const TempDir &) { return std::string("/nodir-changewait/x"); }, DirOf},
};

class Unwatchables : public testing::TestWithParam<Unwatchable> {};

TEST_P(Unwatchables, EndAtOnceWithOneAndTheReason)
{
	TempDir dir;
	const std::string arg = GetParam().arrange(dir);
	Program p({arg});
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + GetParam().named(arg) + "\n");
	EXPECT_EQ(p.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Unwatchables, testing::ValuesIn(UnwatchableCases),
			 [](const testing::TestParamInfo<Unwatchable> &i) { return std::string(i.param.name); });

TEST(Directories, RemovedWhileWaitingEndsWithOne)
{
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
	Program p({dir / "sub/out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching());
	ASSERT_EQ(rmdir((dir / "sub").c_str()), 0);
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + dir / "sub" + "\n");
}

TEST(Idle, UsesNoProcessorTimeWhileWaiting)
{
	TempDir dir;
	Program p({dir / "out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching());
	const long before = p.CpuTicks();
	std::this_thread::sleep_for(1500ms);
	// A tick of slack: the last one of start-up may be booked late.
	EXPECT_LE(p.CpuTicks() - before, 1);
	EXPECT_TRUE(p.StillRunningAfter(0ms));
}

}  // namespace
