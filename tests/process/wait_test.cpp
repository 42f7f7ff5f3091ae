// wait_test.cpp - the real binary on real files: what ends the wait and what
// does not.
#include "launcher.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <signal.h>
#include <sys/inotify.h>
#include <thread>

namespace {

using Step = std::function<void(const TempDir &)>;

void Nothing(const TempDir &) {}

void SetTime(const std::string &path, time_t sec)
{
	const struct timespec t[2] = {{0, UTIME_OMIT}, {sec, 0}};
	ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

// Writers that keep <dir>/out.txt open after their last write.
int Writers[2] = {-1, -1};

Step Hold(int i)
{
	return [i](const TempDir &d) {
		Writers[i] = open((d / "out.txt").c_str(), O_CREAT | O_WRONLY | O_APPEND | O_CLOEXEC, 0644);
		ASSERT_EQ(write(Writers[i], "data", 4), 4);
	};
}

Step LetGo(int i)
{
	return [i](const TempDir &) { close(Writers[i]); };
}

// Each scenario watches <dir>/out.txt: `before` runs before the start,
// `quiet` once it watches and must not end it, `ending` must end it.
struct Scenario {
	const char *name;
	Step before, quiet, ending;
	const char *options = "";  // as letters: "pc" is -p -c, or /P /C
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
	{"present_but_empty", [](const TempDir &d) { WriteText(d / "out.txt", ""); },
	 [](const TempDir &d) { WriteText(d / "other.txt", "x"); },
	 [](const TempDir &d) { WriteText(d / "out.txt", "x"); }, "p"},
	{"complete_written_and_closed", Nothing, Nothing, [](const TempDir &d) { WriteText(d / "out.txt", "data"); }, "c"},
	{"complete_renamed_onto_the_name", Nothing, [](const TempDir &d) { WriteText(d / "out.tmp", "data"); },
	 [](const TempDir &d) { rename((d / "out.tmp").c_str(), (d / "out.txt").c_str()); }, "c"},
};

// Writers that hold the file open: a Linux process holds no Windows handle,
// so these run on Linux; the Windows tests have a writer of their own.
const Scenario WriterScenarios[] = {
	{"complete_writer_holds_it_open", Nothing, Hold(0), LetGo(0), "c"},
	{"complete_two_writers",
	 Nothing,
	 [](const TempDir &d) {
		 Hold(0)(d);
		 Hold(1)(d);
		 LetGo(0)(d);
	 },
	 LetGo(1), "c"},
	{"present_complete_held", Hold(0), Nothing, LetGo(0), "pc"},
};

// Every case runs on each target: the Linux program, and the Windows
// program under Wine.
class OnTarget {
protected:
	void SkipUnlessRunnable(const Target &t)
	{
		if (!t.missing.empty())
			GTEST_SKIP() << t.missing;
	}
};

std::string TargetName(const Target &t) { return t.name; }

class Waits : public OnTarget, public testing::TestWithParam<std::tuple<Target, Scenario>> {};

TEST_P(Waits, EndsOnlyWhenTheFileHoldsNewData)
{
	const auto &[t, s] = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	s.before(dir);
	std::vector<std::string> args = t.Options(s.options);
	args.push_back(t.Native(dir / "out.txt"));
	Program p(t, args);
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));

	s.quiet(dir);
	EXPECT_TRUE(p.StillRunningAfter());

	s.ending(dir);
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Out(), "");
	EXPECT_EQ(p.Err(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Waits, testing::Combine(testing::ValuesIn(AllTargets()), testing::ValuesIn(Scenarios)),
			 [](const auto &i) {
				 return TargetName(std::get<0>(i.param)) + "_" + std::get<1>(i.param).name;
			 });
INSTANTIATE_TEST_SUITE_P(Writers, Waits, testing::Combine(testing::Values(LinuxTarget()), testing::ValuesIn(WriterScenarios)),
			 [](const auto &i) {
				 return TargetName(std::get<0>(i.param)) + "_" + std::get<1>(i.param).name;
			 });

class Names : public OnTarget, public testing::TestWithParam<Target> {};

TEST_P(Names, BareNameWaitsInTheCurrentDirectory)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	Program p(t, {"out.txt"}, dir.Path());
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / "out.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

TEST_P(Names, BlanksInTheName)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "my data").c_str(), 0755), 0);
	Program p(t, {t.Native(dir / "my data/out file.txt")});
	ASSERT_TRUE(p.WaitUntilWatching(dir / "my data"));
	WriteText(dir / "my data/out", "not this one");
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / "my data/out file.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

