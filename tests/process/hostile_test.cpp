// hostile_test.cpp - odd things at the watched name and odd names: never a
// crash, a hang where an end is due, or a busy loop.
#include "launcher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>

namespace {

// Keeps waiting, and sleeps while it does, once it has taken in the change
// (which under an emulator includes translating the code that does).
void ExpectQuietWait(Program &p)
{
	EXPECT_TRUE(p.StillRunningAfter(200ms));
	const long before = p.CpuTicks();
	EXPECT_TRUE(p.StillRunningAfter(500ms));
	EXPECT_LE(p.CpuTicks() - before, 1);
}

struct Thing {
	const char *name;
	std::function<void(const std::string &path)> make;
	friend void PrintTo(const Thing &t, std::ostream *os) { *os << t.name; }
};

int Bind(const std::string &path)
{
	const int s = socket(AF_UNIX, SOCK_STREAM, 0);
	struct sockaddr_un addr = {};
	addr.sun_family = AF_UNIX;
	strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
	EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
	return s;
}

const Thing Things[] = {
	{"fifo", [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
	{"socket", [](const std::string &p) { Bind(p); }},
	{"dangling_symlink", [](const std::string &p) { ASSERT_EQ(symlink("/nonexistent/x", p.c_str()), 0); }},
	{"symlink_loop", [](const std::string &p) { ASSERT_EQ(symlink(p.c_str(), p.c_str()), 0); }},
	{"directory", [](const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); }},
	{"symlink_to_dev_null", [](const std::string &p) { ASSERT_EQ(symlink("/dev/null", p.c_str()), 0); }},
};

class AtTheName : public testing::TestWithParam<Thing> {};

// Never opened, read as no data; once replaced by a file with data, it ends.
TEST_P(AtTheName, IsPassedOverUntilAFileWithDataTakesItsPlace)
{
	TempDir dir;
	const std::string path = dir / "out.txt";
	GetParam().make(path);
	Program p({path});
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / "other.txt", "wake it up");
	ExpectQuietWait(p);

	ASSERT_EQ(remove(path.c_str()), 0);
	WriteText(path, "data");
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Err(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, AtTheName, testing::ValuesIn(Things),
			 [](const auto &i) { return std::string(i.param.name); });

TEST(Hostile, DevNullIsNeverOpened)
{
	Program p({"/dev/null"});
	ASSERT_TRUE(p.WaitUntilWatching("/dev"));
	ExpectQuietWait(p);
}

// A name that can never be created ends at once, named as given, whatever
// its directory; one that just fits is waited for.
struct Length {
	const char *name;
	std::string (*arg)(const TempDir &dir);
	bool tooLong;
	friend void PrintTo(const Length &l, std::ostream *os) { *os << l.name; }
};

const Length Lengths[] = {
	{"bare_255", [](const TempDir &) { return std::string(255, 'x'); }, false},
	{"bare_256", [](const TempDir &) { return std::string(256, 'x'); }, true},
	{"bare_4095", [](const TempDir &) { return std::string(4095, 'x'); }, true},
	{"bare_100k", [](const TempDir &) { return std::string(100 * 1024, 'x'); }, true},
	{"in_a_directory_300", [](const TempDir &d) { return d / std::string(300, 'x'); }, true},
	{"in_tmp_10000", [](const TempDir &) { return "/tmp/" + std::string(10000, 'x'); }, true},
};

class NameOfLength : public testing::TestWithParam<Length> {};

TEST_P(NameOfLength, EndsAtOnceOnlyWhenItCanNeverBeCreated)
{
	TempDir dir;
	const std::string arg = GetParam().arg(dir);
	Program p(LinuxTarget(), {arg}, dir.Path());
	if (GetParam().tooLong) {
		EXPECT_EQ(p.WaitForExit(), 1);
		EXPECT_EQ(p.Err(), "Dateiname zu lang: " + arg + "\n");
		return;
	}
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / arg, "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Process, NameOfLength, testing::ValuesIn(Lengths),
			 [](const auto &i) { return std::string(i.param.name); });

TEST(Hostile, BytesThatAreNotTextNameAFileLikeAnyOther)
{
	TempDir dir;
	const std::string name = "\xff\xfe\x01\x1b[0m\x7f\xc3(.txt";
	Program p({dir / name});
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / "other", "x");
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / name, "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

// Under a filter that refuses what a container's profile may refuse: the
// wait still sleeps, looks behind a FUSE mount within its period, and ends
// on the write; with no way left to sleep, it ends at once with 1. sub is
// the program's working directory; behind FUSE, it shows other.
struct Refusal {
	const char *name;
	std::vector<std::string> refused;  // seccomp_run's options
	bool fuse;
	bool sleeps = true;
	friend void PrintTo(const Refusal &r, std::ostream *os) { *os << r.name; }
};

const Refusal Refusals[] = {
	{"poll", {"--refuse-poll"}, false},
	{"poll_behind_fuse", {"--refuse-poll"}, true},
	{"poll_and_select_behind_fuse", {"--refuse-poll", "--refuse-select"}, true},
	{"poll_select_and_epoll_behind_fuse", {"--refuse-poll", "--refuse-select", "--refuse-epoll"}, true},
	{"statfs_behind_fuse", {"--refuse-statfs"}, true},
	{"faccessat2_when_starved", {"--starve", "--refuse-faccessat2"}, false},
	{"every_sleep_when_starved",
	 {"--starve", "--refuse-poll", "--refuse-select", "--refuse-epoll", "--refuse-timer"},
	 false,
	 false},
};

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, TheWaitSleepsAndEndsOnTheWrite)
{
	const Refusal &r = GetParam();
	if (system(SECCOMP_RUN " /bin/true 2>/dev/null") != 0)
		GTEST_SKIP() << "no seccomp filter can be installed here";
	if (!Emulated().empty())
		GTEST_SKIP() << "the program runs under a user-mode emulator, whose calls a filter would judge "
				"rather than the program's";
	TempDir dir;
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
	ASSERT_EQ(mkdir((dir / "other").c_str(), 0755), 0);
	const Detach detach{dir / "sub"};
	if (r.fuse) {
		const std::string why = MountBindfs(dir / "other", dir / "sub");
		if (!why.empty())
			GTEST_SKIP() << why;
	}
	Target t{r.name, {SECCOMP_RUN}, false, ""};
	t.command.insert(t.command.end(), r.refused.begin(), r.refused.end());
	t.command.push_back(CHANGEWAIT_BINARY);
	Program p(t, {"out.txt"}, dir / "sub", {}, Output::Pipes);
	if (!r.sleeps) {
		EXPECT_EQ(p.WaitForExit(), 1);
		EXPECT_TRUE(p.OutputsClosed());
		EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: .\n");
		return;
	}
	ASSERT_TRUE(p.WaitUntilReady());
	ExpectQuietWait(p);
	WriteText(dir / (r.fuse ? "other/out.txt" : "sub/out.txt"), "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Process, Refused, testing::ValuesIn(Refusals),
			 [](const auto &i) { return std::string(i.param.name); });

// Permissions do not hold for root, so these run as nobody when the tests
// run as root.
class Unprivileged : public testing::Test {
protected:
	void SetUp() override
	{
		if (geteuid() == 0) {
			if (access("/usr/bin/setpriv", X_OK) != 0)
				GTEST_SKIP() << "setpriv (util-linux) is needed to run as another user";
			target_ = Target{"nobody",
					 {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
					  CHANGEWAIT_BINARY},
					 false,
					 ""};
		} else {
			target_ = LinuxTarget();
		}
		ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
	}
	TempDir dir_;
	Target target_;
};

TEST_F(Unprivileged, DirectoryWithoutReadPermissionCannotBeWatched)
{
	const std::string sub = dir_ / "noread";
	ASSERT_EQ(mkdir(sub.c_str(), 0311), 0);
	Program p(target_, {sub + "/out.txt"});
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + sub + "\n");
}

TEST_F(Unprivileged, DirectoryWithoutSearchPermissionCannotBeReached)
{
	const std::string sub = dir_ / "closed";
	ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
	ASSERT_EQ(mkdir((sub + "/inner").c_str(), 0755), 0);
	ASSERT_EQ(chmod(sub.c_str(), 0), 0);
	Program p(target_, {sub + "/inner/out.txt"});
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + sub + "/inner\n");
	chmod(sub.c_str(), 0755);
}

