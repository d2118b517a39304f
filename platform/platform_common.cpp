// The parts of the platform layer that are the same on every system.
#include "platform/platform.h"

#include <cctype>
#include <cstdlib>

namespace tw::platform {

int SystemProcessorCount();  // in the system's own implementation file

int ProcessorCount() {
    if (const char* pinned = std::getenv("TARNWELL_THREADS")) {
        char* end = nullptr;
        long n = std::strtol(pinned, &end, 10);
        if (end != pinned && *end == '\0' && n >= 1) return n > 1024 ? 1024 : static_cast<int>(n);
    }
    return SystemProcessorCount();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char last = folder.back();
    if (last == '/' || last == PathSeparator()) return folder + name;
    return folder + PathSeparator() + name;
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& suffix) {
    auto ends_with = [&suffix](const std::string& name) {
        if (name.size() < suffix.size()) return false;
        const size_t start = name.size() - suffix.size();
        for (size_t i = 0; i < suffix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(name[start + i])) !=
                std::tolower(static_cast<unsigned char>(suffix[i])))
                return false;
        return true;
    };
    std::vector<FolderEntry> entries;
    std::vector<std::string> names;
    ListFolderEntries(folder, entries);
    for (const FolderEntry& entry : entries)
        if (entry.is_file && ends_with(entry.name)) names.push_back(entry.name);
    return names;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    File file;
    if (!OpenFile(file, path, OpenMode::Read)) return false;
    int64_t size = FileSize(file);
    bool ok = size >= 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = ReadFile(file, bytes.data(), bytes.size()) == bytes.size();
    }
    CloseFile(file);
    return ok;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    std::string temporary = path + ".partial";
    File file;
    if (!OpenFile(file, temporary, OpenMode::Write)) return false;
    bool ok = WriteFile(file, data, size);
    CloseFile(file);
    if (ok) ok = RenameFile(temporary, path);
    if (!ok) RemoveFile(temporary);
    return ok;
}

// The C run-time's generator as Windows builds have it (a linear congruence returning
// 15 bits), written out so that seeded random settings are the same on every system.
namespace {
uint32_t gRandomState = 1;
}

void SeedRandom(unsigned seed) { gRandomState = seed; }

int Random() {
    gRandomState = gRandomState * 214013u + 2531011u;
    return static_cast<int>((gRandomState >> 16) & 0x7fff);
}

int RandomMax() { return 0x7fff; }

}  // namespace tw::platform
