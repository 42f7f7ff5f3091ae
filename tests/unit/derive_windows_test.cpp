// derive_windows_test.cpp - the watched directory under Windows path rules.
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

const Case Cases[] = {
	{"absolute", "C:\\data\\out.txt", "C:\\data"},
	{"drive_root", "C:\\out.txt", "C:\\"},
	{"drive_relative", "C:out.txt", "C:"},
	{"drive_root_slash", "C:/out.txt", "C:/"},
	{"relative_slashes", "data/sub/out.txt", "data/sub"},
	{"mixed_separators", "data\\sub/out.txt", "data\\sub"},
	{"current_root", "\\out.txt", "\\"},
	{"current_root_slash", "/out.txt", "/"},
	{"bare_name", "out.txt", "."},
	{"trailing_separator", "C:\\data\\", "C:\\data"},
	{"unc", "\\\\server\\share\\x", "\\\\server\\share"},
	{"unc_share_root", "\\\\server\\share", "\\\\server"},
	{"drive_relative_subdir", "D:sub\\x.txt", "D:sub"},
	{"name_with_blank", "C:\\my data\\out.txt", "C:\\my data"},
	{"high_bytes", "C:\\d\xE4t\\\xFF", "C:\\d\xE4t"},
};

class DeriveWindows : public testing::TestWithParam<Case> {};

TEST_P(DeriveWindows, WatchesTheFilesDirectory)
{
	const Case &c = GetParam();
	ASSERT_TRUE(DeriveWatchDir(c.path.c_str()));
	EXPECT_EQ(std::string(WatchDir), c.dir);	// The message for a path too long to copy names the same directory.
	int length;
	const char *part = FindDirectoryPart(c.path.c_str(), &length);
	EXPECT_EQ(std::string(part, length), c.dir);
}

INSTANTIATE_TEST_SUITE_P(Windows, DeriveWindows, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

}  // namespace
