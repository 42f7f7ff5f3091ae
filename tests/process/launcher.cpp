// launcher.cpp - running changewait as a child process with deadlines.
#include "launcher.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
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

const Target &LinuxTarget()
{
	static const Target t{"linux", {CHANGEWAIT_BINARY}, false, ""};
	return t;
}

// The x86-64 build of the Windows program under 64-bit Wine, which runs it
// natively. The wine prefix is made once per run by the test script.
const Target &WineTarget()
{
	static const Target t = [] {
		Target w{"wine", {WINE_LOADER, CHANGEWAIT_WINE_EXE}, true, ""};
		if (!WINE_TESTS)
			w.missing = "this build runs the Linux program only";
		else if (access(WINE_LOADER, X_OK) != 0)
			w.missing = "Wine (" WINE_LOADER ") is not installed";
		else if (access(CHANGEWAIT_WINE_EXE, R_OK) != 0)
			w.missing = CHANGEWAIT_WINE_EXE " is not built (the wine preset)";
		else if (access(WINE_PREFIX "/system.reg", R_OK) != 0)
			w.missing = "no wine prefix at " WINE_PREFIX " (scripts/wine-prefix.sh makes it)";
		return w;
	}();
	return t;
}

std::vector<Target> AllTargets()
{
	return {LinuxTarget(), WineTarget()};
}

// The ELF machine field of a program.
static std::string Machine(const std::string &path)
{
	return Slurp(path).substr(18, 2);
}

std::string Emulated()
{
	static const bool foreign = Machine(CHANGEWAIT_BINARY) != Machine("/proc/self/exe");
	return foreign ? "the program runs under a user-mode emulator, which needs a thread and a large stack of its own"
		       : "";
}

std::vector<std::string> Target::Options(const std::string &letters, const std::string &bound) const
{
	std::vector<std::string> options;
	for (const char c : letters)
		options.push_back(windows ? std::string("/") + char(toupper(c)) : std::string("-") + c);
	if (!bound.empty() && windows)
		options.push_back("/T:" + bound);
	else if (!bound.empty())
		options.insert(options.end(), {"-t", bound});
	return options;
}

std::string Target::Native(const std::string &path) const
{
	if (!windows)
		return path;
	std::string out = path[0] == '/' ? "Z:" + path : path;
	for (char &c : out)
		if (c == '/')
			c = '\\';
	return out;
}

Program::Program(const Target &target, const std::vector<std::string> &args, const std::string &cwd,
		 const std::vector<std::string> &env, Output output)
	: target_(target)
{
	int outFd, errFd;
	if (output != Output::Files) {
		int out[2], err[2];
		if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
			abort();
		pipes_[0] = out[0];
		pipes_[1] = err[0];
		outFd = out[1];
		errFd = err[1];
		for (int &fd : pipes_) {
			fcntl(fd, F_SETFL, O_NONBLOCK);
			if (output == Output::Gone) {
				close(fd);
				fd = -1;
			}
		}
	} else {
		char tmpl[] = "/tmp/changewait-out-XXXXXX";
		outFd = mkstemp(tmpl);
		outPath_ = tmpl;
		char tmpl2[] = "/tmp/changewait-err-XXXXXX";
		errFd = mkstemp(tmpl2);
		errPath_ = tmpl2;
	}

	std::vector<std::string> all = target.command;
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
		// The program starts with these three alone, as from a shell:
		// nothing this process or its runner left open.
		close_range(3, ~0U, 0);
		if (!cwd.empty() && chdir(cwd.c_str()) != 0)
			_exit(127);
		for (const std::string &e : env)
			putenv(const_cast<char *>(e.c_str()));
		if (target_.windows) {
			setenv("WINEPREFIX", WINE_PREFIX, 1);
			setenv("WINEDEBUG", "-all", 1);
		}
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
	for (int fd : pipes_)
		if (fd >= 0)
			close(fd);
	if (!outPath_.empty()) {
		unlink(outPath_.c_str());
		unlink(errPath_.c_str());
	}
}

bool Program::Drained(int i)
{
	if (pipes_[i] < 0)
		return true;
	char buf[4096];
	ssize_t n;
	while ((n = read(pipes_[i], buf, sizeof buf)) > 0)
		piped_[i].append(buf, static_cast<size_t>(n));
	return n == 0;
}

bool Program::OutputsClosed()
{
	const bool out = Drained(0);
	return Drained(1) && out;
}

bool Program::WaitUntilReady()
{
	const auto limit = std::chrono::steady_clock::now() + target_.StartLimit();
	while (!StandardOutputClosed() && std::chrono::steady_clock::now() < limit)
		std::this_thread::sleep_for(2ms);
	return StandardOutputClosed() && !WaitForExit(0ms);
}

Detach::~Detach() { umount2(path.c_str(), MNT_DETACH); }

std::string MountBindfs(const std::string &from, const std::string &to)
{
	if (access("/dev/fuse", R_OK | W_OK) != 0)
		return std::string("FUSE cannot be mounted here: /dev/fuse ") + strerror(errno);
	if (access("/usr/bin/bindfs", X_OK) != 0)
		return "bindfs is not installed";
	if (system(("/usr/bin/bindfs " + from + " " + to).c_str()) != 0)
		return "bindfs could not mount " + to;
	return "";
}

// Looks through a process's inotify descriptors for a watch on this inode.
static bool WatchesInode(pid_t pid, ino_t ino)
{
	char want[32];
	snprintf(want, sizeof want, " ino:%lx ", static_cast<unsigned long>(ino));
	std::error_code ec;
	for (auto &e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fdinfo", ec)) {
		std::ifstream in(e.path());
		std::string line;
		while (std::getline(in, line))
			if (line.rfind("inotify wd:", 0) == 0 && line.find(want) != std::string::npos)
				return true;
	}
	return false;
}

// Under Wine the watch is kept by the wine server, not by the program.
static std::vector<pid_t> WineServers()
{
	std::vector<pid_t> pids;
	std::error_code ec;
	for (auto &e : fs::directory_iterator("/proc", ec)) {
		const std::string name = e.path().filename();
		if (name.find_first_not_of("0123456789") != std::string::npos)
			continue;
		std::ifstream in(e.path() / "comm");
		std::string comm;
		std::getline(in, comm);
		if (comm.rfind("wineserver", 0) == 0)
			pids.push_back(std::stoi(name));
	}
	return pids;
}

bool Program::WaitUntilWatching(const std::string &dir)
{
	struct stat st;
	if (stat(dir.c_str(), &st) != 0)
		return false;
	const auto end = std::chrono::steady_clock::now() + target_.StartLimit();
	while (std::chrono::steady_clock::now() < end) {
		const std::vector<pid_t> holders = target_.windows ? WineServers() : std::vector<pid_t>{pid_};
		for (pid_t holder : holders)
			if (WatchesInode(holder, st.st_ino))
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

int Program::Kill(int signal) const { return kill(pid_, signal); }

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

std::string Program::Out() const { return outPath_.empty() ? piped_[0] : Slurp(outPath_); }
std::string Program::Err() const { return errPath_.empty() ? piped_[1] : Slurp(errPath_); }

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
