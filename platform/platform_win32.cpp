// Win32 implementation of the platform layer (the Windows module and tarnwell.exe).
// Text is 8-bit ANSI throughout, so the "A" functions are used everywhere.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <process.h>
#include <shellapi.h>
// windows.h renames CreateEvent to CreateEventA, which would hide our own CreateEvent.
#undef CreateEvent

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <new>

namespace tw::platform {

namespace {
HANDLE AsHandle(const File& file) { return reinterpret_cast<HANDLE>(file.handle); }
}  // namespace

// ---- Files -----------------------------------------------------------------------------

bool OpenFile(File& file, const std::string& path, OpenMode mode) {
    CloseFile(file);
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    DWORD share = FILE_SHARE_READ;
    if (mode == OpenMode::Write) {
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    } else if (mode == OpenMode::ReadWrite) {
        access = GENERIC_READ | GENERIC_WRITE;
    } else {
        // A reader must not stop someone else replacing the file by rename.
        share |= FILE_SHARE_DELETE;
    }
    HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    file.handle = reinterpret_cast<intptr_t>(h);
    return true;
}

void CloseFile(File& file) {
    if (file.is_open()) ::CloseHandle(AsHandle(file));
    file.handle = -1;
}

size_t ReadFile(File& file, void* data, size_t size) {
    if (!file.is_open()) return 0;
    size_t done = 0;
    // ReadFile takes a 32-bit count; large requests go in pieces.
    while (done < size) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(AsHandle(file), static_cast<char*>(data) + done, want, &got, nullptr)) break;
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool WriteFile(File& file, const void* data, size_t size) {
    if (!file.is_open()) return false;
    size_t done = 0;
    while (done < size) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(AsHandle(file), static_cast<const char*>(data) + done, want, &put, nullptr))
            return false;
        if (put == 0) return false;
        done += put;
    }
    return true;
}

bool TruncateFile(File& file) {
    return file.is_open() && ::SetEndOfFile(AsHandle(file)) != 0;
}

bool SeekFile(File& file, int64_t offset) {
    if (!file.is_open() || offset < 0) return false;
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return ::SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN) != 0;
}

