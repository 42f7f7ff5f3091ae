// token_test.cpp - the scanner against its table of cases.
#include "token.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr TokenFlags Quotes(unsigned open, unsigned close = 0)
{
	return (open << 16) | (close << 24);
}

struct Case {
	const char *name;
	TokenFlags flags;
	std::string text;
	std::string token;
	const char *rest;  // nullptr: the scanner returns null
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

const Case Cases[] = {
	{"two_words", ARG_TOKEN_FLAGS, "prog file.txt", "prog", "file.txt"},
	{"only_one_blank_eaten", ARG_TOKEN_FLAGS, "prog    file.txt", "prog", "   file.txt"},
	{"quoted_program_name", ARG_TOKEN_FLAGS, "\"C:\\Program Files\\x.exe\" \"a b.txt\"",
	 "C:\\Program Files\\x.exe", "\"a b.txt\""},
	{"quoted_to_end", ARG_TOKEN_FLAGS, "\"a b.txt\"", "a b.txt", ""},
	{"quotes_inside_token", ARG_TOKEN_FLAGS, "ab\"c d\"e rest", "abc de", "rest"},
	{"unclosed_quote", ARG_TOKEN_FLAGS, "\"abc", "abc", ""},
	{"empty_quotes", ARG_TOKEN_FLAGS, "\"\"", "", ""},
	{"empty_text", ARG_TOKEN_FLAGS, "", "", ""},
	{"blanks_only", ARG_TOKEN_FLAGS, "   ", "", ""},
	{"tab_separates", ARG_TOKEN_FLAGS, "a\tb", "a", "b"},
	{"comma", 0x2C, "  a b  ,c", "a b", "c"},
	{"comma_keep_trailing", 0x22C, "  a b  ,c", "a b  ", "c"},
	{"comma_keep_leading", 0x12C, "  a b  ,c", "  a b", "c"},
	{"comma_null_at_end", 0x42C, "abc", "abc", nullptr},
	{"comma_null_at_end_split", 0x42C, "a,b", "a", "b"},
	{"comma_null_at_end_trailing_comma", 0x42C, "a,", "a", ""},
	{"comma_empty_token", 0x2C, " , x", "", " x"},
	{"blank_as_separator", 0x20, " a b", "a", "b"},
	{"blank_mode_keep_leading", 0x900, " a b", "", "a b"},
	{"no_separator", 0, "  a b  ", "a b", ""},
	{"brackets", TF_BLANK_SEPARATES | Quotes('[', ']'), "[a b]c d", "a bc", "d"},
	{"brackets_open_inside", TF_BLANK_SEPARATES | Quotes('[', ']'), "[a[b]c d", "a[bc", "d"},
	{"bracket_closes_itself", TF_BLANK_SEPARATES | Quotes('['), "[a]b", "a]b", ""},
	{"blank_is_quote", TF_BLANK_SEPARATES | Quotes(' '), "  a b", "ab", ""},
	{"adjacent_stretches", ARG_TOKEN_FLAGS, "\"a\"\"b\"", "ab", ""},
	{"comma_quoted", 0x2C | Quotes('"'), "\"a, b \" ,c", "a, b ", "c"},
	// Beyond the table: the four blanks and the two that are not.
	{"cr_and_lf_separate", ARG_TOKEN_FLAGS, "a\rb\nc", "a", "b\nc"},
	{"vertical_tab_is_not_blank", ARG_TOKEN_FLAGS, "a\vb\fc d", "a\vb\fc", "d"},
	{"high_bytes_are_characters", ARG_TOKEN_FLAGS, "\xE4\xF6\xFC \xFF", "\xE4\xF6\xFC", "\xFF"},
};

class CutTokenTable : public testing::TestWithParam<Case> {};

TEST_P(CutTokenTable, TokenStandsAtStartAndRestIsUntouched)
{
	const Case &c = GetParam();
	std::vector<char> buf(c.text.begin(), c.text.end());
	buf.push_back('\0');
	buf.push_back('#');  // a guard past the terminator
	const std::vector<char> before = buf;

	char *rest = CutToken(buf.data(), c.flags);

	EXPECT_EQ(std::string(buf.data()), c.token);
	if (c.rest == nullptr) {
		EXPECT_EQ(rest, nullptr);
		EXPECT_EQ(buf.back(), '#');
		return;
	}
	ASSERT_NE(rest, nullptr);
	EXPECT_EQ(std::string(rest), c.rest);
	// Nothing at or after the rest position was written.
	const size_t at = static_cast<size_t>(rest - buf.data());
	ASSERT_LE(at, c.text.size());
	EXPECT_TRUE(std::equal(buf.begin() + at, buf.end(), before.begin() + at));
	// The terminator landed at or before the character that ended the token.
	EXPECT_LE(strlen(buf.data()), at);
}

INSTANTIATE_TEST_SUITE_P(Table, CutTokenTable, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

TEST(CutToken, NullTextGivesNull)
{
	EXPECT_EQ(CutToken(nullptr, ARG_TOKEN_FLAGS), nullptr);
	EXPECT_EQ(CutToken(nullptr, 0x42C), nullptr);
}

TEST(CutToken, TrailingCommaThenEmptyTokenThenNull)
{
	char text[] = "a,";
	char *rest = CutToken(text, 0x42C);
	ASSERT_EQ(rest, text + 2);
	EXPECT_EQ(CutToken(rest, 0x42C), nullptr);
	EXPECT_STREQ(rest, "");
}

TEST(IsBlank, ExactlyFourCharacters)
{
	for (int c = 0; c < 256; c++) {
		const bool blank = c == '\t' || c == '\n' || c == '\r' || c == ' ';
		EXPECT_EQ(IsBlank(static_cast<char>(c)), blank) << c;
	}
}

std::vector<std::string> TakeAll(char *text, TokenFlags flags, int limit = 20)
{
	std::vector<std::string> tokens;
	char *cursor = text;
	while (cursor != nullptr && limit-- > 0)
		tokens.emplace_back(TakeToken(&cursor, flags));
	return tokens;
}

TEST(TakeToken, StepsThroughTextUntilNull)
{
	char text[] = " one, two ,\"th,ree\",";
	const std::vector<std::string> want = {"one", "two", "th,ree", ""};
	EXPECT_EQ(TakeAll(text, 0x42C | Quotes('"')), want);
}

TEST(TakeToken, StaysNullOnceNull)
{
	char text[] = "abc";
	char *cursor = text;
	EXPECT_STREQ(TakeToken(&cursor, 0x42C), "abc");
	EXPECT_EQ(cursor, nullptr);
	EXPECT_EQ(TakeToken(&cursor, 0x42C), nullptr);
	EXPECT_EQ(cursor, nullptr);
}

TEST(TakeToken, WithoutNullAtEndStopsOnTerminator)
{
	char text[] = "a b";
	char *cursor = text;
	EXPECT_STREQ(TakeToken(&cursor, ARG_TOKEN_FLAGS), "a");
	EXPECT_STREQ(TakeToken(&cursor, ARG_TOKEN_FLAGS), "b");
	EXPECT_EQ(cursor, text + 3);
	EXPECT_STREQ(TakeToken(&cursor, ARG_TOKEN_FLAGS), "");
	EXPECT_EQ(cursor, text + 3);
}

}  // namespace
