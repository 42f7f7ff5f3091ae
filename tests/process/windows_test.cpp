// windows_test.cpp - what only the Windows program has: drive letters, the
// Windows separators, UNC names and the raw Windows command line.
#include "launcher.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

class Windows : public testing::Test {
protected:
	void SetUp() override
	{
		if (!WineTarget().missing.empty())
			GTEST_SKIP() << WineTarget().missing;
	}

	// Runs an argument that must wait in dir and end once out.txt is written.
	// Each run needs a directory of its own: the wine server lets go of an
	// ended program's watch a little later, and a watch left on dir would
	// pass for the next program's before that one has read its baseline.
	void ExpectWaitsIn(const std::vector<std::string> &args, const std::string &dir,
			   const Target &t = WineTarget())
	{
		Program p(t, args);
		ASSERT_TRUE(p.WaitUntilWatching(dir));
		WriteText(dir + "/beside.txt", "x");
		EXPECT_TRUE(p.StillRunningAfter());
		WriteText(dir + "/out.txt", "data");
		EXPECT_EQ(p.WaitForExit(), 0);
		EXPECT_EQ(p.Err(), "");
	}
};

// Maps a spare drive letter to a directory through the prefix's dosdevices.
class Drive {
public:
	Drive(char letter, const std::string &target)
		: link_(std::string(WINE_PREFIX) + "/dosdevices/" + letter + ":")
	{
		unlink(link_.c_str());
		fs::create_directory_symlink(target, link_);
	}
	~Drive() { unlink(link_.c_str()); }

private:
	std::string link_;
};

TEST_F(Windows, ForwardSlashesAndMixedSeparators)
{
	TempDir mixed, native;
	std::string slashes = WineTarget().Native(mixed.Path());
	for (char &c : slashes)
		if (c == '\\')
			c = '/';
	ExpectWaitsIn({slashes + "/out.txt"}, mixed.Path());
	ExpectWaitsIn({WineTarget().Native(native.Path()) + "/out.txt"}, native.Path());
}

TEST_F(Windows, FileInADriveRootWatchesTheRoot)
{
	TempDir upper, lower;
	{
		Drive q('q', upper.Path());
		ExpectWaitsIn({"Q:\\out.txt"}, upper.Path());
	}
	Drive q('q', lower.Path());
	ExpectWaitsIn({"q:/out.txt"}, lower.Path());
}

// A drive whose current directory was never set stands at its root.
TEST_F(Windows, DriveRelativeNameWatchesTheDrivesCurrentDirectory)
{
	TempDir dir;
	Drive r('r', dir.Path());
	ExpectWaitsIn({"R:out.txt"}, dir.Path());
}

TEST_F(Windows, LongAndUnixNamespaceNames)
{
	TempDir win32, posix;
	ExpectWaitsIn({"\\\\?\\" + WineTarget().Native(win32 / "out.txt")}, win32.Path());
	ExpectWaitsIn({"\\\\?\\unix" + posix / "out.txt"}, posix.Path());
}

// Wine escapes quotes when it turns argv into a command line, so these go
// through a batch file, which hands its line to the program as written.
class RawCommandLine : public Windows {
protected:
	const Target &Cmd()
	{
		static const Target t{"wine-cmd", {WINE_LOADER, "cmd", "/c"}, true, ""};
		return t;
	}
	std::string Batch(const TempDir &dir, const std::string &line)
	{
		const std::string path = dir / "run.bat";
		std::ofstream(path, std::ios::binary) << "@" << line << "\r\n";
		return WineTarget().Native(path);
	}
	std::string Exe() const { return WineTarget().Native(CHANGEWAIT_WINE_EXE); }
};

TEST_F(RawCommandLine, QuotesInsideTheArgumentGroupBlanks)
{
	TempDir dir;
	const std::string line = "\"" + Exe() + "\" " + WineTarget().Native(dir.Path()) + "\\a\"b c\"d.txt";
	Program p(Cmd(), {Batch(dir, line)});
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	WriteText(dir / "a\"b c\"d.txt", "not this name");
	EXPECT_TRUE(p.StillRunningAfter());
	WriteText(dir / "ab cd.txt", "data");
	EXPECT_EQ(p.WaitForExit(), 0);
}

TEST_F(RawCommandLine, QuotedProgramNameWithBlanks)
{
	TempDir dir;
	ASSERT_TRUE(fs::create_directory(dir / "my tools"));
	fs::copy_file(CHANGEWAIT_WINE_EXE, dir / "my tools/changewait.exe");
	const std::string exe = WineTarget().Native(dir / "my tools/changewait.exe");
	const std::string out = WineTarget().Native(dir / "out.txt");
	ExpectWaitsIn({Batch(dir, "\"" + exe + "\" " + out + " extra")}, dir.Path(), Cmd());
}

TEST_F(RawCommandLine, QuotedArgumentWithBlanks)
{
	TempDir dir;
	ASSERT_TRUE(fs::create_directory(dir / "my data"));
	const std::string arg = "\"" + WineTarget().Native(dir / "my data/out.txt") + "\"";
	ExpectWaitsIn({Batch(dir, "\"" + Exe() + "\" " + arg)}, dir / "my data", Cmd());
}

