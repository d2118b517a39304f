// Files, folders, events and threads of the platform layer.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tw::platform {
namespace {

std::string ScratchFolder(const char* name) {
    std::string folder = std::string(::testing::TempDir()) + "tarnwell_platform_" + name;
    CreateFolder(folder);
    return folder;
}

TEST(PlatformFiles, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    std::string folder = ScratchFolder("atomic");
    std::string path = JoinPath(folder, "a.bin");
    ASSERT_TRUE(WriteFileAtomically(path, "long old contents", 17));
    ASSERT_TRUE(WriteFileAtomically(path, "new", 3));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
    EXPECT_EQ(ListFolder(folder, ".partial").size(), 0u);
    EXPECT_FALSE(WriteFileAtomically(JoinPath(folder, "no/such/dir/x"), "x", 1));
}

TEST(PlatformFiles, ReadWriteSeekTruncate) {
    std::string path = JoinPath(ScratchFolder("rw"), "f.bin");
    File f;
    ASSERT_TRUE(OpenFile(f, path, OpenMode::Write));
    ASSERT_TRUE(WriteFile(f, "abcdef", 6));
    ASSERT_TRUE(SeekFile(f, 2));
    ASSERT_TRUE(TruncateFile(f));
    EXPECT_EQ(FileSize(f), 2);
    CloseFile(f);
    EXPECT_FALSE(f.is_open());
    ASSERT_TRUE(OpenFile(f, path, OpenMode::Read));
    char buf[8] = {};
    EXPECT_EQ(ReadFile(f, buf, 8), 2u);
    EXPECT_EQ(std::string(buf), "ab");
    CloseFile(f);
    File missing;
    EXPECT_FALSE(OpenFile(missing, path + ".nope", OpenMode::Read));
    EXPECT_FALSE(OpenFile(missing, ScratchFolder("rw"), OpenMode::Read));  // a folder is no file
}

TEST(PlatformFiles, ListFolderFiltersBySuffixCaseInsensitively) {
    std::string folder = ScratchFolder("list");
    for (const char* name : {"b.q8r", "a.Q8R", "c.txt"}) WriteFileAtomically(JoinPath(folder, name), "x", 1);
    CreateFolder(JoinPath(folder, "d.q8r"));  // folders are not listed
    auto names = ListFolder(folder, ".q8r");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "a.Q8R");
    EXPECT_EQ(names[1], "b.q8r");
}

TEST(PlatformFiles, FolderEntriesTellFilesFoldersAndReadOnlyFilesApart) {
    std::string folder = ScratchFolder("entries");
    for (const char* name : {"b.q9q", "a.q5q", "locked.q9q"}) WriteFileAtomically(JoinPath(folder, name), "x", 1);
    CreateFolder(JoinPath(folder, "sub.q9q"));
    namespace fs = std::filesystem;
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(JoinPath(folder, "locked.q9q"), writable, fs::perm_options::remove);

    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolderEntries(folder, entries));
    ASSERT_EQ(entries.size(), 4u) << "every entry but . and ..";
    EXPECT_EQ(entries[0].name, "a.q5q");
    EXPECT_TRUE(entries[0].is_file);
    EXPECT_FALSE(entries[0].read_only);
    EXPECT_EQ(entries[2].name, "locked.q9q");
    EXPECT_TRUE(entries[2].read_only);
    EXPECT_EQ(entries[3].name, "sub.q9q");
    EXPECT_FALSE(entries[3].is_file);
    EXPECT_FALSE(entries[3].read_only);
    fs::permissions(JoinPath(folder, "locked.q9q"), fs::perms::owner_write, fs::perm_options::add);

    // An empty folder lists; a missing one or a file does not.
    ASSERT_TRUE(ListFolderEntries(ScratchFolder("entries-empty"), entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(ListFolderEntries(JoinPath(folder, "absent"), entries));
    EXPECT_FALSE(ListFolderEntries(JoinPath(folder, "a.q5q"), entries));
}

TEST(PlatformFiles, TempFolderHonoursOverrideAndEndsWithSeparator) {
    setenv("TARNWELL_TEMP", "/some/where", 1);
    EXPECT_EQ(TempFolder(), std::string("/some/where") + PathSeparator());
    unsetenv("TARNWELL_TEMP");
    std::string t = TempFolder();
    EXPECT_EQ(t.back(), PathSeparator());
    EXPECT_LE(t.size(), 259u);
}

TEST(PlatformThreads, ProcessorCountCanBePinned) {
    setenv("TARNWELL_THREADS", "3", 1);
    EXPECT_EQ(ProcessorCount(), 3);
    setenv("TARNWELL_THREADS", "0", 1);  // nonsense falls back to the system's count
    EXPECT_GE(ProcessorCount(), 1);
    setenv("TARNWELL_THREADS", "x", 1);
    EXPECT_GE(ProcessorCount(), 1);
    unsetenv("TARNWELL_THREADS");
}

struct Worker {
    Event* done;
    std::atomic<int>* counter;
};

TEST(PlatformThreads, EventsWakeOneWaitEachAndReportWhichFired) {
    constexpr int kSlots = 100;  // more than one Windows wait call can hold
    Event* events[kSlots];
    for (auto& e : events) e = CreateEvent();
    std::atomic<int> counter{0};
    Worker workers[kSlots];
    for (int i = 0; i < kSlots; ++i) {
        workers[i] = {events[i], &counter};
        ASSERT_TRUE(StartThread(
            [](void* p) {
                auto* w = static_cast<Worker*>(p);
                w->counter->fetch_add(1);
                SignalEvent(w->done);
            },
            &workers[i], 200000));
    }
    bool seen[kSlots] = {};
    for (int i = 0; i < kSlots; ++i) {
        size_t which = WaitForAnyEvent(events, kSlots);
        ASSERT_LT(which, size_t(kSlots));
        EXPECT_FALSE(seen[which]) << "an auto-reset event fired twice";
        seen[which] = true;
    }
    EXPECT_EQ(counter.load(), kSlots);
    for (auto& e : events) DestroyEvent(e);
}

TEST(PlatformRandom, SeededSequenceIsTheSameEverywhere) {
    // The first values of the classic 15-bit C generator seeded with 1.
    SeedRandom(1);
    EXPECT_EQ(Random(), 41);
    EXPECT_EQ(Random(), 18467);
    EXPECT_EQ(Random(), 6334);
    EXPECT_EQ(RandomMax(), 32767);
}

}  // namespace
}  // namespace tw::platform
