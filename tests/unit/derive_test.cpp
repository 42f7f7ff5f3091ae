// derive_test.cpp - the directory watched for a given file name.
#include "changewait.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
	const char *name;
	std::string path;
	std::string dir;
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

// Linux: only the slash separates; backslash and colon are name characters.
const Case Cases[] = {
	{"bare_name", "out.txt", "."},
	{"relative", "data/sub/out.txt", "data/sub"},
	{"root_file", "/out.txt", "/"},
	{"root_only", "/", "/"},
	{"absolute", "/tmp/x/out.txt", "/tmp/x"},
	{"trailing_slash", "/tmp/data/", "/tmp/data"},
	{"double_slash", "a//b", "a/"},
	{"leading_double_slash", "//x", "/"},
	{"dot_slash", "./x", "."},
	{"colon_is_a_name_character", "logs/run-12:00.txt", "logs"},
	{"drive_like_name", "C:out.txt", "."},
	{"drive_like_dir", "C:/out.txt", "C:"},
	{"backslash_is_a_name_character", "C:\\data\\out.txt", "."},
	{"unc_like", "\\\\server\\share\\x", "."},
	{"high_bytes", "d\xE4t/\xFF", "d\xE4t"},
};

class Derive : public testing::TestWithParam<Case> {};

TEST_P(Derive, WatchesTheFilesDirectory)
{
	const Case &c = GetParam();
	ASSERT_TRUE(DeriveWatchDir(c.path.c_str()));
	EXPECT_EQ(std::string(WatchDir), c.dir);	// The message for a path too long to copy names the same directory.
	int length;
	const char *part = FindDirectoryPart(c.path.c_str(), &length);
	EXPECT_EQ(std::string(part, length), c.dir);
}

INSTANTIATE_TEST_SUITE_P(Linux, Derive, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

TEST(DeriveLength, LongestPathFitsOneMoreDoesNot)
{
	std::string fits = "/" + std::string(sizeof WatchDir - 2, 'a');
	ASSERT_EQ(fits.size(), sizeof WatchDir - 1);
	EXPECT_TRUE(DeriveWatchDir(fits.c_str()));
	EXPECT_EQ(std::string(WatchDir), "/");

	std::string tooLong = fits + "b";
	EXPECT_FALSE(DeriveWatchDir(tooLong.c_str()));
	int length;
	const char *part = FindDirectoryPart(tooLong.c_str(), &length);
	EXPECT_EQ(part, tooLong.c_str());
	EXPECT_EQ(length, 1);
	EXPECT_FALSE(DeriveWatchDir(std::string(100000, 'x').c_str()));
}

}  // namespace
