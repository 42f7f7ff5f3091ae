// intake_test.cpp - which argument the program takes from a command line.
#include "intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
	const char *name;
	std::string commandLine;
	std::string argument;  // empty: no argument, the usage message
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

const Case Cases[] = {
	{"alone", "prog", ""},
	{"blanks_after_name", "prog   \t ", ""},
	{"empty_quotes", "prog \"\"", ""},
	{"several_blanks", "prog    out.txt", "out.txt"},
	{"quoted_with_blank_and_extra", "prog \"C:\\my data\\out.txt\" extra", "C:\\my data\\out.txt"},
	{"quoted_program_name", "\"C:\\Program Files\\prog.exe\" out.txt", "out.txt"},
	{"quotes_inside_argument", "prog C:\\a\"b c\"d.txt", "C:\\ab cd.txt"},
	{"empty_quotes_then_name", "prog \"\" x.txt", ""},
	{"glued_to_quoted_name", "\"prog\"out.txt", ""},
	{"ends_at_tab", "prog out.txt\tmore", "out.txt"},
	{"ends_at_cr", "prog out.txt\rmore", "out.txt"},
	{"ends_at_lf", "prog out.txt\nmore", "out.txt"},
	{"quoted_blanks_name_a_file", "prog \"   \"", "   "},
};

class Intake : public testing::TestWithParam<Case> {};

TEST_P(Intake, FindsTheFirstArgument)
{
	const Case &c = GetParam();
	std::vector<char> buf(c.commandLine.begin(), c.commandLine.end());
	buf.push_back('\0');
	char *cursor = buf.data();

	TakeArgument(&cursor);

	ASSERT_GE(cursor, buf.data());
	ASSERT_LT(cursor, buf.data() + buf.size());
	EXPECT_EQ(std::string(cursor), c.argument);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Intake, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

}  // namespace
