// The built Windows module, read the way an editor reads its plug-ins folder: the property
// list and scripting terminology among its resources, the manifest, version and strings,
// its one export, the DLLs it needs, and finally loading it with the system's own loader.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>

#include "resources/plugin_properties.h"
#include "tests/windows/expected_properties.h"
#include "tests/windows/pe_image.h"

namespace tw::testing {
namespace {

constexpr uint16_t kStringType = 6, kVersionType = 16, kManifestType = 24;

std::vector<uint8_t> ModuleBytes() { return ReadFileBytes(TARNWELL_PLUGIN_PATH); }
const PeImage& Module() { return ModuleImage(TARNWELL_PLUGIN_PATH); }

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Text inside a resource stored as UTF-16 (version strings, string tables).
bool ContainsWide(const std::vector<uint8_t>& data, const std::string& text) {
    std::vector<uint8_t> wide;
    for (char c : text) wide.insert(wide.end(), {uint8_t(c), 0});
    return std::search(data.begin(), data.end(), wide.begin(), wide.end()) != data.end();
}

TEST(WindowsModule, IsA64BitDllExportingOnlyPluginMain) {
    const PeImage& m = Module();
    EXPECT_EQ(m.machine, 0x8664);
    EXPECT_TRUE(m.characteristics & 0x2000) << "not marked as a DLL";
    EXPECT_EQ(m.exports, std::vector<std::string>{"PluginMain"});
    EXPECT_EQ(m.export_function_count, 1u) << "something is exported by ordinal only";
}

TEST(WindowsModule, ImportsOnlyDllsEveryWindowsHas) {
    // The C++ run-time, libgcc, winpthread, zlib and libjpeg must be inside the module.
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",   "advapi32.dll",     "shell32.dll",
        "ole32.dll",    "oleaut32.dll", "comctl32.dll", "comdlg32.dll",    "msvcrt.dll",
        "ntdll.dll",    "uxtheme.dll",  "shlwapi.dll", "windowscodecs.dll", "msimg32.dll"};
    const PeImage& m = Module();
    EXPECT_FALSE(m.imports.empty());
    for (const std::string& dll : m.imports) EXPECT_TRUE(system.count(Lower(dll))) << dll;
}

TEST(WindowsModule, PropertyListReadsBackAsDeclared) {
    const ResourceEntry* pipl = FindResourceEntry(Module(), NamedResource("PIPL"), NumberedResource(16000));
    ASSERT_NE(pipl, nullptr) << "no PiPL 16000";
    std::vector<resources::RawProperty> raw;
    std::string error;
    ASSERT_TRUE(resources::ParsePropertyList(pipl->data.data(), pipl->data.size(), raw, error)) << error;
    resources::PluginProperties p;
    ASSERT_TRUE(resources::DecodePluginProperties(raw, p, error)) << error;
    ExpectTarnwellProperties(p);
}

// The scripting terminology, read field by field with exact advances (no alignment bytes).
struct AeteReader {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    bool ok = true;
    uint8_t u8() {
        if (at + 1 > b.size()) return ok = false, 0;
        return b[at++];
    }
    uint16_t u16() { return uint16_t(u8() | u8() << 8); }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | uint32_t(u16()) << 16;
    }
    std::string text() {
        size_t n = u8();
        if (!ok || at + n > b.size()) return ok = false, std::string();
        std::string s(b.begin() + long(at), b.begin() + long(at + n));
        at += n;
        return s;
    }
};

uint32_t Code(const char* s) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint8_t(s[3]);
}

