// commandline_test.cpp - the Linux command-line text made from the file's
// argument, and what intake then finds in it.
#include "commandline.h"
#include "intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
	const char *name;
	std::string arg;       // argv[1]
	std::string argument;  // what intake finds: argv[1] whole, less its quotes
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

const std::vector<Case> Cases = {
	{"plain", "out.txt", "out.txt"},
	{"empty", "", ""},
	{"empty_quotes", "\"\"", ""},
	{"blank_inside", "my data/out.txt", "my data/out.txt"},
	{"blanks_only", "   ", "   "},
	{"leading_and_trailing_blanks", " \tx\t ", " \tx\t "},
	{"tab_and_newline", "a\tb\nc", "a\tb\nc"},
	{"quotes_dropped_blanks_kept", "a\"b c\"d", "ab cd"},
	{"quotes_and_blanks", "my \"best\" file.txt", "my best file.txt"},
	{"unclosed_quote", "x\"", "x"},
	{"quote_then_blank", "\" lead", " lead"},
	// An absolute path is never an option, whatever it looks like.
	{"path_like_an_option", "/P", "/P"},
	{"path_like_a_bound", "/t:5", "/t:5"},
	{"path_like_the_usage", "/?", "/?"},
};

class CommandLine : public testing::TestWithParam<Case> {};

TEST_P(CommandLine, TakesTheArgumentWhole)
{
	const Case &c = GetParam();
	std::vector<char> text(c.arg.size() + 32, '?');
	const size_t n = BuildCommandLine("", c.arg.c_str(), text.data(), text.size());
	ASSERT_LT(n, text.size());
	EXPECT_EQ(text[n], '\0');
	char *cursor = text.data();
	EXPECT_EQ(TakeArguments(&cursor), TAKEN_FILE);
	EXPECT_EQ(std::string(cursor), c.argument);
}

INSTANTIATE_TEST_SUITE_P(Argv, CommandLine, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

// What does not fit is cut, never written past the buffer.
TEST(CommandLineLimit, StaysInsideTheBuffer)
{
	const std::string arg(100, 'a');
	std::vector<char> text(40, '?');
	const size_t n = BuildCommandLine("", arg.c_str(), text.data(), 30);
	EXPECT_EQ(n, 29u);
	EXPECT_EQ(text[29], '\0');
	EXPECT_EQ(text[30], '?');
}

}  // namespace