int64_t FileSize(File& file) {
    LARGE_INTEGER size;
    if (!file.is_open() || !::GetFileSizeEx(AsHandle(file), &size)) return -1;
    return size.QuadPart;
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool RenameFile(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool CreateFolder(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    // A drive's root may hold no entry at all, not even "."; that is an empty listing.
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        FolderEntry entry;
        entry.name = found.cFileName;
        if (entry.name == "." || entry.name == "..") continue;
        const DWORD attributes = found.dwFileAttributes;
        entry.is_file = !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
        entry.read_only = entry.is_file && (attributes & FILE_ATTRIBUTE_READONLY);
        entries.push_back(std::move(entry));
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

std::string TempFolder() {
    std::string folder;
    const char* pinned = std::getenv("TARNWELL_TEMP");
    if (pinned && *pinned) {
        folder = pinned;
    } else {
        char buffer[MAX_PATH + 1] = {};
        DWORD n = ::GetTempPathA(sizeof buffer, buffer);
        if (n > 0 && n < sizeof buffer) folder.assign(buffer, n);
    }
    if (folder.empty()) folder = "C:\\Windows\\Temp\\";
    char last = folder.back();
    if (last != '\\' && last != '/') folder += '\\';
    // Every scratch path is built in a 260-character buffer; a longer folder cannot be used.
    if (folder.size() > 259) folder = "C:\\Windows\\Temp\\";
    return folder;
}

char PathSeparator() { return '\\'; }

// ---- Events and threads ----------------------------------------------------------------

struct Event {
    HANDLE handle;
};

Event* CreateEvent() {
    HANDLE h = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset, unsignalled
    if (!h) return nullptr;
    Event* event = new (std::nothrow) Event{h};
    if (!event) ::CloseHandle(h);
    return event;
}

void DestroyEvent(Event* event) {
    if (!event) return;
    ::CloseHandle(event->handle);
    delete event;
}

void SignalEvent(Event* event) {
    if (event) ::SetEvent(event->handle);
}

// One WaitForMultipleObjects call watches at most 64 handles, but a render may have up to
// 100 slots. Larger sets are watched in groups of 64: each round checks every group without
// blocking, then blocks on one group for a short while, so a signal in any group is seen
// within a few milliseconds and is consumed exactly once (an auto-reset event is cleared by
// the wait that reports it). Sets of 64 or fewer block with no time-out at all.
size_t WaitForAnyEvent(Event* const* events, size_t count) {
    constexpr size_t kGroup = MAXIMUM_WAIT_OBJECTS;
    HANDLE handles[kGroup];
    auto wait_group = [&](size_t first, DWORD timeout, size_t& signalled) {
        size_t n = std::min(kGroup, count - first);
        DWORD used = 0;
        size_t index_of[kGroup];
        for (size_t i = 0; i < n; ++i) {
            if (!events[first + i]) continue;
            index_of[used] = first + i;
            handles[used++] = events[first + i]->handle;
        }
        if (used == 0) {
            // Nothing to watch in this group; keep the caller's loop from spinning hot.
            ::Sleep(timeout == INFINITE ? 1 : timeout);
            return false;
        }
        DWORD r = ::WaitForMultipleObjects(used, handles, FALSE, timeout);
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + used) {
            signalled = index_of[r - WAIT_OBJECT_0];
            return true;
        }
        if (r == WAIT_FAILED) ::Sleep(1);  // a closed handle must not make the caller spin
        return false;
    };
    size_t signalled = 0;
    if (count <= kGroup) {
        for (;;) {
            if (wait_group(0, INFINITE, signalled)) return signalled;
        }
    }
    for (size_t round = 0;; ++round) {
        for (size_t first = 0; first < count; first += kGroup)
            if (wait_group(first, 0, signalled)) return signalled;
        // Block briefly on one group, taking turns so no group is favoured for long.
        size_t groups = (count + kGroup - 1) / kGroup;
        size_t first = (round % groups) * kGroup;
        if (wait_group(first, 2, signalled)) return signalled;
    }
}

namespace {
struct ThreadStart {
    ThreadFunction function;
    void* argument;
    HMODULE pinned;  // the module this code lives in, held for the thread; null in an .exe
};

// A worker signals that its job is done and then still has a few instructions of this
// module to run before it has left. A host that unloads the plug-in as soon as the filter
// returns would pull the code from under it and crash. So every thread holds its own
// reference to the module and gives it back with FreeLibraryAndExitThread, which ends the
// thread without returning into the module.
unsigned __stdcall RunThread(void* p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    start.function(start.argument);
    if (start.pinned) ::FreeLibraryAndExitThread(start.pinned, 0);
    return 0;
}

HMODULE PinThisModule() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCSTR>(&RunThread), &self))
        return nullptr;
    // The program itself is never unloaded; only a DLL needs holding.
    if (self == ::GetModuleHandleA(nullptr)) {
        ::FreeLibrary(self);
        return nullptr;
    }
    return self;
}
}  // namespace

bool StartThread(ThreadFunction function, void* argument, size_t stack_size) {
    auto* start = new (std::nothrow) ThreadStart{function, argument, PinThisModule()};
    if (!start) return false;
    // _beginthreadex (not CreateThread) so the C run-time is set up for the new thread. Its
    // handle is ours to close, and closing it at once lets the thread clean up after itself;
    // _beginthread would close the handle only in _endthread, which a thread that leaves
    // through FreeLibraryAndExitThread never reaches.
    unsigned stack = static_cast<unsigned>(std::min<size_t>(stack_size, 0x7fffffff));
    uintptr_t h = ::_beginthreadex(nullptr, stack, RunThread, start, 0, nullptr);
    if (h == 0) {
        if (start->pinned) ::FreeLibrary(start->pinned);
        delete start;
        return false;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(h));
    return true;
}

int SystemProcessorCount() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

int64_t ClockSeconds() { return static_cast<int64_t>(::_time64(nullptr)); }

bool OpenWithDefaultHandler(const std::string& path) {
    // ShellExecute reports success with any value above 32.
    HINSTANCE r = ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<intptr_t>(r) > 32;
}

}  // namespace tw::platform
