// ending_test.cpp - the program's end leaves nothing behind: standard output
// and error, as pipes, are at end-of-file once its exit is seen, no process
// of it remains, and neither its directory nor its executable is held.
#include "launcher.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace {

struct Ending {
	const char *name;
	// Starts the program in dir and brings it to its end; gives the
	// status and standard error the end must have.
	std::function<void(const TempDir &dir, std::unique_ptr<Program> &p)> run;
	int status;
	std::function<std::string(const TempDir &dir)> err;
	friend void PrintTo(const Ending &e, std::ostream *os) { *os << e.name; }
};

std::unique_ptr<Program> Start(const std::vector<std::string> &args, const Target &t = LinuxTarget(),
			       const std::vector<std::string> &env = {}, Output output = Output::Pipes)
{
	return std::make_unique<Program>(t, args, "", env, output);
}

// As nobody with a limit of one process: the end must not need another.
const Target &OneProcessOnly()
{
	static const Target t{"one_process",
			      {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
			       "/usr/bin/prlimit", "--nproc=1", CHANGEWAIT_BINARY},
			      false,
			      geteuid() != 0 ? "needs root to run as nobody"
			      : access("/usr/bin/setpriv", X_OK) != 0 || access("/usr/bin/prlimit", X_OK) != 0
				      ? "setpriv and prlimit (util-linux) are needed"
				      : Emulated()};
	return t;
}

// Under a seccomp filter that kills on the calls of the end's hand-off: the
// program must not make them and must end as it would without the filter.
// In a thousand groups, the filter's line in /proc/self/status lies far
// past its first page.
Target Seccomp(const char *name, std::vector<std::string> prefix)
{
	Target s{name, prefix, false, ""};
	s.command.insert(s.command.end(), {SECCOMP_RUN, CHANGEWAIT_BINARY});
	if (system(SECCOMP_RUN " /bin/true 2>/dev/null") != 0)
		s.missing = "no seccomp filter can be installed here";
	return s;
}

const Target &UnderSeccomp()
{
	static const Target t = Seccomp("seccomp", {});
	return t;
}

const Target &UnderSeccompInManyGroups()
{
	static const Target t = [] {
		std::string groups = "--groups=100000";
		for (int g = 100001; g < 101000; g++)
			groups += "," + std::to_string(g);
		Target s = Seccomp("seccomp_many_groups", {"/usr/bin/setpriv", groups, "--"});
		if (geteuid() != 0)
			s.missing = "needs root to join a thousand groups";
		return s;
	}();
	return t;
}

// With a stack of 20 KiB, on which small tools such as sleep(1) run.
const Target &SmallStack()
{
	static const Target t{"small_stack",
			      {"/usr/bin/prlimit", "--stack=20480", CHANGEWAIT_BINARY},
			      false,
			      SANITIZED ? "the sanitizers' runtime needs a larger stack"
			      : access("/usr/bin/prlimit", X_OK) != 0 ? "prlimit (util-linux) is needed"
								     : Emulated()};
	return t;
}

// With n descriptors: standard input, output and error, the notification,
// and as many more as are left, if any.
const Target &FewDescriptors(int n)
{
	static std::map<int, Target> made;
	Target &t = made[n];
	if (t.name.empty())
		t = Target{"nofile_" + std::to_string(n),
			   {"/usr/bin/prlimit", "--nofile=" + std::to_string(n), CHANGEWAIT_BINARY},
			   false,
			   access("/usr/bin/prlimit", X_OK) != 0 ? "prlimit (util-linux) is needed" : ""};
	return t;
}

std::string None(const TempDir &) { return ""; }

// Starts the program as t and ends it with data; skips where t cannot run.
void EndWithData(const TempDir &d, std::unique_ptr<Program> &p, const Target &t = LinuxTarget(),
		 const std::vector<std::string> &env = {})
{
	if (!t.missing.empty())
		GTEST_SKIP() << t.missing;
	p = Start({d / "out.txt"}, t, env);
	ASSERT_TRUE(p->WaitUntilWatching(d.Path()));
	WriteText(d / "out.txt", "data");
}

