// A small reader of 64-bit Windows modules (PE32+ files) for the tests: the resources an
// editor looks up when it scans its plug-ins folder, the exported names and the imported
// DLLs. It reads the file's bytes itself, so it works on any system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::testing {

// A resource type or name: a number, or a string (the resource compiler stores string
// types in upper case).
struct ResourceName {
    bool is_number = true;
    uint16_t number = 0;
    std::string text;
    bool operator==(const ResourceName& o) const {
        return is_number == o.is_number && (is_number ? number == o.number : text == o.text);
    }
};

struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

struct PeImage {
    uint16_t machine = 0;           // 0x8664 for x86-64
    uint16_t characteristics = 0;   // bit 0x2000: a DLL
    std::vector<ResourceEntry> resources;
    std::string export_module_name;
    std::vector<std::string> exports;  // exported names
    uint32_t export_function_count = 0;  // exports by ordinal as well as by name
    std::vector<std::string> imports;  // imported DLL names, as written
};

// Parses `bytes`; false with a reason when they are not a well-formed PE32+ image.
bool ReadPeImage(const std::vector<uint8_t>& bytes, PeImage& image, std::string& error);

// The whole file at `path`; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const char* path);
// The module at `path`, read and parsed once per test program; a file that cannot be read
// or parsed fails the test that first asks and gives an empty image.
const PeImage& ModuleImage(const char* path);

ResourceName NumberedResource(uint16_t number);
ResourceName NamedResource(const std::string& text);

// The first resource of that type and name, any language.
const ResourceEntry* FindResourceEntry(const PeImage& image, const ResourceName& type,
                                  const ResourceName& name);

}  // namespace tw::testing
