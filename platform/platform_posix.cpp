// POSIX implementation of the platform layer (Linux builds).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace tw::platform {

bool OpenFile(File& file, const std::string& path, OpenMode mode) {
    CloseFile(file);
    int flags = O_RDONLY;
    if (mode == OpenMode::Write) flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == OpenMode::ReadWrite) flags = O_RDWR;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    file.handle = fd;
    return true;
}

void CloseFile(File& file) {
    if (file.is_open()) ::close(static_cast<int>(file.handle));
    file.handle = -1;
}

size_t ReadFile(File& file, void* data, size_t size) {
    if (!file.is_open()) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(static_cast<int>(file.handle), static_cast<char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool WriteFile(File& file, const void* data, size_t size) {
    if (!file.is_open()) return false;
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(static_cast<int>(file.handle), static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool TruncateFile(File& file) {
    if (!file.is_open()) return false;
    off_t here = ::lseek(static_cast<int>(file.handle), 0, SEEK_CUR);
    return here >= 0 && ::ftruncate(static_cast<int>(file.handle), here) == 0;
}

bool SeekFile(File& file, int64_t offset) {
    return file.is_open() && ::lseek(static_cast<int>(file.handle), offset, SEEK_SET) == offset;
}

int64_t FileSize(File& file) {
    struct stat st {};
    if (!file.is_open() || ::fstat(static_cast<int>(file.handle), &st) != 0) return -1;
    return st.st_size;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (dirent* entry = ::readdir(dir)) {
        FolderEntry found;
        found.name = entry->d_name;
        if (found.name == "." || found.name == "..") continue;
        const std::string path = JoinPath(folder, found.name);
        struct stat st {};
        found.is_file = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        // No write bit at all is read-only even for the superuser, who passes every
        // access check; otherwise ask whether this process may write it.
        if (found.is_file)
            found.read_only = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
        entries.push_back(std::move(found));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

std::string TempFolder() {
    const char* candidates[] = {std::getenv("TARNWELL_TEMP"), std::getenv("TMPDIR")};
    std::string folder = "/tmp/";
    for (const char* c : candidates) {
        if (c && *c) {
            folder = c;
            break;
        }
    }
    if (folder.back() != '/') folder += '/';
    if (folder.size() > 259) folder = "/tmp/";  // a path the rest of the product cannot hold
    return folder;
}

char PathSeparator() { return '/'; }

// ---- Events: a flag guarded by one mutex shared by all events, so that a wait can watch
// several events at once without polling.
namespace {
std::mutex gEventMutex;
std::condition_variable gEventChanged;
}  // namespace

struct Event {
    bool signalled = false;
};

Event* CreateEvent() { return new (std::nothrow) Event; }
void DestroyEvent(Event* event) { delete event; }

void SignalEvent(Event* event) {
    {
        std::lock_guard<std::mutex> lock(gEventMutex);
        event->signalled = true;
    }
    gEventChanged.notify_all();
}

size_t WaitForAnyEvent(Event* const* events, size_t count) {
    std::unique_lock<std::mutex> lock(gEventMutex);
    for (;;) {
        for (size_t i = 0; i < count; ++i) {
            if (events[i] && events[i]->signalled) {
                events[i]->signalled = false;
                return i;
            }
        }
        gEventChanged.wait(lock);
    }
}

namespace {
struct ThreadStart {
    ThreadFunction function;
    void* argument;
};
void* RunThread(void* p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    start.function(start.argument);
    return nullptr;
}
}  // namespace

bool StartThread(ThreadFunction function, void* argument, size_t stack_size) {
    auto* start = new (std::nothrow) ThreadStart{function, argument};
    if (!start) return false;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    // POSIX refuses stacks below PTHREAD_STACK_MIN; round up rather than fail.
    size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    size_t size = std::max<size_t>(stack_size, 16384);
    size = (size + page - 1) / page * page;
    pthread_attr_setstacksize(&attr, size);
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, RunThread, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        return false;
    }
    return true;
}

int SystemProcessorCount() {
    long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
}

int64_t ClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

bool OpenWithDefaultHandler(const std::string& path) {
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return true;
}

}  // namespace tw::platform
