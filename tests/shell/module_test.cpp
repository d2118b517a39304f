// The built plug-in module as a host sees it: one exported name, and the same pictures as
// the shell linked into the tests.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fake_host.h"
#include "hostapi/host_constants.h"

namespace tw {
namespace {

const std::string kModulePath = std::string(TARNWELL_BIN_DIR) + "/Tarnwell.so";

// Names of the symbols a shared object defines for others, read from its dynamic table.
std::vector<std::string> ExportedNames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    std::vector<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strings = sections[sections[i].sh_link];
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 0; k < count; ++k) {
            const Elf64_Sym& symbol = symbols[k];
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK))
                continue;
            names.emplace_back(bytes.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

TEST(PluginModule, ExportsPluginMainOnly) {
    EXPECT_EQ(ExportedNames(kModulePath), std::vector<std::string>{"PluginMain"});
}

TEST(PluginModule, RendersTheSamePictureAsTheLinkedShell) {
    void* module = dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<PluginEntryProc>(dlsym(module, kPluginEntryName));
    ASSERT_NE(entry, nullptr);

    test::FakeHostOptions options;
    options.width = 70;
    options.height = 66;
    std::vector<uint8_t> linked;
    // Each run caches the settings it used and the next start loads them, rounded to the
    // settings file's precision; fresh folders give both runs the same start.
    {
        ASSERT_TRUE(test::UseFreshTempFolder());
        test::FakeHost host(options);
        host.FillPattern();
        ASSERT_EQ(host.Run(true), 0);
        linked = host.pixels;
    }
    {
        ASSERT_TRUE(test::UseFreshTempFolder());
        test::FakeHost host(options);
        host.entry = entry;
        host.FillPattern();
        ASSERT_EQ(host.Run(true), 0);
        EXPECT_EQ(host.pixels, linked);
        // The about selector works without a FilterRecord.
        AboutRecord about{};
        int16_t result = 5;
        entry(filterSelectorAbout, &about, &host.data_slot, &result);
        EXPECT_EQ(result, 0);
    }
    dlclose(module);
    // Worker threads may still be leaving the module's code, so it must stay mapped even
    // after the host lets go of it.
    void* still = dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(still, nullptr);
    if (still != nullptr) dlclose(still);
}

}  // namespace
}  // namespace tw
