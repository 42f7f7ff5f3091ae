// notify_test.cpp - the inotify notification handle: which changes signal
// it, and that none is lost between a wait and the next.
#include "windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const DWORD Filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

class Notify : public testing::Test {
protected:
	void SetUp() override
	{
		char tmpl[] = "/tmp/changewait-notify-XXXXXX";
		ASSERT_NE(mkdtemp(tmpl), nullptr);
		dir_ = tmpl;
		handle_ = FindFirstChangeNotificationA(dir_.c_str(), FALSE, Filter);
		ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
		// A wait that should return at once but blocks ends the test run.
		alarm(20);
	}
	void TearDown() override
	{
		alarm(0);
		if (handle_ != INVALID_HANDLE_VALUE)
			FindCloseChangeNotification(handle_);
		fs::remove_all(dir_);
	}
	std::string Path(const std::string &name) const { return dir_ + "/" + name; }
	void Write(const std::string &name, const std::string &data) const
	{
		std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << data;
	}
	std::string dir_;
	HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST_F(Notify, EachKindOfChangeSignals)
{
	const auto expectSignal = [&](const char *what) {
		EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0) << what;
		EXPECT_TRUE(FindNextChangeNotification(handle_)) << what;
	};
	Write("a", "");
	expectSignal("created");
	Write("a", "data");
	expectSignal("written");
	const struct timespec t[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
	ASSERT_EQ(utimensat(AT_FDCWD, Path("a").c_str(), t, 0), 0);
	expectSignal("time set");
	ASSERT_EQ(truncate(Path("a").c_str(), 0), 0);
	expectSignal("truncated");
	ASSERT_EQ(rename(Path("a").c_str(), Path("b").c_str()), 0);
	expectSignal("renamed");
	ASSERT_EQ(unlink(Path("b").c_str()), 0);
	expectSignal("deleted");
}

// Written after one wait returned and before the next: the next returns.
TEST_F(Notify, AChangeBetweenWaitsIsKept)
{
	Write("a", "1");
	ASSERT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0);
	Write("a", "22");
	ASSERT_TRUE(FindNextChangeNotification(handle_));
	EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0);
}

// More events than the kernel queues: the overflow still signals.
TEST_F(Notify, QueueOverflowSignals)
{
	std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
	int max = 16384;
	limit >> max;
	if (max > 100000)
		GTEST_SKIP() << "the event queue holds " << max << " events";
	for (int i = 0; i <= max; i++)
		Write("f" + std::to_string(i), "");
	for (int i = 0; i < 20; i++) {
		ASSERT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0);
		ASSERT_TRUE(FindNextChangeNotification(handle_));
	}
}

TEST_F(Notify, RemovedDirectoryFailsTheNextArming)
{
	fs::remove_all(dir_);
	EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0);
	// The deletion and the dropped watch may come in one read or two.
	if (FindNextChangeNotification(handle_))
		WaitForSingleObject(handle_, INFINITE);
	EXPECT_FALSE(FindNextChangeNotification(handle_));
	EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_FAILED);
}

TEST(NotifySetUp, WhatIsNotADirectoryFails)
{
	for (const char *path : {"/nonexistent-changewait", "/etc/hostname", "", "/dev/null"})
		EXPECT_EQ(FindFirstChangeNotificationA(path, FALSE, Filter), INVALID_HANDLE_VALUE) << path;
}

}  // namespace