TEST(LinuxNames, ColonAndBackslashAreNameCharacters)
{
	TempDir dir;
	Program p({dir / "run-12:00\\x.txt"});
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / "run-12:00\\x.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

// A directory never has a stamp of its own, so nothing ends these.
TEST_P(Names, ADirectoryAsTheArgumentKeepsWaiting)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "data").c_str(), 0755), 0);
	for (const std::string arg : {"data", "data/"}) {
		Program p(t, {t.Native(arg)}, dir.Path());
		ASSERT_TRUE(p.WaitUntilWatching(arg == "data" ? dir.Path() : dir / "data")) << arg;
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
	bool tooLong = false;  // Linux tells a name that can never be created instead
	friend void PrintTo(const Unwatchable &c, std::ostream *os) { *os << c.name; }
};

std::string DirOf(const std::string &arg) { return arg.substr(0, arg.rfind('/')); }

const Unwatchable UnwatchableCases[] = {
	{"missing_directory", [](const TempDir &d) { return d / "nodir/out.txt"; }, DirOf},
	{"file_as_directory",
	 [](const TempDir &d) {
		 WriteText(d / "file", "x");
		 return d / "file/out.txt";
	 },
	 DirOf},
	// Too long to watch: named by the directory part all the same.
	{"long_file_name", [](const TempDir &d) { return d / std::string(5000, 'a'); }, DirOf, true},
	{"long_directory_name", [](const TempDir &d) { return d / std::string(5000, 'b') + "/f.txt"; }, DirOf, true},
	{"many_nested_names",
	 [](const TempDir &d) {
		 std::string arg = d.Path();
		 for (int i = 0; i < 2500; i++)
			 arg += "/n";
		 return arg + "/f.txt";
	 },
	 DirOf, true},
	{"long_bare_name", [](const TempDir &) { return std::string(5000, 'c'); },
	 [](const std::string &) { return std::string("."); }, true},
	{"missing_bare_directory", [](const TempDir &) { return std::string("/nodir-changewait/x"); }, DirOf},
};

class Unwatchables : public OnTarget, public testing::TestWithParam<std::tuple<Target, Unwatchable>> {};

TEST_P(Unwatchables, EndAtOnceWithOneAndTheReason)
{
	const auto &[t, u] = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	const std::string arg = u.arrange(dir);
	Program p(t, {t.Native(arg)});
	EXPECT_EQ(p.WaitForExit(), 1);
	if (u.tooLong && !t.windows)
		EXPECT_EQ(p.Err(), "Dateiname zu lang: " + arg + "\n");
	else
		EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + t.Native(u.named(arg)) + t.NewLine());
	EXPECT_EQ(p.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Unwatchables,
			 testing::Combine(testing::ValuesIn(AllTargets()), testing::ValuesIn(UnwatchableCases)),
			 [](const auto &i) {
				 return TargetName(std::get<0>(i.param)) + "_" + std::get<1>(i.param).name;
			 });

TEST_P(Names, DirectoryRemovedWhileWaitingEndsWithOne)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
	Program p(t, {t.Native(dir / "sub/out.txt")});
	ASSERT_TRUE(p.WaitUntilWatching(dir / "sub"));
	ASSERT_EQ(rmdir((dir / "sub").c_str()), 0);
	if (t.windows) {
		// Wine's server drops the watch without signalling the program, so
		// the program cannot know; what must hold is that it does not spin.
		const long before = p.CpuTicks();
		EXPECT_TRUE(p.StillRunningAfter(1s));
		EXPECT_LE(p.CpuTicks() - before, 1);
		return;
	}
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + t.Native(dir / "sub") + t.NewLine());
}

// Standard output, a pipe here, reaches its end once the program watches,
// while it goes on waiting: a script can start its producer then. (Wine's
// loader keeps the descriptor it was given; windows_test.cpp tries the
// Windows program from a Windows reader.)
TEST(LinuxNames, LetsGoOfItsOutputOnceItWatches)
{
	const Target &t = LinuxTarget();
	TempDir dir;
	Program p(t, {t.Native(dir / "out.txt")}, "", {}, Output::Pipes);
	ASSERT_TRUE(p.WaitUntilReady()) << "standard output still held";
	WriteText(dir / "out.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Out(), "");
}

// Without options, under a bound, and waiting for the writers to be done.
TEST_P(Names, UsesNoProcessorTimeWhileWaiting)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	for (std::vector<std::string> args : {t.Options(""), t.Options("", "600"), t.Options("c")}) {
		TempDir dir;
		args.push_back(t.Native(dir / "out.txt"));
		Program p(t, args);
		ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
		const long before = p.CpuTicks();
		std::this_thread::sleep_for(1500ms);
		// A tick of slack: the last one of start-up may be booked late.
		EXPECT_LE(p.CpuTicks() - before, 1) << args[0];
		EXPECT_TRUE(p.StillRunningAfter(0ms));
	}
}