const Ending Endings[] = {
	{"data", [](const TempDir &d, std::unique_ptr<Program> &p) { EndWithData(d, p); }, 0, None},
	{"usage", [](const TempDir &, std::unique_ptr<Program> &p) { p = Start({}); }, 2,
	 [](const TempDir &) { return std::string("Dateiname angeben!\n"); }},
	{"set_up_failure", [](const TempDir &d, std::unique_ptr<Program> &p) { p = Start({d / "nodir/out.txt"}); },
	 1, [](const TempDir &d) { return "Verzeichnis kann nicht beobachtet werden: " + d / "nodir" + "\n"; }},
	{"directory_gone",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 ASSERT_EQ(mkdir((d / "sub").c_str(), 0755), 0);
		 p = Start({d / "sub/out.txt"});
		 ASSERT_TRUE(p->WaitUntilWatching(d / "sub"));
		 ASSERT_EQ(rmdir((d / "sub").c_str()), 0);
	 },
	 1, [](const TempDir &d) { return "Verzeichnis kann nicht beobachtet werden: " + d / "sub" + "\n"; }},
	{"one_process_limit",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 ASSERT_EQ(chmod(d.Path().c_str(), 0755), 0);
		 // The leak checker needs a thread of its own at the end, which
		 // the limit refuses as well.
		 EndWithData(d, p, OneProcessOnly(), {"ASAN_OPTIONS=detect_leaks=0"});
	 },
	 0, None},
	{"under_seccomp", [](const TempDir &d, std::unique_ptr<Program> &p) { EndWithData(d, p, UnderSeccomp()); }, 0,
	 None},
	{"small_stack", [](const TempDir &d, std::unique_ptr<Program> &p) { EndWithData(d, p, SmallStack()); }, 0, None},
	{"under_seccomp_in_many_groups",
	 [](const TempDir &d, std::unique_ptr<Program> &p) { EndWithData(d, p, UnderSeccompInManyGroups()); }, 0, None},
	// The leak checker needs a descriptor of its own at the end.
	{"four_descriptors",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 EndWithData(d, p, FewDescriptors(4), {"ASAN_OPTIONS=detect_leaks=0"});
	 },
	 0, None},
	{"five_descriptors",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 EndWithData(d, p, FewDescriptors(5), {"ASAN_OPTIONS=detect_leaks=0"});
	 },
	 0, None},
	{"six_descriptors", [](const TempDir &d, std::unique_ptr<Program> &p) { EndWithData(d, p, FewDescriptors(6)); },
	 0, None},
	// Whatever becomes of the line, the exit code tells the failure.
	{"usage_to_a_gone_reader",
	 [](const TempDir &, std::unique_ptr<Program> &p) { p = Start({}, LinuxTarget(), {}, Output::Gone); }, 2, None},
	{"set_up_failure_to_a_gone_reader",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 p = Start({d / "nodir/out.txt"}, LinuxTarget(), {}, Output::Gone);
	 },
	 1, None},
	{"killed_while_waiting",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 p = Start({d / "out.txt"});
		 ASSERT_TRUE(p->WaitUntilWatching(d.Path()));
		 ASSERT_EQ(p->Kill(SIGKILL), 0);
	 },
	 128 + SIGKILL, None},
};

