// launcher.cpp - running changewait as a child process with deadlines.
#include "launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

static std::string Slurp(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::stringstream s;
	s << in.rdbuf();
	return s.str();
}

Program::Program(const std::vector<std::string> &args, const std::string &cwd)
{
	char tmpl[] = "/tmp/changewait-out-XXXXXX";
	const int outFd = mkstemp(tmpl);
	outPath_ = tmpl;
	char tmpl2[] = "/tmp/changewait-err-XXXXXX";
	const int errFd = mkstemp(tmpl2);
	errPath_ = tmpl2;

	std::vector<std::string> all = {CHANGEWAIT_BINARY};
	all.insert(all.end(), args.begin(), args.end());
	std::vector<char *> argv;
	for (std::string &a : all)
		argv.push_back(a.data());
	argv.push_back(nullptr);

	pid_ = fork();
	if (pid_ == 0) {
		const int devnull = open("/dev/null", O_RDONLY);
		dup2(devnull, 0);
		dup2(outFd, 1);
		dup2(errFd, 2);
		if (!cwd.empty() && chdir(cwd.c_str()) != 0)
			_exit(127);
		execv(argv[0], argv.data());
		_exit(127);
	}
	close(outFd);
	close(errFd);
}

Program::~Program()
{
	if (!status_) {
		kill(pid_, SIGKILL);
		waitpid(pid_, nullptr, 0);
	}
	unlink(outPath_.c_str());
	unlink(errPath_.c_str());
}

// The watch exists once the inotify descriptor lists a watch descriptor.
static bool HasInotifyWatch(pid_t pid)
{
	std::error_code ec;
	for (auto &e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fdinfo", ec)) {
		std::ifstream in(e.path());
		std::string line;
		while (std::getline(in, line))
			if (line.rfind("inotify wd:", 0) == 0)
				return true;
	}
	return false;
}

bool Program::WaitUntilWatching(std::chrono::milliseconds limit)
{
	const auto end = std::chrono::steady_clock::now() + limit;
	while (std::chrono::steady_clock::now() < end) {
		if (HasInotifyWatch(pid_))
			return true;
		if (WaitForExit(0ms))
			return false;
		std::this_thread::sleep_for(2ms);
	}
	return false;
}

std::optional<int> Program::WaitForExit(std::chrono::milliseconds limit)
{
	const auto end = std::chrono::steady_clock::now() + limit;
	while (!status_) {
		int status;
		const pid_t r = waitpid(pid_, &status, WNOHANG);
		if (r == pid_) {
			status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
			break;
		}
		if (std::chrono::steady_clock::now() >= end)
			break;
		std::this_thread::sleep_for(1ms);
	}
	return status_;
}

bool Program::StillRunningAfter(std::chrono::milliseconds grace)
{
	return !WaitForExit(grace).has_value();
}

long Program::CpuTicks() const
{
	std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
	std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	// Fields after the parenthesised name: state is 3rd, utime 14th, stime 15th.
	std::istringstream rest(stat.substr(stat.rfind(')') + 2));
	std::string field;
	long utime = 0, stime = 0;
	for (int i = 3; i <= 15 && rest >> field; i++) {
		if (i == 14)
			utime = std::stol(field);
		if (i == 15)
			stime = std::stol(field);
	}
	return utime + stime;
}

std::string Program::Out() const { return Slurp(outPath_); }
std::string Program::Err() const { return Slurp(errPath_); }

TempDir::TempDir()
{
	char tmpl[] = "/tmp/changewait-test-XXXXXX";
	if (mkdtemp(tmpl) == nullptr)
		abort();
	path_ = tmpl;
}

TempDir::~TempDir()
{
	std::error_code ec;
	fs::remove_all(path_, ec);
}

void WriteText(const std::string &path, const std::string &data)
{
	std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}