// Watchable (readable) but not searchable: the file's stamp can never be
// read, so it waits, asleep, as it does for any unreadable file.
TEST_F(Unprivileged, UnreadableFileKeepsItWaitingQuietly)
{
	const std::string sub = dir_ / "nosearch";
	ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
	Program p(target_, {sub + "/out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching(sub));
	ASSERT_EQ(chmod(sub.c_str(), 0744), 0);
	WriteText(sub + "/out.txt", "data");
	ExpectQuietWait(p);
}

// Another user's file gets no lease: the events of its writer tell when
// it is done, and a file renamed onto the name has no writer.
TEST_F(Unprivileged, CompleteWithoutALeaseWaitsForTheWritersClose)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "needs a file of another user, made as root";
	if (!Emulated().empty())
		GTEST_SKIP() << "under qemu-user the wait without a lease once ended before the writer's close: open, see the closing note";
	Program p(target_, {"-c", dir_ / "out.txt"});
	ASSERT_TRUE(p.WaitUntilWatching(dir_.Path()));
	const int fd = open((dir_ / "out.txt").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
	ASSERT_EQ(write(fd, "data", 4), 4);
	EXPECT_TRUE(p.StillRunningAfter());
	close(fd);
	EXPECT_EQ(p.WaitForExit(), 0);

	Program renamed(target_, {"--complete", dir_ / "done.txt"});
	ASSERT_TRUE(renamed.WaitUntilWatching(dir_.Path()));
	WriteText(dir_ / "done.tmp", "data");
	ASSERT_EQ(rename((dir_ / "done.tmp").c_str(), (dir_ / "done.txt").c_str()), 0);
	EXPECT_EQ(renamed.WaitForExit(), 0);
}

}  // namespace
