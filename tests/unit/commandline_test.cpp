// commandline_test.cpp - the Linux command-line text built from argv.
#include "commandline.h"
#include "intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Build(std::vector<std::string> args)
{
	std::vector<char *> argv;
	for (std::string &a : args)
		argv.push_back(a.data());
	const size_t n = BuildCommandLine(static_cast<int>(argv.size()), argv.data(), nullptr);
	std::string out(n + 1, '?');
	EXPECT_EQ(BuildCommandLine(static_cast<int>(argv.size()), argv.data(), out.data()), n);
	EXPECT_EQ(out[n], '\0');
	out.resize(n);
	return out;
}

struct Case {
	const char *name;
	std::vector<std::string> argv;
	std::string text;
	std::string argument;  // what intake then finds
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

const std::vector<Case> Cases = {
	{"name_only", {"prog"}, "prog", ""},
	{"plain", {"prog", "out.txt"}, "prog out.txt", "out.txt"},
	{"empty_argument", {"prog", ""}, "prog \"\"", ""},
	{"empty_then_name", {"prog", "", "x.txt"}, "prog \"\" x.txt", ""},
	{"blank_inside", {"prog", "my data/out.txt"}, "prog \"my data/out.txt\"", "my data/out.txt"},
	{"blanks_only", {"prog", "   "}, "prog \"   \"", "   "},
	{"tab_and_newline", {"prog", "a\tb\nc"}, "prog \"a\tb\nc\"", "a\tb\nc"},
	{"program_with_blank", {"/opt/my tools/changewait", "x"}, "\"/opt/my tools/changewait\" x", "x"},
	{"quotes_kept_as_they_stand", {"prog", "\"\""}, "prog \"\"", ""},
	{"quote_and_blank_not_wrapped", {"prog", "a\"b c\"d"}, "prog a\"b c\"d", "ab cd"},
	{"quotes_group", {"prog", "\"x y\".txt"}, "prog \"x y\".txt", "x y.txt"},
	{"only_first_counts", {"prog", "a", "b c"}, "prog a \"b c\"", "a"},
};

class CommandLine : public testing::TestWithParam<Case> {};

TEST_P(CommandLine, JoinsAndQuotesLikeWindows)
{
	const Case &c = GetParam();
	std::string text = Build(c.argv);
	EXPECT_EQ(text, c.text);
	char *cursor = text.data();
	TakeArgument(&cursor);
	EXPECT_EQ(std::string(cursor), c.argument);
}

INSTANTIATE_TEST_SUITE_P(Argv, CommandLine, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

}  // namespace