// A file that holds data ends the wait at once, asked to; with no time at
// all, the look at the start is the whole wait.
TEST_P(Names, PresentDataEndsAtOnce)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	WriteText(dir / "out.txt", "data");
	WriteText(dir / "empty.txt", "");
	const std::pair<std::vector<std::string>, int> runs[] = {
		{t.windows ? std::vector<std::string>{"/p"} : std::vector<std::string>{"--present"}, 0},
		{t.Options("pc"), 0},
		{t.Options("p", "0"), 0},
	};
	for (auto [args, code] : runs) {
		args.push_back(t.Native(dir / "out.txt"));
		Program p(t, args);
		EXPECT_EQ(p.WaitForExit(t.StartLimit()), code) << args[0];
	}
	std::vector<std::string> args = t.Options("p", "0");
	args.push_back(t.Native(dir / "empty.txt"));
	Program p(t, args);
	EXPECT_EQ(p.WaitForExit(t.StartLimit()), 124);
	EXPECT_EQ(p.Err(), "");
}

// The bound counts from the start: changes that do not end the wait (other
// files written, the file emptied) do not put it off.
TEST_P(Names, BoundPassesWith124WhateverChanges)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	const auto seconds = t.windows ? 8s : 2s;  // Wine may take seconds to start
	std::vector<std::string> args = t.Options("", std::to_string(seconds.count()));
	args.push_back(t.Native(dir / "out.txt"));
	const auto start = std::chrono::steady_clock::now();
	Program p(t, args);
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	std::optional<int> code;
	for (int i = 0; i < 600 && !(code = p.WaitForExit(50ms)); i++) {
		WriteText(dir / "other.txt", std::to_string(i));
		WriteText(dir / "out.txt", "");
	}
	EXPECT_EQ(code, 124);
	EXPECT_GE(std::chrono::steady_clock::now() - start, seconds);
	EXPECT_EQ(p.Err(), "");
}

