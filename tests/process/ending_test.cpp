// ending_test.cpp - the program's end leaves nothing behind: standard output
// and error, as pipes, are at end-of-file once its exit is seen, and no
// process of it remains shortly after, on every way it can end.
#include "launcher.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
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
			       const std::vector<std::string> &env = {})
{
	return std::make_unique<Program>(t, args, "", env, Output::Pipes);
}

// As nobody with a limit of one process, so that no helper can be started:
// the program must end as it would without one.
const Target &OneProcessOnly()
{
	static const Target t{"one_process",
			      {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
			       "/usr/bin/prlimit", "--nproc=1", CHANGEWAIT_BINARY},
			      false,
			      geteuid() != 0 ? "needs root to run as nobody"
			      : access("/usr/bin/setpriv", X_OK) != 0 || access("/usr/bin/prlimit", X_OK) != 0
				      ? "setpriv and prlimit (util-linux) are needed"
				      : ""};
	return t;
}

std::string None(const TempDir &) { return ""; }

const Ending Endings[] = {
	{"data",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 p = Start({d / "out.txt"});
		 ASSERT_TRUE(p->WaitUntilWatching(d.Path()));
		 WriteText(d / "out.txt", "data");
	 },
	 0, None},
	{"usage", [](const TempDir &, std::unique_ptr<Program> &p) { p = Start({}); }, 0,
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
	{"no_helper_allowed",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 if (!OneProcessOnly().missing.empty())
			 GTEST_SKIP() << OneProcessOnly().missing;
		 ASSERT_EQ(chmod(d.Path().c_str(), 0755), 0);
		 // The leak checker needs a thread of its own at the end, which
		 // the limit refuses as well.
		 p = Start({d / "out.txt"}, OneProcessOnly(), {"ASAN_OPTIONS=detect_leaks=0"});
		 ASSERT_TRUE(p->WaitUntilWatching(d.Path()));
		 WriteText(d / "out.txt", "data");
	 },
	 0, None},
	{"killed_while_waiting",
	 [](const TempDir &d, std::unique_ptr<Program> &p) {
		 p = Start({d / "out.txt"});
		 ASSERT_TRUE(p->WaitUntilWatching(d.Path()));
		 ASSERT_EQ(p->Kill(SIGKILL), 0);
	 },
	 128 + SIGKILL, None},
};

// Orphans of the program come back to this process, so that it can see
// whether any remain and how they ended.
class Ends : public testing::TestWithParam<Ending> {
protected:
	void SetUp() override { ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
	void TearDown() override { prctl(PR_SET_CHILD_SUBREAPER, 0); }

	// Reaps every remaining child within the limit; each must have ended
	// by itself with status 0.
	static void ExpectNoProcessLeft(std::chrono::milliseconds limit)
	{
		const auto end = std::chrono::steady_clock::now() + limit;
		for (;;) {
			int status;
			const pid_t r = waitpid(-1, &status, WNOHANG);
			if (r < 0) {
				ASSERT_EQ(errno, ECHILD);
				return;
			}
			if (r > 0) {
				EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
					<< "a process of the program ended with status " << status;
				continue;
			}
			ASSERT_LT(std::chrono::steady_clock::now(), end) << "a process of the program remains";
			std::this_thread::sleep_for(1ms);
		}
	}
};

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
		ExpectNoProcessLeft(10s);
	}
}

INSTANTIATE_TEST_SUITE_P(Process, Ends, testing::ValuesIn(Endings),
			 [](const auto &i) { return std::string(i.param.name); });

}  // namespace
