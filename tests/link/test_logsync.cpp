// The recorded log reaches the disk within about a second of a line: the
// writer's fdatasync calls are counted (and made to fail) through the
// linker's --wrap, so the test sees what the disk would see.
#include "link/LogFile.h"

#include "decode/Errors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

extern "C" int __real_fdatasync(int fd);

namespace {

// the writer's own sync thread reaches them too
std::atomic<int> syncs{0};
std::atomic<int> failWith{0};
std::atomic<int> slowMs{0};

struct TempDir {
    std::string path;
    TempDir()
    {
        const char* t = std::getenv("TMPDIR");
        std::string tmpl = std::string(t && *t ? t : "/tmp") + "/logsync-XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

extern "C" int __wrap_fdatasync(int fd)
{
    ++syncs;
    if (slowMs) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs.load()));
    if (failWith) {
        errno = failWith;
        return -1;
    }
    return __real_fdatasync(fd);
}

TEST(LogSync, LinesAreSyncedWithinTheBoundAndNotEveryLine)
{
    TempDir d;
    TLogWriter w;
    ASSERT_TRUE(w.Create(d.path + "/a.alg"));
    FrameBuffer f{};
    syncs = 0;
    for (int i = 0; i < 50; ++i) w.WriteLogLine(i, f.data(), 60); // a burst: at most one sync
    EXPECT_LE(syncs, 1);
    EXPECT_TRUE(w.Unsynced());
    EXPECT_TRUE(w.SyncIfDue());
    EXPECT_TRUE(w.Unsynced()); // not due yet
    Sleep(TLogWriter::SyncAfterMs + 20);
    const int before = syncs;
    EXPECT_TRUE(w.SyncIfDue()); // the idle check catches the last line
    EXPECT_EQ(syncs, before + 1);
    EXPECT_FALSE(w.Unsynced());
    EXPECT_TRUE(w.SyncIfDue());
    EXPECT_EQ(syncs, before + 1); // nothing new, no sync

    // a steady stream is synced by the writes themselves
    syncs = 0;
    for (int i = 0; i < 12; ++i) {
        w.WriteLogLine(i, f.data(), 60);
        Sleep(100);
    }
    EXPECT_GE(syncs, 1);
    EXPECT_LE(syncs, 3);
}

TEST(LogSync, AFailedSyncIsReportedByTheNextLine)
{
    TempDir d;
    TLogWriter w;
    ASSERT_TRUE(w.Create(d.path + "/b.alg"));
    FrameBuffer f{};
    w.WriteLogLine(1, f.data(), 3);
    Sleep(TLogWriter::SyncAfterMs + 20);
    failWith = EIO;
    EXPECT_FALSE(w.SyncIfDue());
    failWith = 0;
    EXPECT_THROW(w.WriteLogLine(2, f.data(), 3), EInOutError);
    w.WriteLogLine(3, f.data(), 3); // reported once; the log goes on
    w.Close();
    EXPECT_FALSE(w.IsOpen());
}

// Synced on the writer's own thread: a slow disk never holds up a line, the
// last line of a pause is synced unasked, and a failed sync is reported and
// tried again instead of ending the log.
TEST(LogSync, InTheBackgroundSlowAndFailingSyncsNeverHoldUpOrEndTheLog)
{
    TempDir d;
    TLogWriter w;
    std::atomic<int> failures{0};
    w.SyncInBackground([&](int err) {
        EXPECT_EQ(err, EIO);
        ++failures;
    });
    ASSERT_TRUE(w.Create(d.path + "/c.alg"));
    FrameBuffer f{};
    syncs = 0;
    slowMs = 400;
    auto longest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 30; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        w.WriteLogLine(i, f.data(), 60);
        longest = std::max(longest, std::chrono::steady_clock::now() - t0);
        Sleep(50);
    }
    EXPECT_GE(syncs, 1);
    EXPECT_LT(longest, std::chrono::milliseconds(200));
    for (int i = 0; i < 40 && w.Unsynced(); ++i) Sleep(50);
    EXPECT_FALSE(w.Unsynced());
    slowMs = 0;

    failWith = EIO;
    w.WriteLogLine(100, f.data(), 3);
    for (int i = 0; i < 50 && failures < 2; ++i) Sleep(50);
    EXPECT_GE(failures, 2); // tried again
    EXPECT_TRUE(w.Unsynced());
    failWith = 0;
    EXPECT_NO_THROW(w.WriteLogLine(101, f.data(), 3));
    for (int i = 0; i < 40 && w.Unsynced(); ++i) Sleep(50);
    EXPECT_FALSE(w.Unsynced());
    w.Close();
}