// 2^32 ms and half a second: wrapped into 32 bits it would be 204 ms.
TEST_P(Names, BoundPast32BitsOfMillisecondsDoesNotWrap)
{
	const Target &t = GetParam();
	SkipUnlessRunnable(t);
	TempDir dir;
	std::vector<std::string> args = t.Options("", "4294967.5");
	args.push_back(t.Native(dir / "out.txt"));
	Program p(t, args);
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	EXPECT_TRUE(p.StillRunningAfter(1s));
	WriteText(dir / "out.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Process, Names, testing::ValuesIn(AllTargets()),
			 [](const auto &i) { return TargetName(i.param); });

// Ways the path stops leading to the watched directory while the program
// waits, also while something keeps the directory alive: each ends it at
// once with 1. Paths are relative to the test's directory, which is also
// where the program starts unless a case says otherwise.
struct Fate {
	const char *name;
	const char *cwd;  // the program's working directory, "" for the test's
	const char *arg;
	const char *watched;  // the directory it must watch
	Step act;
	const char *named;  // the directory the message names
	Step arrange = Nothing;  // before the start; or skips
	std::vector<std::string> under = {};  // what the program runs under
	friend void PrintTo(const Fate &f, std::ostream *os) { *os << f.name; }
};

std::vector<int> Held;  // descriptors that keep a directory alive for a case

void Rmdir(const std::string &path) { ASSERT_EQ(rmdir(path.c_str()), 0) << path; }
void DataElsewhere(const TempDir &d)
{
	ASSERT_EQ(mkdir((d / "other").c_str(), 0755), 0);
	WriteText(d / "other/out.txt", "data");
}

// Mounts need root.
void Mount(const std::string &source, const std::string &target, const char *type, unsigned long flags)
{
	if (mount(source.c_str(), target.c_str(), type, flags, nullptr) != 0)
		GTEST_SKIP() << "cannot mount here: " << strerror(errno);
}
void Unmount(const std::string &target, int flags) { ASSERT_EQ(umount2(target.c_str(), flags), 0) << target; }
void BindOther(const TempDir &d)
{
	ASSERT_EQ(mkdir((d / "other").c_str(), 0755), 0);
	Mount(d / "other", d / "sub", nullptr, MS_BIND);
}
void Rename(const std::string &from, const std::string &to) { ASSERT_EQ(rename(from.c_str(), to.c_str()), 0) << from; }
void RePoint(const std::string &target, const std::string &link)
{
	ASSERT_EQ(symlink(target.c_str(), (link + ".new").c_str()), 0);
	Rename(link + ".new", link);
}

const Fate FateCases[] = {
	{"deleted_while_the_working_directory", "sub", "out.txt", "sub", [](const TempDir &d) { Rmdir(d / "sub"); }, "."},
	{"deleted_while_held_open", "", "sub/out.txt", "sub",
	 [](const TempDir &d) {
		 Held.push_back(open((d / "sub").c_str(), O_RDONLY | O_DIRECTORY));
		 Rmdir(d / "sub");
	 },
	 "sub"},
	{"renamed_away", "", "sub/out.txt", "sub", [](const TempDir &d) { Rename(d / "sub", d / "old"); }, "sub"},
	{"renamed_away_and_replaced", "", "sub/out.txt", "sub",
	 [](const TempDir &d) {
		 Rename(d / "sub", d / "old");
		 ASSERT_EQ(mkdir((d / "sub").c_str(), 0755), 0);
	 },
	 "sub"},
	// The other directory's file holds data: read through the path, it
	// would end the wait with 0.
	{"link_re_pointed", "", "link/out.txt", "sub",
	 [](const TempDir &d) {
		 DataElsewhere(d);
		 RePoint("other", d / "link");
	 },
	 "link"},
	{"exchanged_with_another", "", "sub/out.txt", "sub",
	 [](const TempDir &d) {
		 DataElsewhere(d);
		 if (renameat2(AT_FDCWD, (d / "sub").c_str(), AT_FDCWD, (d / "other").c_str(), RENAME_EXCHANGE) != 0)
			 GTEST_SKIP() << "no exchanging rename here: " << strerror(errno);
	 },
	 "sub"},
	{"unmounted_uncovering_data", "", "sub/out.txt", "sub", [](const TempDir &d) { Unmount(d / "sub", 0); },
	 "sub",
	 [](const TempDir &d) {
		 WriteText(d / "sub/out.txt", "old data");
		 Mount("tmpfs", d / "sub", "tmpfs", 0);
	 }},
	{"bind_mount_on_it_unmounted", "", "sub/out.txt", "sub", [](const TempDir &d) { Unmount(d / "sub", 0); }, "sub",
	 BindOther},
	{"bind_mount_on_it_detached", "", "sub/out.txt", "sub", [](const TempDir &d) { Unmount(d / "sub", MNT_DETACH); },
	 "sub", BindOther},
	// Seen at the directory's next entry: no watch above its parent.
	{"renamed_away_above_its_parent_then_written", "", "up/dir/sub/out.txt", "up/dir/sub",
	 [](const TempDir &d) {
		 Rename(d / "up", d / "old");
		 WriteText(d / "old/dir/sub/out.txt", "data");
	 },
	 "up/dir/sub", [](const TempDir &d) { std::filesystem::create_directories(d / "up/dir/sub"); }},
	// One watch a user: the directory has it, its parent none.
	{"deleted_while_the_working_directory_unwatched_above", "sub", "out.txt", "sub",
	 [](const TempDir &d) { Rmdir(d / "sub"); }, ".",
	 [](const TempDir &) {
		 if (system("/usr/bin/unshare -U -r /bin/sh -c 'echo 1 > /proc/sys/user/max_inotify_watches' 2>/dev/null") != 0)
			 GTEST_SKIP() << "no user namespace with a watch limit of its own here";
	 },
	 {"/usr/bin/unshare", "-U", "-r", "/bin/sh", "-c", "echo 1 > /proc/sys/user/max_inotify_watches && exec \"$0\" \"$@\""}},
};

class Fates : public testing::TestWithParam<Fate> {};

TEST_P(Fates, EndTheWaitWithOne)
{
	const Fate &f = GetParam();
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
	ASSERT_EQ(symlink("sub", (dir / "link").c_str()), 0);
	const Detach detach{dir / "sub"};
	f.arrange(dir);
	if (IsSkipped() || HasFatalFailure())
		return;
	Target t = LinuxTarget();
	t.command.insert(t.command.begin(), f.under.begin(), f.under.end());
	Program p(t, {f.arg}, *f.cwd ? dir / f.cwd : dir.Path());
	ASSERT_TRUE(p.WaitUntilWatching(dir / f.watched));

	// Other entries of the parent come and go: no end.
	ASSERT_EQ(mkdir((dir / "sibling").c_str(), 0755), 0);
	Rmdir(dir / "sibling");
	WriteText(dir / "beside.txt", "data");
	EXPECT_TRUE(p.StillRunningAfter());

	f.act(dir);
	if (IsSkipped())
		return;
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), std::string("Verzeichnis kann nicht beobachtet werden: ") + f.named + "\n");
	for (int fd : Held)
		close(fd);
	Held.clear();
}

