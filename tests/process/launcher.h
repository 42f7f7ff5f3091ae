// launcher.h - starts a changewait binary (Linux, or Windows under Wine) and
// watches it from outside.
#ifndef TESTS_PROCESS_LAUNCHER_H
#define TESTS_PROCESS_LAUNCHER_H

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// One way of running the program. Cases are written once with Linux paths;
// a target turns them into the names its program understands.
struct Target {
	std::string name;
	std::vector<std::string> command;  // what starts the program
	bool windows = false;
	std::string missing;  // why this target cannot run here, if it cannot

	std::string Native(const std::string &path) const;  // Z:\... under Wine
	// Options as this target spells them: "pc" is -p -c or /P /C; a
	// bound is -t SECONDS or /T:SECONDS.
	std::vector<std::string> Options(const std::string &letters, const std::string &bound = "") const;
	std::string NewLine() const { return windows ? "\r\n" : "\n"; }
	// Time to start and arm the watch: Wine starts in a second or two.
	std::chrono::milliseconds StartLimit() const { return windows ? 60s : 20s; }

	friend void PrintTo(const Target &t, std::ostream *os) { *os << t.name; }
};

const Target &LinuxTarget();
const Target &WineTarget();
std::vector<Target> AllTargets();
// Empty where the Linux program is built for this machine; otherwise why a
// case that starves it of processes or stack would test the user-mode
// emulator that runs it rather than the program.
std::string Emulated();

// Where the program's standard output and error go; Gone: pipes whose
// readers have gone before the program starts.
enum class Output { Files, Pipes, Gone };

class Program {
public:
	// Starts the target with these arguments (after its own name), in cwd
	// when given, with NAME=VALUE entries added to its environment, and
	// with standard output and error caught in files or pipes.
	Program(const Target &target, const std::vector<std::string> &args, const std::string &cwd = "",
		const std::vector<std::string> &env = {}, Output output = Output::Files);
	explicit Program(const std::vector<std::string> &args, const std::string &cwd = "")
		: Program(LinuxTarget(), args, cwd)
	{
	}
	~Program();
	Program(const Program &) = delete;
	Program &operator=(const Program &) = delete;

	// True once a directory watch on dir is in place for the program.
	bool WaitUntilWatching(const std::string &dir);
	// The exit code, or nothing if it is still running after limit.
	std::optional<int> WaitForExit(std::chrono::milliseconds limit = 30s);
	// Gives the program a short, fixed chance to end wrongly.
	bool StillRunningAfter(std::chrono::milliseconds grace = 300ms);
	// Sends a signal to the program; the result of kill(2).
	int Kill(int signal) const;
	// User plus system time so far, in clock ticks.
	long CpuTicks() const;

	// Pipes only: reads what the pipes hold and says whether both are at
	// end-of-file now, that is, nothing holds their write ends any more.
	bool OutputsClosed();
	// Pipes only: the same for standard output alone.
	bool StandardOutputClosed() { return Drained(0); }
	// Pipes only: true once the program lets go of standard output, which
	// it does once it watches; false if it ends or takes too long first.
	bool WaitUntilReady();

	std::string Out() const;
	std::string Err() const;

private:
	bool Drained(int i);  // reads pipe i; true at end-of-file
	const Target &target_;
	pid_t pid_ = -1;
	std::optional<int> status_;
	std::string outPath_, errPath_;
	int pipes_[2] = {-1, -1};  // read ends of standard output and error
	std::string piped_[2];
};

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
public:
	TempDir();
	~TempDir();
	const std::string &Path() const { return path_; }
	std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
	std::string path_;
};

void WriteText(const std::string &path, const std::string &data);

// Detaches what is mounted on path when it goes, so that a failed case
// leaves no mount behind.
struct Detach {
	std::string path;
	~Detach();
};

// Mounts from on to through FUSE (bindfs): empty, or why it cannot here.
std::string MountBindfs(const std::string &from, const std::string &to);

#endif
