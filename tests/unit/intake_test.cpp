// intake_test.cpp - which argument the program takes from a command line.
#include "changewait.h"
#include "intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
	const char *name;
	std::string commandLine;
	std::string argument;  // empty: no argument, the usage message; on an error, what is named
	Intake taken = TAKEN_FILE;
	std::string asked = "";  // the options set: P, C, and T with the bound's milliseconds
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
	// Options before the file, in either case, in any order.
	{"options", "prog /t:1.5 /P /c out.txt", "out.txt", TAKEN_FILE, "PCT1500"},
	{"option_then_quoted_file", "prog /C \"/P\"", "/P", TAKEN_FILE, "C"},
	{"last_bound_counts", "prog /T:9 /T:\"0\" x", "x", TAKEN_FILE, "T0"},
	{"option_after_file_ignored", "prog x /P", "x"},
	{"path_beginning_with_a_letter", "prog /data/out.txt", "/data/out.txt"},
	{"slash_and_digit_is_a_path", "prog /1", "/1"},
	{"usage", "prog /?", "", ASKED_USAGE},
	{"usage_after_an_option", "prog /P /? x", "", ASKED_USAGE, "P"},
	{"unknown_option", "prog /X out.txt", "/X", UNKNOWN_OPTION},
	{"value_on_a_switch", "prog /P:1 out.txt", "/P:1", UNKNOWN_OPTION},
	{"bound_without_value", "prog /T out.txt", "/T", MISSING_TIME},
	{"bound_with_empty_value", "prog /T: out.txt", "/T:", MISSING_TIME},
	{"bound_not_a_number", "prog /T:abc out.txt", "abc", BAD_TIME},
	{"bound_negative", "prog /T:-1 out.txt", "-1", BAD_TIME},
	{"bound_two_points", "prog /T:1.2.3 out.txt", "1.2.3", BAD_TIME},
	{"bound_point_alone", "prog /T:. out.txt", ".", BAD_TIME},
};

class Intake : public testing::TestWithParam<Case> {};

TEST_P(Intake, FindsTheFirstArgument)
{
	const Case &c = GetParam();
	std::vector<char> buf(c.commandLine.begin(), c.commandLine.end());
	buf.push_back('\0');
	char *cursor = buf.data();

	EXPECT_EQ(TakeArguments(&cursor), c.taken);

	ASSERT_GE(cursor, buf.data());
	ASSERT_LT(cursor, buf.data() + buf.size());
	if (c.taken != ASKED_USAGE) {
		EXPECT_EQ(std::string(cursor), c.argument);
	}
	std::string asked = std::string(EndIfPresent ? "P" : "") + (EndIfComplete ? "C" : "");
	if (BoundMs != NO_BOUND)
		asked += "T" + std::to_string(BoundMs);
	EXPECT_EQ(asked, c.asked);
}

// Seconds into milliseconds: rounded up, never wrapped past any clock.
TEST(Seconds, BecomeMillisecondsRoundedUp)
{
	const std::pair<const char *, ULONGLONG> cases[] = {
		{"0", 0},         {"60", 60000},     {"0.5", 500},      {".25", 250},
		{"2.", 2000},     {"0.0001", 1},     {"1.0010", 1001},  {"4294967.296", 4294967296ull},
		{"99999999999999999999999", 1000000000000000ull},
	};
	for (const auto &[text, ms] : cases) {
		ULONGLONG got = 0;
		EXPECT_TRUE(ReadSeconds(text, &got)) << text;
		EXPECT_EQ(got, ms) << text;
	}
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Intake, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

}  // namespace