INSTANTIATE_TEST_SUITE_P(Process, Fates, testing::ValuesIn(FateCases), [](const auto &i) { return std::string(i.param.name); });

// Writes that reach the file by another way than its directory: through
// another of its names, or behind a FUSE mount, where the kernel never
// hears of them. Each ends the wait on sub/out.txt with 0; the file lives
// in "other".
struct Elsewhere {
	const char *name;
	Step arrange;  // or skips
	Step write;
	friend void PrintTo(const Elsewhere &e, std::ostream *os) { *os << e.name; }
};

// Names come and go in the directory above the mount point, as in a busy
// /tmp, until the case ends.
struct Churn {
	std::atomic<bool> stop{false};
	std::thread thread;
	void Start(const std::string &dir)
	{
		thread = std::thread([this, dir] {
			for (int i = 0; !stop; i++) {
				const std::string name = dir + "/churn" + std::to_string(i % 8);
				WriteText(name, "x");
				unlink(name.c_str());
				std::this_thread::sleep_for(20ms);
			}
		});
	}
	~Churn()
	{
		stop = true;
		if (thread.joinable())
			thread.join();
	}
};
std::unique_ptr<Churn> Churning;

void LinkedToReal(const TempDir &d)
{
	WriteText(d / "other/real.txt", "old");
	EXPECT_EQ(symlink("../other/real.txt", (d / "sub/out.txt").c_str()), 0);
}

void BoundOver(const TempDir &d)
{
	WriteText(d / "other/app.conf", "old");
	WriteText(d / "sub/out.txt", "");
	Mount(d / "other/app.conf", d / "sub/out.txt", nullptr, MS_BIND);
}

const Elsewhere ElsewhereCases[] = {
	{"symbolic_link_target_written", LinkedToReal,
	 [](const TempDir &d) { WriteText(d / "other/real.txt", "new data"); }},
	{"symbolic_link_target_replaced_beside_it", LinkedToReal,
	 [](const TempDir &d) {
		 WriteText(d / "other/real.tmp", "new data");
		 Rename(d / "other/real.tmp", d / "other/real.txt");
	 }},
	{"hard_link_written",
	 [](const TempDir &d) {
		 WriteText(d / "sub/out.txt", "old");
		 EXPECT_EQ(link((d / "sub/out.txt").c_str(), (d / "other/h.txt").c_str()), 0);
	 },
	 [](const TempDir &d) { WriteText(d / "other/h.txt", "new data"); }},
	{"bind_mounted_source_written",
	 BoundOver,
	 [](const TempDir &d) { WriteText(d / "other/app.conf", "new data"); }},
	// A mount or unmount at the name moves the file's watch: the write
	// goes to another file than the one watched at the start.
	{"bind_mount_over_it_removed_then_written",
	 BoundOver,
	 [](const TempDir &d) {
		 ASSERT_EQ(umount2((d / "sub/out.txt").c_str(), 0), 0);
		 WriteText(d / "sub/out.txt", "new data");
	 }},
	{"bind_mount_put_over_it_then_written",
	 [](const TempDir &d) {
		 WriteText(d / "other/app.conf", "");
		 WriteText(d / "sub/out.txt", "");
	 },
	 [](const TempDir &d) {
		 Mount(d / "other/app.conf", d / "sub/out.txt", nullptr, MS_BIND);
		 WriteText(d / "sub/out.txt", "new data");
	 }},
	// out.txt -> ../other/l2 -> t1; l2 re-pointed to t2, then t2 written.
	{"link_further_on_re_pointed_then_written",
	 [](const TempDir &d) {
		 WriteText(d / "other/t1", "old");
		 WriteText(d / "other/t2", "");
		 ASSERT_EQ(symlink("t1", (d / "other/l2").c_str()), 0);
		 ASSERT_EQ(symlink("../other/l2", (d / "sub/out.txt").c_str()), 0);
	 },
	 [](const TempDir &d) {
		 RePoint("t2", d / "other/l2");
		 WriteText(d / "other/t2", "new data");
	 }},
	{"behind_a_fuse_mount",
	 [](const TempDir &d) {
		 const std::string why = MountBindfs(d / "other", d / "sub");
		 if (!why.empty())
			 GTEST_SKIP() << why;
	 },
	 [](const TempDir &d) { WriteText(d / "other/out.txt", "new data"); }},
	// The look behind the mount is due whatever else the directory above
	// it reports.
	{"behind_a_fuse_mount_while_its_parent_is_busy",
	 [](const TempDir &d) {
		 Churning->Start(d.Path());
		 const std::string why = MountBindfs(d / "other", d / "sub");
		 if (!why.empty())
			 GTEST_SKIP() << why;
	 },
	 [](const TempDir &d) { WriteText(d / "other/out.txt", "new data"); }},
};