// Orphans of the program would come back to this process, which can
// therefore tell that none remains once the program's exit has been seen.
class Ends : public testing::TestWithParam<Ending> {
protected:
	void SetUp() override { ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
	void TearDown() override { prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

void ExpectNoProcessLeft()
{
	int status;
	const pid_t r = waitpid(-1, &status, WNOHANG);
	EXPECT_EQ(r, -1) << "a process of the program remains, or has ended with status " << status;
	EXPECT_EQ(errno, ECHILD);
}

TEST_P(Ends, LeavesNoOutputOpenAndNoProcessBehind)
{
	const Ending &e = GetParam();
	for (int run = 0; run < 10; run++) {
		TempDir dir;
		std::unique_ptr<Program> p;
		e.run(dir, p);
		if (IsSkipped())
			return;
		ASSERT_NE(p, nullptr);
		ASSERT_EQ(p->WaitForExit(), e.status) << "run " << run;
		// Whatever held the write ends let go of them before the exit.
		EXPECT_TRUE(p->OutputsClosed()) << "run " << run;
		EXPECT_EQ(p->Out(), "");
		EXPECT_EQ(p->Err(), e.err(dir));
		ExpectNoProcessLeft();
	}
}

INSTANTIATE_TEST_SUITE_P(Process, Ends, testing::ValuesIn(Endings),
			 [](const auto &i) { return std::string(i.param.name); });

// A directory the program watched can be unmounted, and its executable
// replaced, as soon as its exit is seen.
TEST(Ending, HoldsNeitherTheDirectoryNorTheExecutable)
{
	TempDir dir;
	const std::string mnt = dir / "mnt", exe = dir / "changewait";
	std::filesystem::copy_file(CHANGEWAIT_BINARY, exe);
	ASSERT_EQ(chmod(exe.c_str(), 0755), 0);
	ASSERT_EQ(mkdir(mnt.c_str(), 0755), 0);
	const Target copy{"copy", {exe}, false, ""};
	for (int run = 0; run < 20; run++) {
		if (mount("changewait-test", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
			GTEST_SKIP() << "cannot mount a tmpfs here: " << strerror(errno);
		{
			Program p(copy, {"out.txt"}, mnt);
			ASSERT_TRUE(p.WaitUntilWatching(mnt));
			WriteText(mnt + "/out.txt", "data");
			ASSERT_EQ(p.WaitForExit(), 0);
		}
		EXPECT_EQ(umount(mnt.c_str()), 0) << "run " << run << ": " << strerror(errno);
		const int fd = open(exe.c_str(), O_WRONLY);
		EXPECT_GE(fd, 0) << "run " << run << ": " << strerror(errno);
		close(fd);
		if (testing::Test::HasFailure()) {
			umount2(mnt.c_str(), MNT_DETACH);
			return;
		}
	}
}

// Back to back against a writer that rewrites the file every millisecond:
// each run ends with 0, none finds its instances or watches used up by the
// teardown of those before it.
TEST(Ending, BackToBackRunsAllSeeTheData)
{
	TempDir dir;
	std::atomic<bool> stop{false};
	std::thread writer([&] {
		for (int i = 0; !stop; i++) {
			WriteText(dir / "out.txt", std::to_string(i));
			std::this_thread::sleep_for(1ms);
		}
	});
	int ended = 0;
	for (int run = 0; run < 400; run++) {
		Program p({dir / "out.txt"});
		const auto status = p.WaitForExit(30s);
		if (status != 0) {
			ADD_FAILURE() << "run " << run << " ended with " << (status ? std::to_string(*status) : "nothing")
				      << ": " << p.Err();
			break;
		}
		ended++;
	}
	stop = true;
	writer.join();
	EXPECT_EQ(ended, 400);
}

// In an empty root, holding nothing but the program and the watched
// directory: no loader, no libraries, no /proc and no /dev.
TEST(Ending, AStaticProgramDoesTheWholeJobInAnEmptyRoot)
{
	if (!STATIC_PROGRAM)
		GTEST_SKIP() << "only the static program runs in an empty root";
	if (geteuid() != 0 || access("/usr/sbin/chroot", X_OK) != 0)
		GTEST_SKIP() << "needs root and chroot(8)";
	TempDir root;
	std::filesystem::copy_file(CHANGEWAIT_BINARY, root / "changewait");
	ASSERT_EQ(chmod((root / "changewait").c_str(), 0755), 0);
	ASSERT_EQ(mkdir((root / "d").c_str(), 0755), 0);
	const Target inRoot{"empty_root", {"/usr/sbin/chroot", root.Path(), "/changewait"}, false, ""};
	Program waits(inRoot, {"/d/out.txt"});
	ASSERT_TRUE(waits.WaitUntilWatching(root / "d"));
	WriteText(root / "d/out.txt", "data");
	EXPECT_EQ(waits.WaitForExit(), 0);
	// Standard output closed, and no /dev/null to take its place.
	const Target closedOut{
		"empty_root_output_closed",
		{"/bin/sh", "-c", "exec /usr/sbin/chroot \"$0\" /changewait \"$@\" >&-", root.Path()},
		false,
		""};
	Program closed(closedOut, {"/d/out2.txt"});
	ASSERT_TRUE(closed.WaitUntilWatching(root / "d"));
	WriteText(root / "d/out2.txt", "data");
	EXPECT_EQ(closed.WaitForExit(), 0);
	Program unwatchable(inRoot, {"/nodir/out.txt"});
	EXPECT_EQ(unwatchable.WaitForExit(), 1);
	EXPECT_EQ(unwatchable.Err(), "Verzeichnis kann nicht beobachtet werden: /nodir\n");
	Program unnamed(inRoot, {});
	EXPECT_EQ(unnamed.WaitForExit(), 2);
	EXPECT_EQ(unnamed.Err(), "Dateiname angeben!\n");
}

}  // namespace
