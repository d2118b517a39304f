// The property list as bytes: what a host scanning for plug-ins reads, and how the reader
// copes with lists that are damaged or written by other tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "resources/plugin_properties.h"
#include "tests/windows/expected_properties.h"

namespace tw::resources {
namespace {

std::vector<uint8_t> TarnwellBytes() { return EncodePropertyList(TarnwellProperties()); }

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

TEST(PropertyList, RoundTripsThroughTheReader) {
    const auto bytes = TarnwellBytes();
    std::vector<RawProperty> raw;
    std::string error;
    ASSERT_TRUE(ParsePropertyList(bytes.data(), bytes.size(), raw, error)) << error;
    PluginProperties decoded;
    ASSERT_TRUE(DecodePluginProperties(raw, decoded, error)) << error;
    tw::testing::ExpectTarnwellProperties(decoded);
}

TEST(PropertyList, BytesAreInTheWindowsLayout) {
    const auto b = TarnwellBytes();
    ASSERT_GE(b.size(), 26u);
    EXPECT_EQ(b[0], 1);  // leading word 1, little-endian
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(Word(b, 2), 0u);   // list version
    EXPECT_EQ(Word(b, 6), 10u);  // kind name catg vers 8664 mode enbl enbl fici hstm
    // Codes are little-endian words, so they read backwards.
    EXPECT_EQ(std::string(b.begin() + 10, b.begin() + 18), "MIB8dnik");
    EXPECT_EQ(std::string(b.begin() + 26, b.begin() + 30), "MFB8");

    // Walk the properties: every length is a multiple of four and padding is zero, which
    // every host accepts.
    size_t at = 10;
    std::map<std::string, std::vector<uint8_t>> seen;
    for (int i = 0; i < 10; ++i) {
        ASSERT_LE(at + 16, b.size());
        const uint32_t length = Word(b, at + 12);
        EXPECT_EQ(length % 4, 0u) << "property " << i;
        std::string key(b.begin() + long(at) + 4, b.begin() + long(at) + 8);
        std::reverse(key.begin(), key.end());
        seen[key].assign(b.begin() + long(at) + 16, b.begin() + long(at + 16 + length));
        at += 16 + length;
    }
    EXPECT_EQ(at, b.size());
    const std::vector<uint8_t> entry = {'P', 'l', 'u', 'g', 'i', 'n', 'M', 'a', 'i', 'n', 0, 0};
    EXPECT_EQ(seen["8664"], entry);
    // Grey and RGB in the first byte, Gray16 and RGB48 in the second, RGB96 and Gray32 in
    // the third; the multichannel bit (0x01 of the first byte) stays clear.
    EXPECT_EQ(seen["mode"], (std::vector<uint8_t>{0x50, 0x30, 0xC0, 0x00}));
    EXPECT_EQ(seen["name"].at(0), 13);  // Pascal length of "Tarnwell 2..."
    EXPECT_EQ(seen["vers"], (std::vector<uint8_t>{0, 0, 4, 0}));
    const auto& hstm = seen["hstm"];
    ASSERT_GE(hstm.size(), 15u + 20u);
    EXPECT_EQ(std::string(hstm.begin() + 4, hstm.begin() + 12), "2WQZ2WQZ");
    EXPECT_EQ(hstm[12] | hstm[13] << 8, 16000);
    EXPECT_STREQ(reinterpret_cast<const char*>(hstm.data() + 14), "Quillmoth Tarnwell 2");
}

TEST(PropertyList, ModeBitsCountFromTheTopOfTheFirstByte) {
    EXPECT_EQ(ImageModeBits({0}), (std::vector<uint8_t>{0x80, 0, 0, 0}));
    EXPECT_EQ(ImageModeBits({7, 8}), (std::vector<uint8_t>{0x01, 0x80, 0, 0}));
    EXPECT_EQ(ImageModeBits({31}), (std::vector<uint8_t>{0, 0, 0, 0x01}));
    // Numbers no bit can hold are left out rather than written past the end.
    EXPECT_EQ(ImageModeBits({-1, 32, 1000}), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(PropertyListReader, RejectsEveryTruncationWithoutReadingPastTheEnd) {
    const auto bytes = TarnwellBytes();
    for (size_t n = 0; n < bytes.size(); ++n) {
        // A copy of exactly n bytes, so a read past the end is caught by sanitizers.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        std::vector<RawProperty> raw;
        std::string error;
        EXPECT_FALSE(ParsePropertyList(cut.data(), cut.size(), raw, error)) << "length " << n;
        EXPECT_FALSE(error.empty());
    }
}

TEST(PropertyListReader, RejectsBadHeadersLengthsAndTrailingBytes) {
    std::vector<RawProperty> raw;
    std::string error;
    auto bytes = TarnwellBytes();

    auto wrong_word = bytes;
    wrong_word[0] = 0;
    EXPECT_FALSE(ParsePropertyList(wrong_word.data(), wrong_word.size(), raw, error));

    // A length near 4 GB must not wrap around the bounds check.
    auto huge = bytes;
    std::memset(huge.data() + 10 + 12, 0xFF, 4);
    EXPECT_FALSE(ParsePropertyList(huge.data(), huge.size(), raw, error));

    auto trailing = bytes;
    trailing.push_back(0);
    EXPECT_FALSE(ParsePropertyList(trailing.data(), trailing.size(), raw, error));
}

TEST(PropertyListReader, AcceptsUnpaddedLengthsFromOtherWriters) {
    // Some resource tools count only the data, not the padding; the next property still
    // starts on the next four-byte boundary.
    PluginProperties p;
    p.name = "ab";  // 3 bytes of data, 1 of padding
    p.category = "c";
    p.entry_point_x64 = "E";
    auto bytes = EncodePropertyList(p);
    const size_t name_length_at = 10 + 20 + 12;  // second property's length field
    ASSERT_EQ(Word(bytes, name_length_at), 4u);
    bytes[name_length_at] = 3;
    std::vector<RawProperty> raw;
    std::string error;
    ASSERT_TRUE(ParsePropertyList(bytes.data(), bytes.size(), raw, error)) << error;
    PluginProperties decoded;
    ASSERT_TRUE(DecodePluginProperties(raw, decoded, error)) << error;
    EXPECT_EQ(decoded.name, "ab");
    EXPECT_EQ(decoded.category, "c");
}

TEST(PropertyListDecoder, SkipsOtherVendorsAndRejectsWhatItCannotTrust) {
    std::vector<RawProperty> raw;
    std::string error;
    auto bytes = TarnwellBytes();
    ASSERT_TRUE(ParsePropertyList(bytes.data(), bytes.size(), raw, error));
    PluginProperties decoded;

    auto foreign = raw;
    foreign.push_back({0x41424344u, 0x7A7A7A7Au, 0, {1, 2, 3, 4}});
    EXPECT_TRUE(DecodePluginProperties(foreign, decoded, error)) << error;

    auto unknown = raw;
    unknown.push_back({0x3842494Du, 0x7A7A7A7Au, 0, {}});
    EXPECT_FALSE(DecodePluginProperties(unknown, decoded, error));

    // Two enable rules that disagree would make the filter's availability depend on which
    // one a host reads.
    auto differing = raw;
    for (RawProperty& p : differing)
        if (p.key == 0x656E626Cu) {  // 'enbl'
            p.data[2] = 'X';
            break;
        }
    EXPECT_FALSE(DecodePluginProperties(differing, decoded, error));

    // A Pascal string longer than its property, an entry point without its terminator.
    auto long_name = raw;
    for (RawProperty& p : long_name)
        if (p.key == 0x6E616D65u) p.data[0] = 200;  // 'name'
    EXPECT_FALSE(DecodePluginProperties(long_name, decoded, error));
    auto open_entry = raw;
    for (RawProperty& p : open_entry)
        if (p.key == 0x38363634u) std::fill(p.data.begin(), p.data.end(), 'x');  // '8664'
    EXPECT_FALSE(DecodePluginProperties(open_entry, decoded, error));
}

}  // namespace
}  // namespace tw::resources
