// usage_test.cpp - no file named: the message, exit code 0, at once.
#include "launcher.h"

#include <gtest/gtest.h>

namespace {

struct Case {
	const char *name;
	std::vector<std::string> args;
	friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
};

const Case Cases[] = {
	{"no_argument", {}},
	{"empty_argument", {""}},
	{"empty_quotes", {"\"\""}},
	{"empty_quotes_then_name", {"\"\"", "x.txt"}},
	{"empty_then_name", {"", "x.txt"}},
};

class Usage : public testing::TestWithParam<Case> {};

TEST_P(Usage, SaysSoAndEndsWithZero)
{
	Program p(GetParam().args);
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Err(), "Dateiname angeben!\n");
	EXPECT_EQ(p.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Usage, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

}  // namespace
