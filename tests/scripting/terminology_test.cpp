// The scripting terminology: the AETE bytes an editor reads to learn the filter's keys,
// parsed back here the way a Windows host walks them, and the key array offered to readers.
#include "params/script_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/blend_mode_names.h"
#include "resources/terminology_resource.h"

namespace tw {
namespace {

// Walks the resource exactly as hosts do: little-endian words, Pascal strings with no
// alignment bytes. Any read past the end marks the parse as failed.
class AeteReader {
public:
    explicit AeteReader(const std::vector<uint8_t>& bytes) : b_(bytes) {}
    uint8_t u8() {
        if (pos_ >= b_.size()) {
            overrun_ = true;
            return 0;
        }
        return b_[pos_++];
    }
    uint16_t u16() {
        const uint16_t lo = u8();
        return uint16_t(lo | (u8() << 8));
    }
    uint32_t u32() {
        const uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    std::string text() {
        const size_t n = u8();
        std::string s;
        for (size_t i = 0; i < n; ++i) s += char(u8());
        return s;
    }
    bool at_end() const { return pos_ == b_.size() && !overrun_; }
    bool overrun() const { return overrun_; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

struct ExpectedKey {
    const char* key;
    const char* name;
    const char* type;
};

// The published order, names and types, written out independently of the table under test.
const ExpectedKey kExpected[kScriptKeyCount] = {
    {"0001", "water red", "long"},         {"0002", "water green", "long"},
    {"0003", "water blue", "long"},        {"0004", "ripple height", "long"},
    {"0005", "horizon", "long"},           {"0006", "perspective", "long"},
    {"0007", "ripple undulation", "long"}, {"0008", "ripple size", "long"},
    {"0009", "offset", "long"},            {"0010", "waviness", "long"},
    {"0011", "blur", "long"},              {"0012", "complexity", "long"},
    {"0013", "altitude", "long"},          {"GLUE", "glue", "GLty"},
    {"0015", "brilliance", "long"},        {"0016", "random seed", "long"},
    {"0017", "X center", "doub"},          {"0018", "Y center", "doub"},
    {"0019", "horizon float", "doub"},     {"0020", "offset float", "doub"},
    {"0021", "spin", "doub"},              {"0022", "water style", "long"},
    {"0023", "light X", "doub"},           {"0024", "light Y", "doub"},
    {"0025", "light Z", "doub"},           {"0026", "glitter red", "long"},
    {"0027", "glitter green", "long"},     {"0028", "glitter blue", "long"},
    {"0029", "perspective float", "doub"}, {"0030", "altitude float", "doub"},
    {"0031", "waviness float", "doub"},    {"0032", "complexity float", "doub"},
    {"0033", "brilliance float", "doub"},  {"0034", "blur float", "doub"},
    {"0035", "size float", "doub"},        {"0036", "height float", "doub"},
    {"0037", "undulation float", "doub"},
};

uint32_t Code(const std::string& s) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

TEST(Terminology, KeyArrayIsThePublishedOrderZeroTerminated) {
    ScriptKeyArray keys;
    FillScriptKeyArray(keys);
    for (int i = 0; i < kScriptKeyCount; ++i) EXPECT_EQ(FourCCText(keys[i]), kExpected[i].key) << i;
    EXPECT_EQ(keys[kScriptKeyCount], 0u);
    EXPECT_EQ(FindScriptKey(Code("0014")), nullptr);  // 'GLUE' took its place
    EXPECT_EQ(FindScriptKey(kVersionKey), nullptr);   // recorded but never published
    EXPECT_EQ(FindScriptKey(0), nullptr);
}

TEST(Terminology, AeteParsesBackWithEveryKeyTypeFlagAndName) {
    const std::vector<uint8_t> bytes = resources::TerminologyBytes();
    AeteReader r(bytes);

    EXPECT_EQ(r.u16(), 1);  // the Windows prefix
    EXPECT_EQ(r.u8(), 1);   // format version
    EXPECT_EQ(r.u8(), 1);
    EXPECT_EQ(r.u16(), 0);  // language
    EXPECT_EQ(r.u16(), 0);  // script
    EXPECT_EQ(r.u16(), 1);  // suites

    EXPECT_EQ(r.text(), "Quillmoth");
    EXPECT_EQ(r.text(), "Tarnwell 2");
    EXPECT_EQ(FourCCText(r.u32()), "ZQW2");
    EXPECT_EQ(r.u16(), 1);  // level
    EXPECT_EQ(r.u16(), 1);  // version
    EXPECT_EQ(r.u16(), 1);  // events

    EXPECT_EQ(r.text(), "Tarnwell 2");
    EXPECT_EQ(r.text(), "Draws lying water");
    EXPECT_EQ(FourCCText(r.u32()), "ZQW2");
    EXPECT_EQ(FourCCText(r.u32()), "ZQW2");
    EXPECT_EQ(FourCCText(r.u32()), "null");
    EXPECT_EQ(r.text(), "");
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(FourCCText(r.u32()), "#ImR");
    EXPECT_EQ(r.text(), "");
    EXPECT_EQ(r.u16(), 0xB000);
    ASSERT_EQ(r.u16(), kScriptKeyCount);
    for (const ExpectedKey& e : kExpected) {
        EXPECT_EQ(r.text(), e.name);
        EXPECT_EQ(FourCCText(r.u32()), e.key);
        EXPECT_EQ(FourCCText(r.u32()), e.type) << e.key;
        EXPECT_EQ(r.text(), e.name);  // the description repeats the name
        EXPECT_EQ(r.u16(), std::string(e.key) == "GLUE" ? 0xA000 : 0x8000) << e.key;
    }

    EXPECT_EQ(r.u16(), 0);  // classes
    EXPECT_EQ(r.u16(), 0);  // comparison operators
    ASSERT_EQ(r.u16(), 1);  // enumerations
    EXPECT_EQ(FourCCText(r.u32()), "GLty");
    ASSERT_EQ(r.u16(), 67);
    for (int mode = 1; mode <= 69; ++mode) {
        if (mode == 60 || mode == 61) continue;
        const std::string name = r.text();
        const uint32_t code = r.u32();
        EXPECT_EQ(r.text(), name);
        char expected_code[5];
        std::snprintf(expected_code, sizeof expected_code, "GL%02d", mode);
        EXPECT_EQ(FourCCText(code), expected_code);
        EXPECT_EQ(name, mode == 26 ? std::string("harsh diff") : std::string(blendModeName(mode))) << mode;
    }
    EXPECT_TRUE(r.at_end()) << "trailing or missing bytes";
}

}  // namespace
}  // namespace tw