// Names in any script, whatever the system's code page: a file in a Greek
// directory, files named in Japanese, Cyrillic and with an emoji are each
// watched; a missing directory so named is named in the line, in UTF-8.
struct Script {
	const char *name;
	const char *dir;  // under the test's directory, "" for it
	const char *file;
	friend void PrintTo(const Script &s, std::ostream *os) { *os << s.name; }
};

const Script Scripts[] = {
	{"greek_directory", "Ελληνικά", "out.txt"},
	{"japanese_file", "", "日本語.txt"},
	{"cyrillic_file", "", "файл.txt"},
	{"emoji_file", "", "\U0001F600.txt"},
};

class AnyScript : public Windows, public testing::WithParamInterface<Script> {};

TEST_P(AnyScript, IsWatched)
{
	TempDir d;
	const Script &s = GetParam();
	const std::string dir = *s.dir ? d / s.dir : d.Path();
	fs::create_directories(dir);
	Program p(WineTarget(), {WineTarget().Native(dir + "/" + s.file)});
	ASSERT_TRUE(p.WaitUntilWatching(dir));
	WriteText(dir + "/" + s.file, "data");
	EXPECT_EQ(p.WaitForExit(), 0);
	EXPECT_EQ(p.Err(), "");
}

TEST_P(AnyScript, MissingDirectoryIsNamedInTheLine)
{
	TempDir d;
	const std::string dir = d / (std::string("missing-") + (*GetParam().dir ? GetParam().dir : GetParam().file));
	Program p(WineTarget(), {WineTarget().Native(dir + "/out.txt")});
	EXPECT_EQ(p.WaitForExit(), 1);
	EXPECT_EQ(p.Err(), "Verzeichnis kann nicht beobachtet werden: " + WineTarget().Native(dir) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Windows, AnyScript, testing::ValuesIn(Scripts),
			 [](const auto &i) { return std::string(i.param.name); });

// A helper of tests/windows, built here by MinGW and run under Wine.
Target WindowsTool(const std::string &name)
{
	const std::string out = fs::temp_directory_path() / ("changewait-" + name + ".exe");
	const std::string cc = "x86_64-w64-mingw32-gcc -O2 -o " + out + " " WINDOWS_TOOLS "/" + name + ".c 2>/dev/null";
	return {name, {WINE_LOADER, out}, true,
		system(cc.c_str()) == 0 ? "" : "x86_64-w64-mingw32-gcc cannot build " + name + ".c"};
}

// A producer that holds the file without sharing while it writes and for a
// second after: the wait ends once it lets go, though no notification
// comes then.
TEST_F(Windows, FileHeldWithoutSharingIsSeenOnceLetGo)
{
	static const Target holder = WindowsTool("holdfile");
	if (!holder.missing.empty())
		GTEST_SKIP() << holder.missing;
	for (int round = 0; round < 10; round++) {
		TempDir dir;
		Program p(WineTarget(), {WineTarget().Native(dir / "out.txt")});
		ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
		Program producer(holder, {holder.Native(dir / "out.txt"), "1000"});
		ASSERT_EQ(producer.WaitForExit(60s), 0) << "round " << round;
		ASSERT_EQ(p.WaitForExit(), 0) << "round " << round;
	}
}

// A producer that shares reading lets the plain wait end at its write;
// asked to wait for the writer to be done, the program ends once it lets go.
TEST_F(Windows, CompleteWaitsForAWriterThatSharesReading)
{
	static const Target holder = WindowsTool("holdfile");
	if (!holder.missing.empty())
		GTEST_SKIP() << holder.missing;
	TempDir dir;
	Program p(WineTarget(), {"/C", WineTarget().Native(dir / "out.txt")});
	ASSERT_TRUE(p.WaitUntilWatching(dir.Path()));
	Program producer(holder, {holder.Native(dir / "out.txt"), "3000", "read"});
	struct stat st{};
	const auto limit = std::chrono::steady_clock::now() + 60s;
	while ((stat((dir / "out.txt").c_str(), &st) != 0 || st.st_size == 0) && std::chrono::steady_clock::now() < limit)
		std::this_thread::sleep_for(10ms);
	ASSERT_GT(st.st_size, 0);
	EXPECT_TRUE(p.StillRunningAfter(1s));
	ASSERT_EQ(producer.WaitForExit(60s), 0);
	EXPECT_EQ(p.WaitForExit(), 0);
}

// A Windows reader of the program's standard output sees its end once the
// program watches, and the write it then makes ends the wait.
TEST_F(Windows, LetsGoOfItsOutputOnceItWatches)
{
	static const Target reader = WindowsTool("readyrun");
	if (!reader.missing.empty())
		GTEST_SKIP() << reader.missing;
	for (int round = 0; round < 10; round++) {
		TempDir dir;
		Program p(reader, {reader.Native(CHANGEWAIT_WINE_EXE), reader.Native(dir / "out.txt")});
		ASSERT_EQ(p.WaitForExit(60s), 0) << "round " << round;
	}
}

}  // namespace
