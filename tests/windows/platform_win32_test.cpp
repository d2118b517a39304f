// The Win32 side of the platform layer, run under Wine: what differs from POSIX (the
// temporary-folder fallback, replacing renames, waits over more than 64 events, thread
// stacks) and the file calls the settings and exporters rely on.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <malloc.h>
#undef CreateEvent  // windows.h would turn the platform layer's CreateEvent into CreateEventA

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::platform {
namespace {

std::string Scratch(const char* name) {
    std::string folder = TempFolder() + "tarnwell_win32_" + name;
    CreateFolder(folder);
    return folder;
}

void Put(const std::string& path, const std::string& text) {
    File f;
    ASSERT_TRUE(OpenFile(f, path, OpenMode::Write)) << path;
    ASSERT_TRUE(WriteFile(f, text.data(), text.size()));
    CloseFile(f);
}

std::string Get(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
}

// Restores TARNWELL_TEMP when a test ends, however it ends.
struct TempOverride {
    explicit TempOverride(const std::string& value) { _putenv_s("TARNWELL_TEMP", value.c_str()); }
    ~TempOverride() { _putenv_s("TARNWELL_TEMP", ""); }
};

TEST(Win32Files, TempFolderIsUsableAndFallsBackWhenTooLong) {
    _putenv_s("TARNWELL_TEMP", "");
    const std::string system = TempFolder();
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system.back(), '\\');
    EXPECT_LE(system.size(), 259u);
    EXPECT_TRUE(CreateFolder(system)) << system << " is not a folder";
    {
        TempOverride pinned("C:\\some\\place");
        EXPECT_EQ(TempFolder(), "C:\\some\\place\\");
    }
    {
        // No scratch path could be built under a folder this long.
        TempOverride pinned("C:\\" + std::string(300, 'a'));
        EXPECT_EQ(TempFolder(), "C:\\Windows\\Temp\\");
    }
}

TEST(Win32Files, RenameReplacesTargetAndAtomicWriteKeepsOldFileOnFailure) {
    const std::string folder = Scratch("rename");
    const std::string a = JoinPath(folder, "a.q8r"), b = JoinPath(folder, "b.q8r");
    EXPECT_EQ(a, folder + "\\a.q8r");
    Put(a, "new");
    Put(b, "old contents");
    ASSERT_TRUE(RenameFile(a, b));
    EXPECT_EQ(Get(b), "new");
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(RenameFile(a, b)) << "renaming a missing file reported success";
    EXPECT_EQ(Get(b), "new");

    // With a reader holding the file open, Windows may refuse the replacement; then the
    // failure is reported, the old contents stay whole and no temporary is left behind.
    File reader;
    ASSERT_TRUE(OpenFile(reader, b, OpenMode::Read));
    const bool replaced = WriteFileAtomically(b, "newer", 5);
    CloseFile(reader);
    EXPECT_EQ(Get(b), replaced ? "newer" : "new");
    EXPECT_TRUE(ListFolder(folder, ".partial").empty());
}

TEST(Win32Files, OpenModesAndFolders) {
    const std::string folder = Scratch("open");
    const std::string path = JoinPath(folder, "f.bin");
    Put(path, "abcdef");
    File f;
    EXPECT_FALSE(OpenFile(f, JoinPath(folder, "missing.bin"), OpenMode::Read));
    EXPECT_FALSE(OpenFile(f, JoinPath(folder, "missing.bin"), OpenMode::ReadWrite));
    EXPECT_FALSE(OpenFile(f, folder, OpenMode::Read)) << "a folder opened as a file";
    ASSERT_TRUE(OpenFile(f, path, OpenMode::ReadWrite));
    EXPECT_EQ(FileSize(f), 6) << "opening for update must not truncate";
    ASSERT_TRUE(SeekFile(f, 4));
    ASSERT_TRUE(WriteFile(f, "XY", 2));
    EXPECT_FALSE(SeekFile(f, -1));
    CloseFile(f);
    EXPECT_EQ(Get(path), "abcdXY");
    EXPECT_FALSE(WriteFile(f, "x", 1)) << "wrote to a closed file";

    CreateFolder(JoinPath(folder, "dir.q8r"));  // a folder that looks like a settings file
    Put(JoinPath(folder, "B.Q8R"), "x");
    Put(JoinPath(folder, "a.q8r"), "x");
    Put(JoinPath(folder, "c.q8rx"), "x");
    EXPECT_EQ(ListFolder(folder, ".q8r"), (std::vector<std::string>{"B.Q8R", "a.q8r"}));
    EXPECT_TRUE(ListFolder(JoinPath(folder, "nowhere"), ".q8r").empty());
}

struct Signaller {
    Event* event;
    int delay_ms;
};

TEST(Win32Events, WaitSeesALateSignalBeyondTheFirst64) {
    constexpr size_t kSlots = 100;
    std::vector<Event*> events(kSlots);
    for (Event*& e : events) ASSERT_NE(e = CreateEvent(), nullptr);

    // The waiter is already blocked when the signal arrives in the second group.
    Signaller late{events[99], 50};
    ASSERT_TRUE(StartThread(
        [](void* p) {
            auto* s = static_cast<Signaller*>(p);
            ::Sleep(DWORD(s->delay_ms));
            SignalEvent(s->event);
        },
        &late, 65536));
    EXPECT_EQ(WaitForAnyEvent(events.data(), kSlots), 99u);

    // A consumed signal is gone: the next wait reports the next event signalled, not the
    // same one again, in whichever group it lies.
    SignalEvent(events[70]);
    EXPECT_EQ(WaitForAnyEvent(events.data(), kSlots), 70u);
    SignalEvent(events[3]);
    EXPECT_EQ(WaitForAnyEvent(events.data(), kSlots), 3u);

    // Missing events are ignored rather than failing the wait.
    events[5] = nullptr;
    SignalEvent(events[64]);
    EXPECT_EQ(WaitForAnyEvent(events.data(), kSlots), 64u);
    for (Event* e : events) DestroyEvent(e);
}

TEST(Win32Events, SmallSetsWaitWithoutTimeOut) {
    Event* events[3] = {CreateEvent(), CreateEvent(), CreateEvent()};
    Signaller s{events[2], 20};
    ASSERT_TRUE(StartThread(
        [](void* p) {
            auto* sig = static_cast<Signaller*>(p);
            ::Sleep(DWORD(sig->delay_ms));
            SignalEvent(sig->event);
        },
        &s, 65536));
    EXPECT_EQ(WaitForAnyEvent(events, 3), 2u);
    for (Event* e : events) DestroyEvent(e);
}

struct StackUser {
    size_t bytes;
    Event* done;
    volatile int checksum;
};

TEST(Win32Threads, ThreadsGetTheStackTheyAskFor) {
    // A render worker asks for 200000 bytes; use most of it. A thread given the system's
    // default would still pass, so also ask for more than the 1 MB default and use that.
    for (size_t stack : {size_t(200000), size_t(4) << 20}) {
        StackUser user{stack - 64 * 1024, CreateEvent(), 0};
        ASSERT_TRUE(StartThread(
            [](void* p) {
                auto* u = static_cast<StackUser*>(p);
                auto* block = static_cast<volatile char*>(_alloca(u->bytes));
                for (size_t i = 0; i < u->bytes; i += 512) block[i] = char(i);
                int sum = 0;
                for (size_t i = 0; i < u->bytes; i += 512) sum += block[i];
                u->checksum = sum;
                SignalEvent(u->done);
            },
            &user, stack));
        Event* events[1] = {user.done};
        EXPECT_EQ(WaitForAnyEvent(events, 1), 0u);
        int expected = 0;
        for (size_t i = 0; i < user.bytes; i += 512) expected += char(i);
        EXPECT_EQ(user.checksum, expected) << "stack " << stack;
        DestroyEvent(user.done);
    }
}

TEST(Win32Threads, UnloadingTheModuleRightAfterADoneSignalIsSafe) {
    // An editor unloads the plug-in as soon as the filter returns, which is right after the
    // last worker has signalled. The worker must keep the module mapped until it has left
    // its code; otherwise this process crashes a moment after FreeLibrary.
    HMODULE probe = ::LoadLibraryA(TARNWELL_THREAD_PROBE_PATH);
    ASSERT_NE(probe, nullptr) << "cannot load " << TARNWELL_THREAD_PROBE_PATH;
    using Start = int (*)(Event*, unsigned);
    auto start = reinterpret_cast<Start>(reinterpret_cast<void*>(::GetProcAddress(probe, "StartLingeringWorker")));
    ASSERT_NE(start, nullptr);
    Event* done = CreateEvent();
    ASSERT_EQ(start(done, 300), 1);
    Event* events[1] = {done};
    EXPECT_EQ(WaitForAnyEvent(events, 1), 0u);
    ::FreeLibrary(probe);
    ::Sleep(600);  // the worker wakes inside the module and returns through it
    // Once the worker has gone the module is released for good.
    EXPECT_EQ(::GetModuleHandleA(TARNWELL_THREAD_PROBE_PATH), nullptr);
    DestroyEvent(done);
}

TEST(Win32Clock, SecondsAndProcessors) {
    const int64_t before = int64_t(std::time(nullptr));
    const int64_t now = ClockSeconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 2);
    EXPECT_GE(ProcessorCount(), 1);
}

}  // namespace
}  // namespace tw::platform
