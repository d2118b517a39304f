// The thin layer between the product and the operating system: files, folders, events,
// threads, processor count, clock and seeded C random numbers. One header, a POSIX and a
// Win32 implementation; nothing else in the product talks to the system directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw::platform {

// ---- Files -----------------------------------------------------------------------------

// An open file; `handle` is -1 when closed. Copyable only by moving ownership explicitly.
struct File {
    intptr_t handle = -1;
    bool is_open() const { return handle != -1; }
};

enum class OpenMode {
    Read,        // existing file, read only (others may read too)
    Write,       // create or truncate, write only (others may read)
    ReadWrite,   // existing file, read and write
};

bool OpenFile(File& file, const std::string& path, OpenMode mode);
void CloseFile(File& file);
// Reads up to `size` bytes; returns the count read (0 at the end or on error).
size_t ReadFile(File& file, void* data, size_t size);
// Writes all `size` bytes; false on any failure.
bool WriteFile(File& file, const void* data, size_t size);
bool TruncateFile(File& file);             // cut at the current position
bool SeekFile(File& file, int64_t offset);  // from the start
int64_t FileSize(File& file);               // -1 on error

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Writes to a temporary name in the same folder, then renames over `path`, so the file is
// never left half-written.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);  // replaces `to`
bool CreateFolder(const std::string& path);                      // true if it exists after
// Names (not paths) of the plain files in `folder` whose names end with `suffix`
// (case-insensitive), sorted. A folder that cannot be listed gives no names.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& suffix);

// One entry of a folder listing.
struct FolderEntry {
    std::string name;        // within the folder
    bool is_file = false;    // a plain file: not a folder, device or pipe
    bool read_only = false;  // a plain file this process may not change
};
// Every entry of `folder` except "." and "..", sorted by name. False when the folder
// cannot be listed (missing, not a folder, no permission), which is not the same as empty.
bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries);

// The system's temporary folder with a trailing separator, at most 259 characters. The
// TARNWELL_TEMP environment variable overrides it, so tests and users can keep the
// plug-in's scratch files apart.
std::string TempFolder();
char PathSeparator();
std::string JoinPath(const std::string& folder, const std::string& name);

// ---- Events and threads ----------------------------------------------------------------

// An auto-reset event: Signal wakes exactly one wait, then the event is clear again.
struct Event;
Event* CreateEvent();
void DestroyEvent(Event* event);
void SignalEvent(Event* event);
// Waits until any of the events is signalled, clears it and returns its index.
size_t WaitForAnyEvent(Event* const* events, size_t count);

using ThreadFunction = void (*)(void* argument);
// Starts a detached thread with the given stack size; false if it cannot be started.
bool StartThread(ThreadFunction function, void* argument, size_t stack_size);

// Number of processors, or the value of TARNWELL_THREADS when it is a number from 1 up.
int ProcessorCount();

// ---- Clock and random numbers ------------------------------------------------------------

int64_t ClockSeconds();                  // whole seconds since 1970
void SeedRandom(unsigned seed);          // the C run-time's srand
int Random();                            // the C run-time's rand, 0..RandomMax()
int RandomMax();

// Opens a file or web address with the system's default handler; false if none.
bool OpenWithDefaultHandler(const std::string& path);

}  // namespace tw::platform
