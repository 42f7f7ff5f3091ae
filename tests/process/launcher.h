// launcher.h - starts the real changewait binary and watches it from outside.
#ifndef TESTS_PROCESS_LAUNCHER_H
#define TESTS_PROCESS_LAUNCHER_H

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

class Program {
public:
	// Starts the binary with these arguments (after its own name), in cwd
	// when given, with standard output and error caught in files.
	explicit Program(const std::vector<std::string> &args, const std::string &cwd = "");
	~Program();
	Program(const Program &) = delete;
	Program &operator=(const Program &) = delete;

	// True once the program has its directory watch in place.
	bool WaitUntilWatching(std::chrono::milliseconds limit = 20s);
	// The exit code, or nothing if it is still running after limit.
	std::optional<int> WaitForExit(std::chrono::milliseconds limit = 20s);
	// Gives the program a short, fixed chance to end wrongly.
	bool StillRunningAfter(std::chrono::milliseconds grace = 300ms);
	// User plus system time so far, in clock ticks.
	long CpuTicks() const;

	std::string Out() const;
	std::string Err() const;
	pid_t Pid() const { return pid_; }

private:
	pid_t pid_ = -1;
	std::optional<int> status_;
	std::string outPath_, errPath_;
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

#endif
