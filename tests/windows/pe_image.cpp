// Reading PE32+ images; every offset and count is checked against the file's size before
// it is used, because a damaged module must give an error, not a crash.
#include "tests/windows/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include <gtest/gtest.h>

namespace tw::testing {

namespace {

struct Section {
    uint32_t virtual_address;
    uint32_t virtual_size;
    uint32_t raw_offset;
    uint32_t raw_size;
};

struct Reader {
    const std::vector<uint8_t>& bytes;
    std::vector<Section> sections;
    std::string& error;

    bool has(size_t offset, size_t n) const {
        return offset <= bytes.size() && n <= bytes.size() - offset;
    }
    uint16_t u16(size_t at) const { return uint16_t(bytes[at] | bytes[at + 1] << 8); }
    uint32_t u32(size_t at) const { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; }

    // File offset of a virtual address, checked to hold `n` bytes inside its section.
    std::optional<size_t> at_rva(uint32_t rva, size_t n) const {
        for (const Section& s : sections) {
            const uint32_t span = std::max(s.virtual_size, s.raw_size);
            if (rva < s.virtual_address || rva - s.virtual_address >= span) continue;
            const size_t into = rva - s.virtual_address;
            if (into + n > s.raw_size) return std::nullopt;
            const size_t offset = size_t(s.raw_offset) + into;
            if (!has(offset, n)) return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }

    bool c_string(uint32_t rva, std::string& out) const {
        auto start = at_rva(rva, 1);
        if (!start) return false;
        const size_t limit = std::min<size_t>(bytes.size() - *start, 4096);
        const auto* p = bytes.data() + *start;
        const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, limit));
        if (!end) return false;
        out.assign(reinterpret_cast<const char*>(p), size_t(end - p));
        return true;
    }

    bool fail(const std::string& why) {
        error = why;
        return false;
    }
};

constexpr uint32_t kSubdirectoryBit = 0x80000000u;

// Resource names that are strings are stored as a 16-bit length and UTF-16 characters;
// the names used here are plain ASCII.
bool ResourceString(Reader& r, size_t base, uint32_t rsrc_size, uint32_t offset, std::string& out) {
    if (offset + 2u > rsrc_size || !r.has(base + offset, 2)) return false;
    const uint16_t n = r.u16(base + offset);
    if (offset + 2u + 2u * n > rsrc_size || !r.has(base + offset + 2, 2u * n)) return false;
    out.clear();
    for (uint16_t i = 0; i < n; ++i) {
        const uint16_t c = r.u16(base + offset + 2 + 2 * i);
        out.push_back(c < 128 ? char(c) : '?');
    }
    return true;
}

// Walks the three levels of the resource tree: type, name, language.
bool ReadResources(Reader& r, uint32_t rsrc_rva, uint32_t rsrc_size, PeImage& image) {
    auto base_opt = r.at_rva(rsrc_rva, rsrc_size);
    if (!base_opt) return r.fail("the resource directory lies outside the file");
    const size_t base = *base_opt;

    struct Level {
        uint32_t directory;
        int depth;
        ResourceName type, name;
    };
    std::vector<Level> pending{{0, 0, {}, {}}};
    int visited = 0;
    while (!pending.empty()) {
        Level level = pending.back();
        pending.pop_back();
        // A tree of a few dozen resources; a loop in a damaged file must not hang.
        if (++visited > 10000) return r.fail("the resource tree does not end");
        if (level.directory + 16u > rsrc_size) return r.fail("a resource directory runs past its section");
        const size_t dir = base + level.directory;
        const uint32_t entries = uint32_t(r.u16(dir + 12)) + r.u16(dir + 14);
        if (level.directory + 16u + 8u * entries > rsrc_size)
            return r.fail("resource directory entries run past their section");
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t entry = dir + 16 + 8 * i;
            const uint32_t name_field = r.u32(entry);
            const uint32_t target = r.u32(entry + 4);
            ResourceName id;
            if (name_field & kSubdirectoryBit) {
                id.is_number = false;
                if (!ResourceString(r, base, rsrc_size, name_field & ~kSubdirectoryBit, id.text))
                    return r.fail("a resource name lies outside its section");
            } else {
                id.number = uint16_t(name_field);
            }
            const bool is_directory = (target & kSubdirectoryBit) != 0;
            if (is_directory != (level.depth < 2)) return r.fail("the resource tree is not three levels deep");
            if (is_directory) {
                Level next{target & ~kSubdirectoryBit, level.depth + 1, level.type, level.name};
                (level.depth == 0 ? next.type : next.name) = id;
                pending.push_back(next);
                continue;
            }
            if (target + 16u > rsrc_size) return r.fail("a resource data entry lies outside its section");
            const uint32_t data_rva = r.u32(base + target);
            const uint32_t data_size = r.u32(base + target + 4);
            auto data = r.at_rva(data_rva, data_size);
            if (!data) return r.fail("resource data lies outside the file");
            ResourceEntry e;
            e.type = level.type;
            e.name = level.name;
            e.language = id.number;
            e.data.assign(r.bytes.begin() + long(*data), r.bytes.begin() + long(*data + data_size));
            image.resources.push_back(std::move(e));
        }
    }
    return true;
}