class Elsewheres : public testing::TestWithParam<Elsewhere> {
protected:
	void SetUp() override { Churning = std::make_unique<Churn>(); }
	void TearDown() override
	{
		Churning.reset();
		umount2((dir_ / "sub/out.txt").c_str(), MNT_DETACH);
		umount2((dir_ / "sub").c_str(), MNT_DETACH);
	}
	TempDir dir_;
};

TEST_P(Elsewheres, EndTheWaitWithData)
{
	const Elsewhere &e = GetParam();
	ASSERT_EQ(mkdir((dir_ / "sub").c_str(), 0755), 0);
	ASSERT_EQ(mkdir((dir_ / "other").c_str(), 0755), 0);
	e.arrange(dir_);
	if (IsSkipped() || HasFatalFailure())
		return;
	Program p({dir_ / "sub/out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching(dir_ / "sub"));
	e.write(dir_);
	EXPECT_EQ(p.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Process, Elsewheres, testing::ValuesIn(ElsewhereCases),
			 [](const auto &i) { return std::string(i.param.name); });

// A user whose inotify instances are all taken, or all but one, by another
// process of theirs: the program waits all the same and ends on the write.
class Starved : public testing::TestWithParam<int> {
protected:
	void SetUp() override
	{
		if (geteuid() != 0)
			GTEST_SKIP() << "needs root to take a user's instances";
		int ready[2];
		ASSERT_EQ(pipe(ready), 0);
		holder_ = fork();
		if (holder_ == 0) {
			std::vector<int> fds;
			if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
			    setresuid(65534, 65534, 65534) != 0)
				_exit(1);
			for (int fd; fds.size() < 100000 && (fd = inotify_init1(0)) >= 0;)
				fds.push_back(fd);
			for (int i = 0; i < GetParam() && !fds.empty(); i++, fds.pop_back())
				close(fds.back());
			const int held = static_cast<int>(fds.size());
			if (write(ready[1], &held, sizeof held) != sizeof held)
				_exit(1);
			pause();
			_exit(0);
		}
		close(ready[1]);
		int held = 0;
		ASSERT_EQ(read(ready[0], &held, sizeof held), static_cast<ssize_t>(sizeof held));
		close(ready[0]);
		if (held >= 100000)
			GTEST_SKIP() << "this host's per-user instance limit is too high to take them all";
		ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
	}
	void TearDown() override
	{
		if (holder_ > 0) {
			kill(holder_, SIGKILL);
			waitpid(holder_, nullptr, 0);
		}
	}
	pid_t holder_ = -1;
	TempDir dir_;
};

TEST_P(Starved, RunsOneAfterTheOtherAllEndOnTheWrite)
{
	const Target nobody{"nobody",
			    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", CHANGEWAIT_BINARY},
			    false,
			    ""};
	for (int run = 0; run < 10; run++) {
		unlink((dir_ / "out.txt").c_str());
		Program p(nobody, {dir_ / "out.txt"});
		ASSERT_TRUE(p.StillRunningAfter()) << "run " << run << ": " << p.Err();
		WriteText(dir_ / "out.txt", "data");
		ASSERT_EQ(p.WaitForExit(), 0) << "run " << run;
	}
}

INSTANTIATE_TEST_SUITE_P(Process, Starved, testing::Values(0, 1),
			 [](const auto &i) { return i.param == 0 ? "none_left" : "one_left"; });

}  // namespace
