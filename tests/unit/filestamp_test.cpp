// filestamp_test.cpp - what a stamp reads for each kind of thing at a name.
#include "filestamp.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class Stamp : public testing::Test {
protected:
	void SetUp() override
	{
		char tmpl[] = "/tmp/changewait-stamp-XXXXXX";
		ASSERT_NE(mkdtemp(tmpl), nullptr);
		dir = tmpl;
	}
	void TearDown() override
	{
		std::error_code ec;
		fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
		fs::remove_all(dir, ec);
	}
	std::string Path(const char *name) const { return (fs::path(dir) / name).string(); }
	FileStamp Read(const std::string &path) const
	{
		FileStamp s;
		s.WriteTime = {0xAAAAAAAA, 0xAAAAAAAA};
		s.Size = 12345;
		ReadFileStamp(path.c_str(), &s.WriteTime, &s.Size);
		return s;
	}
	static bool IsZero(const FileStamp &s)
	{
		return s.WriteTime.dwLowDateTime == 0 && s.WriteTime.dwHighDateTime == 0 && s.Size == 0;
	}
	static void Write(const std::string &path, const std::string &data)
	{
		std::ofstream(path, std::ios::binary) << data;
	}
	static int OpenDescriptors()
	{
		int n = 0;
		for ([[maybe_unused]] auto &e : fs::directory_iterator("/proc/self/fd"))
			n++;
		return n;
	}
	std::string dir;
};

TEST_F(Stamp, MissingFileIsZero)
{
	EXPECT_TRUE(IsZero(Read(Path("absent"))));
	EXPECT_TRUE(IsZero(Read(Path("no/such/dir/x"))));
	EXPECT_TRUE(IsZero(Read("")));
}

TEST_F(Stamp, EmptyFileHasTimeAndSizeZero)
{
	Write(Path("empty"), "");
	const FileStamp s = Read(Path("empty"));
	EXPECT_EQ(s.Size, 0);
	EXPECT_FALSE(s.WriteTime.dwLowDateTime == 0 && s.WriteTime.dwHighDateTime == 0);
}

TEST_F(Stamp, SizeAndNanosecondTime)
{
	Write(Path("f"), std::string(100, 'x'));
	const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
	ASSERT_EQ(utimensat(AT_FDCWD, Path("f").c_str(), times, 0), 0);
	const FileStamp a = Read(Path("f"));
	EXPECT_EQ(a.Size, 100);

	// One nanosecond later is a different time.
	const struct timespec later[2] = {{0, UTIME_OMIT}, {1700000000, 123456790}};
	ASSERT_EQ(utimensat(AT_FDCWD, Path("f").c_str(), later, 0), 0);
	const FileStamp b = Read(Path("f"));
	EXPECT_NE(CompareFileTime(&a.WriteTime, &b.WriteTime), 0);
	EXPECT_EQ(CompareFileTime(&a.WriteTime, &a.WriteTime), 0);
}

TEST_F(Stamp, NonRegularThingsAreZeroAndNeverOpened)
{
	ASSERT_EQ(mkdir(Path("dir").c_str(), 0755), 0);
	ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
	ASSERT_EQ(symlink(Path("nowhere").c_str(), Path("dangling").c_str()), 0);
	ASSERT_EQ(symlink(Path("loop").c_str(), Path("loop").c_str()), 0);

	const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
	ASSERT_GE(sock, 0);
	struct sockaddr_un addr = {};
	addr.sun_family = AF_UNIX;
	const std::string sockPath = Path("sock");
	ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
	memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
	ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);

	const int before = OpenDescriptors();
	// A FIFO without a writer would block an open for reading: this must
	// come back at once, as must everything else here.
	for (const char *name : {"dir", "fifo", "sock", "dangling", "loop"})
		EXPECT_TRUE(IsZero(Read(Path(name)))) << name;
	EXPECT_TRUE(IsZero(Read("/dev/null")));
	EXPECT_EQ(OpenDescriptors(), before);
	close(sock);
}

TEST_F(Stamp, SymlinkToFileReadsTheFile)
{
	Write(Path("target"), "data");
	ASSERT_EQ(symlink(Path("target").c_str(), Path("link").c_str()), 0);
	EXPECT_EQ(Read(Path("link")).Size, 4);
}

// Root reads every file, so the read is tried as an unprivileged user.
TEST_F(Stamp, UnreadableFileIsZero)
{
	ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
	Write(Path("secret"), "data");
	ASSERT_EQ(chmod(Path("secret").c_str(), 0), 0);
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
			_exit(2);
		_exit(IsZero(Read(Path("secret"))) ? 0 : 1);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become another user";
}

// Sparse files: the sizes exist without taking the disk space.
struct BigCase {
	const char *name;
	long long size;
	friend void PrintTo(const BigCase &c, std::ostream *os) { *os << c.name; }
};

class BigStamp : public Stamp, public testing::WithParamInterface<BigCase> {};

TEST_P(BigStamp, WholeSizeIsKept)
{
	const std::string path = Path("big");
	const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
	ASSERT_GE(fd, 0);
	const int rc = ftruncate(fd, GetParam().size);
	close(fd);
	if (rc != 0)
		GTEST_SKIP() << "this file system has no sparse files of that size";
	EXPECT_EQ(Read(path).Size, GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BigStamp,
			 testing::Values(BigCase{"two_gib", 2LL << 30}, BigCase{"three_gib", 3LL << 30},
					 BigCase{"four_gib", 4LL << 30}, BigCase{"five_gib", 5LL << 30},
					 BigCase{"low_half_all_ones", 0x1FFFFFFFFLL}),
			 [](const testing::TestParamInfo<BigCase> &i) { return std::string(i.param.name); });

}  // namespace