TEST(WindowsModule, TerminologyDescribesTheEventTheParametersAndTheGlueModes) {
    const ResourceEntry* aete = FindResourceEntry(Module(), NamedResource("AETE"), NumberedResource(16000));
    ASSERT_NE(aete, nullptr) << "no AETE 16000";
    EXPECT_EQ(aete->language, 1033);
    AeteReader r{aete->data};
    EXPECT_EQ(r.u16(), 1);  // the Windows leading word
    r.u8();                 // format version, two bytes
    r.u8();
    EXPECT_EQ(r.u16(), 0);  // language
    EXPECT_EQ(r.u16(), 0);  // script
    ASSERT_EQ(r.u16(), 1);  // suites
    EXPECT_EQ(r.text(), "Quillmoth");
    EXPECT_EQ(r.text(), "Tarnwell 2");
    EXPECT_EQ(r.u32(), Code("ZQW2"));
    EXPECT_EQ(r.u16(), 1);
    EXPECT_EQ(r.u16(), 1);
    ASSERT_EQ(r.u16(), 1);  // events
    EXPECT_EQ(r.text(), "Tarnwell 2");
    EXPECT_EQ(r.text(), "Draws lying water");
    EXPECT_EQ(r.u32(), Code("ZQW2"));
    EXPECT_EQ(r.u32(), Code("ZQW2"));
    EXPECT_EQ(r.u32(), Code("null"));
    EXPECT_EQ(r.text(), "");  // hosts step over both descriptions as empty
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u32(), Code("#ImR"));
    EXPECT_EQ(r.text(), "");
    EXPECT_EQ(r.u16(), 0xB000);
    ASSERT_EQ(r.u16(), 37);
    std::vector<std::string> keys;
    for (int i = 0; i < 37 && r.ok; ++i) {
        const std::string name = r.text();
        const uint32_t key = r.u32();
        const uint32_t type = r.u32();
        EXPECT_EQ(r.text(), name) << "the description is the name";
        const uint16_t flags = r.u16();
        keys.push_back({char(key >> 24), char(key >> 16), char(key >> 8), char(key)});
        if (keys.back() == "GLUE") {
            EXPECT_EQ(type, Code("GLty"));
            EXPECT_EQ(flags, 0xA000);
        } else {
            EXPECT_TRUE(type == Code("long") || type == Code("doub")) << name;
            EXPECT_EQ(flags, 0x8000) << name;
        }
    }
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(keys.size(), 37u);
    for (int i = 0; i < 37; ++i) {
        char expected[5];
        std::snprintf(expected, sizeof expected, "%04d", i + 1);  // no '0014': GLUE holds its place
        EXPECT_EQ(keys[size_t(i)], i == 13 ? std::string("GLUE") : std::string(expected)) << i;
    }
    EXPECT_EQ(r.u16(), 0);  // classes
    EXPECT_EQ(r.u16(), 0);  // comparison operators
    ASSERT_EQ(r.u16(), 1);  // enumerations
    EXPECT_EQ(r.u32(), Code("GLty"));
    ASSERT_EQ(r.u16(), 67);
    std::vector<int> modes;
    for (int i = 0; i < 67 && r.ok; ++i) {
        const std::string name = r.text();
        const uint32_t code = r.u32();
        EXPECT_EQ(r.text(), name);
        EXPECT_EQ(code >> 16, 0x474Cu);  // 'GL'
        modes.push_back(int((code >> 8 & 0xFF) - '0') * 10 + int((code & 0xFF) - '0'));
        if (modes.back() == 1) {
            EXPECT_EQ(name, "normal");
        } else if (modes.back() == 26) {
            EXPECT_EQ(name, "harsh diff");
        } else if (modes.back() == 69) {
            EXPECT_EQ(name, "contrast negate");
        }
    }
    ASSERT_TRUE(r.ok);
    std::vector<int> expected;
    for (int n = 1; n <= 69; ++n)
        if (n != 60 && n != 61) expected.push_back(n);
    EXPECT_EQ(modes, expected);
    // At most a zero trailer word may follow.
    EXPECT_TRUE(r.at == aete->data.size() || r.at + 4 == aete->data.size());
}

TEST(WindowsModule, CarriesManifestVersionAndStrings) {
    const PeImage& m = Module();
    const ResourceEntry* manifest = FindResourceEntry(m, NumberedResource(kManifestType), NumberedResource(2));
    ASSERT_NE(manifest, nullptr) << "no manifest at the isolation-aware id 2";
    const std::string text(manifest->data.begin(), manifest->data.end());
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);

    const ResourceEntry* version = FindResourceEntry(m, NumberedResource(kVersionType), NumberedResource(1));
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(ContainsWide(version->data, "Tarnwell.8bf"));
    EXPECT_TRUE(ContainsWide(version->data, "Quillmoth"));

    bool strings = false;
    for (const ResourceEntry& e : m.resources)
        strings |= e.type == NumberedResource(kStringType) && ContainsWide(e.data, "Tarnwell 2");
    EXPECT_TRUE(strings) << "no string table with the product name";
}

TEST(PeReader, RejectsTruncatedModulesWithoutCrashing) {
    const auto bytes = ModuleBytes();
    ASSERT_GT(bytes.size(), 4096u);
    // Cut inside the headers, the section table and the resource section at the end.
    std::vector<size_t> cuts = {0, 2, 63, 64, 0x80, 0x100, 0x200, 0x400};
    for (size_t n = bytes.size() - 4096; n < bytes.size(); n += 61) cuts.push_back(n);
    for (size_t n : cuts) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        PeImage image;
        std::string error;
        if (!ReadPeImage(cut, image, error)) {
            EXPECT_FALSE(error.empty()) << n;
        }
    }
    std::vector<uint8_t> not_pe(bytes.begin(), bytes.begin() + 512);
    not_pe[0] = 'X';
    PeImage image;
    std::string error;
    EXPECT_FALSE(ReadPeImage(not_pe, image, error));
}

TEST(WindowsModule, SystemLoaderFindsEntryPointAndPropertyList) {
    HMODULE module = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(module, nullptr) << "LoadLibrary failed with error " << GetLastError();
    EXPECT_NE(GetProcAddress(module, "PluginMain"), nullptr);
    // Editors ask for the type in mixed case; the lookup must still find it.
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(16000), "PiPL");
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(module, found);
    ASSERT_NE(loaded, nullptr);
    const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
    const ResourceEntry* ours = FindResourceEntry(Module(), NamedResource("PIPL"), NumberedResource(16000));
    ASSERT_NE(ours, nullptr);
    ASSERT_EQ(SizeofResource(module, found), ours->data.size());
    EXPECT_TRUE(std::equal(ours->data.begin(), ours->data.end(), data));
    FreeLibrary(module);
}

}  // namespace
}  // namespace tw::testing
