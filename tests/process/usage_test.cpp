// usage_test.cpp - which file the command line names: none (the message,
// exit code 2, at once), or argv[1] whole, whatever the program is called.
#include "launcher.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

TEST_P(Usage, SaysSoAndEndsWithTwo)
{
	Program p(GetParam().args);
	EXPECT_EQ(p.WaitForExit(), 2);
	EXPECT_EQ(p.Err(), "Dateiname angeben!\n");
	EXPECT_EQ(p.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Usage, testing::ValuesIn(Cases),
			 [](const testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

// A command line the program cannot follow: exit code 2 at once, and one
// line that names what is wrong as it was written.
struct Mistake {
	const char *name;
	const Target &(*target)();
	std::vector<std::string> args;
	std::string line;
	friend void PrintTo(const Mistake &m, std::ostream *os) { *os << m.name; }
};

const Mistake Mistakes[] = {
	{"unknown_short", LinuxTarget, {"-x", "f"}, "Unbekannte Option: -x\n"},
	{"unknown_in_a_bundle", LinuxTarget, {"-pxc", "f"}, "Unbekannte Option: -x\n"},
	{"unknown_long", LinuxTarget, {"--wait=5", "f"}, "Unbekannte Option: --wait=5\n"},
	{"value_on_a_switch", LinuxTarget, {"--present=1", "f"}, "Unbekannte Option: --present=1\n"},
	{"missing_time", LinuxTarget, {"-t"}, "Zeitangabe fehlt: -t\n"},
	{"empty_long_time", LinuxTarget, {"--timeout=", "f"}, "Zeitangabe fehlt: --timeout\n"},
	{"bad_time", LinuxTarget, {"-t", "abc", "f"}, "Ungültige Zeitangabe: abc\n"},
	{"negative_time", LinuxTarget, {"--timeout", "-1", "f"}, "Ungültige Zeitangabe: -1\n"},
	{"quote_in_time", LinuxTarget, {"-t6\"0", "f"}, "Ungültige Zeitangabe: 6\"0\n"},
	{"windows_unknown", WineTarget, {"/X", "f"}, "Unbekannte Option: /X\r\n"},
	{"windows_missing_time", WineTarget, {"/T", "f"}, "Zeitangabe fehlt: /T\r\n"},
	{"windows_bad_time", WineTarget, {"/t:1,5", "f"}, "Ungültige Zeitangabe: 1,5\r\n"},
};

class Mistaken : public testing::TestWithParam<Mistake> {};

TEST_P(Mistaken, EndsWithTwoAndOneLine)
{
	const Target &t = GetParam().target();
	if (!t.missing.empty())
		GTEST_SKIP() << t.missing;
	TempDir dir;
	Program p(t, GetParam().args, dir.Path());
	EXPECT_EQ(p.WaitForExit(t.StartLimit()), 2);
	EXPECT_EQ(p.Err(), GetParam().line);
	EXPECT_EQ(p.Out(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Mistaken, testing::ValuesIn(Mistakes),
			 [](const auto &i) { return std::string(i.param.name); });

// Asked for, the usage or the version on standard output, and 0.
struct Request {
	const char *name;
	const Target &(*target)();
	const char *arg;
	std::string out;  // what standard output begins with
	friend void PrintTo(const Request &r, std::ostream *os) { *os << r.name; }
};

const Request Requests[] = {
	{"linux_help", LinuxTarget, "--help", "Usage: changewait [OPTION]... FILE\n"},
	{"linux_h", LinuxTarget, "-h", "Usage: changewait [OPTION]... FILE\n"},
	{"linux_version", LinuxTarget, "--version", "changewait " CHANGEWAIT_VERSION "\n"},
	{"linux_V", LinuxTarget, "-V", "changewait " CHANGEWAIT_VERSION "\n"},
	{"windows_usage", WineTarget, "/?", "Usage: changewait [/T:SECONDS] [/P] [/C] FILE\r\n"},
};

class Requested : public testing::TestWithParam<Request> {};

TEST_P(Requested, GoesToStandardOutputWithZero)
{
	const Target &t = GetParam().target();
	if (!t.missing.empty())
		GTEST_SKIP() << t.missing;
	Program p(t, {GetParam().arg});
	EXPECT_EQ(p.WaitForExit(t.StartLimit()), 0);
	EXPECT_EQ(p.Out().substr(0, GetParam().out.size()), GetParam().out);
	EXPECT_EQ(p.Err(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Requested, testing::ValuesIn(Requests),
			 [](const auto &i) { return std::string(i.param.name); });

// How the program is started, and the argument it is given: the file it
// must then wait for is dir/<file>.
struct Naming {
	const char *name;
	std::vector<std::string> command;  // before the arguments; empty: the binary
	std::vector<std::string> args;     // "DIR/" stands for the test's directory
	const char *file;
	friend void PrintTo(const Naming &n, std::ostream *os) { *os << n.name; }
};

const std::string Bash = "/bin/bash";

const Naming Namings[] = {
	{"quote_in_program_name", {Bash, "-c", "exec -a 'x\"y' \"$0\" \"$@\"", CHANGEWAIT_BINARY}, {"DIR/out.txt"}, "out.txt"},
	{"quoted_directory_of_program", {"DIR/my \"tools\"/changewait"}, {"DIR/out.txt"}, "out.txt"},
	{"unclosed_quote_then_more", {}, {"DIR/x\"", "--verbose"}, "x"},
	{"quotes_and_blanks", {}, {"DIR/my \"best\" file.txt"}, "my best file.txt"},
	{"leading_blank_kept", {}, {"DIR/ lead.txt"}, " lead.txt"},
	{"help_as_a_path", {}, {"DIR/--help"}, "--help"},
	// Options before the file, in each spelling; -- ends them.
	{"long_options", {}, {"--timeout=60", "--complete", "DIR/out.txt"}, "out.txt"},
	{"bundled_with_value", {}, {"-ct", "60", "--", "DIR/out.txt"}, "out.txt"},
	{"value_apart", {}, {"--timeout", "60", "-c", "DIR/-c"}, "-c"},
};

class Arguments : public testing::TestWithParam<Naming> {};

TEST_P(Arguments, NameTheFileWhole)
{
	const Naming &n = GetParam();
	TempDir dir;
	const auto expand = [&](std::string s) {
		if (s.rfind("DIR/", 0) == 0)
			s = dir / s.substr(4);
		return s;
	};
	ASSERT_EQ(mkdir((dir / "my \"tools\"").c_str(), 0755), 0);
	ASSERT_EQ(symlink(CHANGEWAIT_BINARY, (dir / "my \"tools\"/changewait").c_str()), 0);
	Target t{"named", {}, false, ""};
	for (const std::string &c : n.command.empty() ? std::vector<std::string>{CHANGEWAIT_BINARY} : n.command)
		t.command.push_back(expand(c));
	if (t.command[0] == Bash && access(Bash.c_str(), X_OK) != 0)
		GTEST_SKIP() << "bash is needed for exec -a";
	std::vector<std::string> args;
	for (const std::string &a : n.args)
		args.push_back(expand(a));

	Program p(t, args);
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / "out", "not this one");
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / n.file, "data");
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Err(), "");
}

INSTANTIATE_TEST_SUITE_P(Process, Arguments, testing::ValuesIn(Namings),
			 [](const auto &i) { return std::string(i.param.name); });

}  // namespace