bool ReadExports(Reader& r, uint32_t rva, PeImage& image) {
    auto dir = r.at_rva(rva, 40);
    if (!dir) return r.fail("the export directory lies outside the file");
    if (!r.c_string(r.u32(*dir + 12), image.export_module_name))
        return r.fail("the export directory's module name is unreadable");
    image.export_function_count = r.u32(*dir + 20);
    const uint32_t names = r.u32(*dir + 24);
    const uint32_t name_table = r.u32(*dir + 32);
    if (names > 65536) return r.fail("implausible number of exported names");
    auto table = r.at_rva(name_table, size_t(names) * 4);
    if (names && !table) return r.fail("the export name table lies outside the file");
    for (uint32_t i = 0; i < names; ++i) {
        std::string name;
        if (!r.c_string(r.u32(*table + 4 * i), name)) return r.fail("an exported name is unreadable");
        image.exports.push_back(name);
    }
    return true;
}

bool ReadImports(Reader& r, uint32_t rva, PeImage& image) {
    for (uint32_t i = 0;; ++i) {
        if (i > 4096) return r.fail("the import directory does not end");
        auto descriptor = r.at_rva(rva + 20 * i, 20);
        if (!descriptor) return r.fail("the import directory lies outside the file");
        const uint32_t name_rva = r.u32(*descriptor + 12);
        const uint32_t thunks = r.u32(*descriptor + 16);
        if (name_rva == 0 && thunks == 0) return true;
        std::string name;
        if (!r.c_string(name_rva, name)) return r.fail("an imported DLL name is unreadable");
        image.imports.push_back(name);
    }
}

}  // namespace

ResourceName NumberedResource(uint16_t number) { return {true, number, {}}; }
ResourceName NamedResource(const std::string& text) { return {false, 0, text}; }

const ResourceEntry* FindResourceEntry(const PeImage& image, const ResourceName& type,
                                  const ResourceName& name) {
    for (const ResourceEntry& e : image.resources)
        if (e.type == type && e.name == name) return &e;
    return nullptr;
}

bool ReadPeImage(const std::vector<uint8_t>& bytes, PeImage& image, std::string& error) {
    image = PeImage();
    Reader r{bytes, {}, error};
    if (!r.has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return r.fail("no MZ header");
    const uint32_t pe = r.u32(0x3C);
    if (!r.has(pe, 24) || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0)
        return r.fail("no PE signature");
    image.machine = r.u16(pe + 4);
    const uint16_t section_count = r.u16(pe + 6);
    const uint16_t optional_size = r.u16(pe + 20);
    image.characteristics = r.u16(pe + 22);
    const size_t optional = pe + 24;
    if (optional_size < 112 || !r.has(optional, optional_size)) return r.fail("optional header missing");
    if (r.u16(optional) != 0x20B) return r.fail("not a 64-bit (PE32+) image");
    const uint32_t directory_count = r.u32(optional + 108);
    if (112 + 8 * size_t(std::min<uint32_t>(directory_count, 16)) > optional_size)
        return r.fail("data directories run past the optional header");

    const size_t section_table = optional + optional_size;
    if (!r.has(section_table, size_t(section_count) * 40)) return r.fail("section table runs past the file");
    for (uint16_t i = 0; i < section_count; ++i) {
        const size_t s = section_table + 40 * size_t(i);
        r.sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)});
    }

    auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& size) {
        rva = size = 0;
        if (index >= directory_count) return false;
        rva = r.u32(optional + 112 + 8 * index);
        size = r.u32(optional + 116 + 8 * index);
        return rva != 0 && size != 0;
    };
    uint32_t rva = 0, size = 0;
    if (directory(0, rva, size) && !ReadExports(r, rva, image)) return false;
    if (directory(1, rva, size) && !ReadImports(r, rva, image)) return false;
    if (directory(2, rva, size) && !ReadResources(r, rva, size, image)) return false;
    return true;
}

std::vector<uint8_t> ReadFileBytes(const char* path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path, "rb")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

const PeImage& ModuleImage(const char* path) {
    static std::map<std::string, PeImage> images;
    auto [it, inserted] = images.try_emplace(path);
    if (inserted) {
        std::string error;
        const auto bytes = ReadFileBytes(path);
        EXPECT_FALSE(bytes.empty()) << "cannot read " << path;
        EXPECT_TRUE(ReadPeImage(bytes, it->second, error)) << error;
    }
    return it->second;
}

}  // namespace tw::testing
