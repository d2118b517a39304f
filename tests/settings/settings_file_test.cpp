// Settings files: the exact bytes of a current file, round trips, every older layout the
// reader accepts, the picture blocks, and damaged files.
#include "settings/settings_file.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "params/parameter_table.h"
#include "params/settings_precision.h"
#include "platform/big_endian.h"
#include "scratch_folder.h"
#include "settings/jpeg_memory.h"

namespace tw {
namespace {

RenderParams Reset() {
    RenderParams p{};
    ResetParams(p);
    return p;
}

uint32_t WordAt(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

void PutWordAt(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

bool Same(const RenderParams& a, const RenderParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A record with a different, fractional value in every field a file carries.
RenderParams Scrambled(unsigned seed) {
    std::mt19937 rng(seed);
    auto u16 = [&] { return static_cast<uint16_t>(rng()); };
    auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    RenderParams p = Reset();
    p.color = {u16(), u16(), u16()};
    p.glitter_color = {u16(), u16(), u16()};
    for (Rgb16& c : p.framework_colors) c = {u16(), u16(), u16()};
    for (int32_t& s : p.framework_ints) s = static_cast<int32_t>(rng());
    for (float& f : p.framework_vectors) f = real(-1, 1);
    for (const SliderInfo& s : kSliders) p.*s.field = real(s.min, s.max);
    for (float& f : p.light_dir) f = real(-1, 1);
    p.pick_x = real(0, 1);
    p.pick_y = real(0, 1);
    p.seed = static_cast<int32_t>(rng() % 2048);
    p.glue_mode = static_cast<int32_t>(rng() % 69 + 1);
    p.style = 1;
    return p;
}

float FromP(float v) { return static_cast<float>(static_cast<int32_t>(double(v) * 100.0) * 0.01); }
float FromQ(float v) { return static_cast<float>(static_cast<int32_t>(double(v) * 65536.0) / 65536.0); }

TEST(SettingsFileLayout, PlainSettingsWithoutPictureAreTheKnownBytes) {
    RenderParams p = Reset();
    const std::vector<uint8_t> b = EncodeSettings(p, nullptr, false);
    ASSERT_EQ(b.size(), 364u);
    const std::vector<uint8_t> head = {0, 0, 0, 0x2D, 0, 0, 0x2E, 0x2E, 0, 0, 0x3E, 0x3E, 0, 0, 0x5A, 0x5A};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 16), head);
    EXPECT_EQ(WordAt(b, 276), 0x00008000u);
    EXPECT_EQ(WordAt(b, 280), 0x00003333u);
    EXPECT_EQ(WordAt(b, 284), 0u);
    const uint32_t tail[19] = {0x42480000, 0, 0, 2, 0xFFFFFFD8, 0xFFFFFFD8, 0x51, 0xC2C2, 0xBFBF, 0xB4B4,
                               0x42400000, 0x42200000, 0x42820000, 0x42A80000, 0x42200000, 0, 0x42B00000,
                               0x41A00000, 0x42200000};
    for (int i = 0; i < 19; ++i) EXPECT_EQ(WordAt(b, 288 + 4 * size_t(i)), tail[i]) << "tail word " << i;
    EXPECT_EQ(p.version, 45);
}

TEST(SettingsFileLayout, PictureBlockCarriesAJpegStreamOfItsStatedLength) {
    RenderParams p = Reset();
    Picture holder;
    ResetPictureToRamp(holder);
    const std::vector<uint8_t> b = EncodeSettings(p, &holder, true);
    ASSERT_GT(b.size(), 376u);
    const uint32_t n = WordAt(b, 296);
    EXPECT_EQ(b.size(), 376u + n);
    EXPECT_EQ(WordAt(b, 284), 1u);
    EXPECT_EQ(WordAt(b, 288), 128u);
    EXPECT_EQ(WordAt(b, 292), 128u);
    EXPECT_EQ(WordAt(b, 300) >> 16, 0xFFD8u);
    EXPECT_EQ(WordAt(b, 300 + n - 4) & 0xFFFF, 0xFFD9u);
    EXPECT_EQ(WordAt(b, 300 + n), 0x42480000u) << "the record's fields resume after the stream";
    // Without a holder, or when the picture is not asked for, the block is the empty word.
    EXPECT_EQ(EncodeSettings(p, &holder, false).size(), 364u);
    EXPECT_EQ(EncodeSettings(p, nullptr, true).size(), 364u);
}

TEST(SettingsFileRoundTrip, EveryFieldComesBackExceptTheScaledOnes) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        RenderParams written = Scrambled(seed);
        const std::vector<uint8_t> b = EncodeSettings(written, nullptr, false);
        RenderParams read = Scrambled(seed + 1000);
        DecodeSettings(b.data(), b.size(), read, ReadMode::Full, nullptr);
        // The writer refreshed the mirror slots of `written`; only P and Q fields change.
        RenderParams expected = written;
        for (float& f : expected.framework_vectors) f = FromP(f);
        for (float& f : expected.light_dir) f = FromP(f);
        expected.pick_x = FromQ(expected.pick_x);
        expected.pick_y = FromQ(expected.pick_y);
        EXPECT_TRUE(Same(read, expected)) << "seed " << seed;
    }
}

TEST(SettingsFileRoundTrip, HostileFloatsAreWrittenWithoutOverflow) {
    RenderParams p = Reset();
    p.pick_x = 1e30f;
    p.pick_y = -1e30f;
    p.light_dir[0] = std::nanf("");
    p.height = 3e9f;
    const std::vector<uint8_t> b = EncodeSettings(p, nullptr, false);
    EXPECT_EQ(WordAt(b, 276), 0x7FFFFFFFu);
    EXPECT_EQ(WordAt(b, 280), 0x80000000u);
    EXPECT_EQ(WordAt(b, 304), 0u);
}

// Loading a file and saving it again must give the same file: a hundredth read back as the
// float just short of it (0.41 is 0.4099999964) used to be written one hundredth smaller,
// so every run of `apply --last` moved the light a little further.
TEST(SettingsFileRoundTrip, LoadedFilesAreSavedByteForByte) {
    RenderParams p = Reset();
    std::vector<uint8_t> file = EncodeSettings(p, nullptr, false);
    const int32_t light[3] = {41, -57, 29}, vectors[6] = {-1, 1, 13, -99, 64, 100};
    for (int c = 0; c < 3; ++c) PutWordAt(file, 304 + 4 * size_t(c), uint32_t(light[c]));
    for (int c = 0; c < 6; ++c) PutWordAt(file, 196 + 4 * size_t(c), uint32_t(vectors[c]));
    PutWordAt(file, 276, 19660);
    for (int cycle = 0; cycle < 3; ++cycle) {
        RenderParams read = Reset();
        DecodeSettings(file.data(), file.size(), read, ReadMode::Full, nullptr);
        EXPECT_EQ(EncodeSettings(read, nullptr, false), file) << "cycle " << cycle;
    }
}

// Over many records with every kind of value: once rounded to the file's precision, a
// record survives a save and a load bit for bit, every rendered value included, and saving
// it again writes the same bytes.
TEST(SettingsFileRoundTrip, RoundedRecordsComeBackBitForBit) {
    std::mt19937 rng(2024);
    const float hostile[] = {std::nanf(""), std::numeric_limits<float>::infinity(), -1e30f, 3e9f, -0.0f,
                             1e-30f, 0.41f, -0.57f, 255.99f, 131072.37f};
    auto pick = [&](int kind, float ordinary) {
        switch (kind) {
        case 0: return ordinary;
        case 1: return DecodeHundredths(int32_t(rng() % 201) - 100);  // what a file read gives
        default: return hostile[rng() % std::size(hostile)];
        }
    };
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        RenderParams written = Scrambled(seed);
        const int kind = int(seed % 3);
        for (float& f : written.light_dir) f = pick(kind, f);
        for (float& f : written.framework_vectors) f = pick(kind, f);
        written.pick_x = pick(kind, written.pick_x);
        written.pick_y = pick(kind, written.pick_y);
        if (kind == 2) written.*kSliders[seed % kSliderCount].field = hostile[seed % std::size(hostile)];
        RoundToSettingsPrecision(written);
        const std::vector<uint8_t> first = EncodeSettings(written, nullptr, false);
        RenderParams read = Scrambled(seed + 5000);
        DecodeSettings(first.data(), first.size(), read, ReadMode::Full, nullptr);
        for (const ParameterInfo& row : kParameters)
            for (int c = 0; c < row.components; ++c) {
                const size_t width = row.kind == ParameterKind::kColour ? 2 : 4;
                ASSERT_EQ(std::memcmp(ParameterComponentAddress(read, row, c),
                                      ParameterComponentAddress(written, row, c), width),
                          0)
                    << row.label << " " << c << ", record " << seed;
            }
        ASSERT_TRUE(Same(read, written)) << "record " << seed;
        ASSERT_EQ(EncodeSettings(read, nullptr, false), first) << "record " << seed;
    }
}

// ---- Older versions ---------------------------------------------------------------------------

// The rows of the current layout (offset, bytes) with the version that introduced them;
// the picture blocks are the single word 0 of a file without pictures.
struct Row {
    size_t offset, bytes;
    int since;
};
constexpr Row kRows[] = {
    {0, 144, 0},  {144, 24, 2},  {168, 8, 3},   {176, 12, 4},  {188, 8, 5},   {196, 24, 8},  {220, 4, 12},
    {224, 4, 14}, {228, 4, 16},  {232, 4, 17},  {236, 24, 18}, {260, 4, 22},  {264, 12, 23}, {276, 8, 26},
    {284, 4, 40}, {288, 8, 41},  {296, 8, 42},  {304, 12, 43}, {316, 12, 44}, {328, 36, 45},
};

// Cuts a current file without a picture down to the layout of version v.
std::vector<uint8_t> AsVersion(const std::vector<uint8_t>& current, int v) {
    std::vector<uint8_t> out;
    for (const Row& r : kRows)
        if (r.since <= v) out.insert(out.end(), current.begin() + long(r.offset), current.begin() + long(r.offset + r.bytes));
    PutWordAt(out, 0, static_cast<uint32_t>(v));
    return out;
}

RenderParams ReadAs(const RenderParams& written, int version, RenderParams read = Reset()) {
    RenderParams copy = written;
    const std::vector<uint8_t> file = AsVersion(EncodeSettings(copy, nullptr, false), version);
    DecodeSettings(file.data(), file.size(), read, ReadMode::Full, nullptr);
    return read;
}

TEST(SettingsFileVersions, NewerFilesReadAsTheCurrentOne) {
    RenderParams written = Scrambled(7);
    std::vector<uint8_t> b = EncodeSettings(written, nullptr, false);
    EXPECT_EQ(AsVersion(b, 45), b);
    PutWordAt(b, 0, 46);
    for (int i = 0; i < 5; ++i) b.insert(b.end(), {0x12, 0x34, 0x56, 0x78});  // a future version's words
    RenderParams read = Reset();
    DecodeSettings(b.data(), b.size(), read, ReadMode::Full, nullptr);
    EXPECT_EQ(read.version, 45);
    // The sliders are fractional, so a conversion from the truncated mirror slots would show.
    for (const SliderInfo& s : kSliders) EXPECT_EQ(read.*s.field, written.*s.field) << s.label;
    EXPECT_EQ(read.glitter_color.r, written.glitter_color.r);
}

TEST(SettingsFileVersions, Versions44And40TakeSlidersFromTheirIntegers) {
    RenderParams written = Scrambled(8);
    written.framework_ints[4] = 61;
    written.framework_ints[15] = 17;
    const RenderParams v44 = ReadAs(written, 44);
    EXPECT_EQ(v44.version, 44);
    EXPECT_EQ(v44.horizon, written.horizon);
    EXPECT_EQ(v44.spin, written.spin);
    EXPECT_EQ(v44.perspective, std::trunc(written.perspective));
    EXPECT_EQ(v44.undulation, std::trunc(written.undulation));
    EXPECT_EQ(v44.glitter_color.b, 0xFFFF);

    RenderParams before = Reset();
    before.spin = 12.5f;
    const RenderParams v40 = ReadAs(written, 40, before);
    EXPECT_EQ(v40.horizon, 61.0f);
    EXPECT_EQ(v40.offset, 17.0f);
    EXPECT_EQ(v40.altitude, std::trunc(written.altitude));
    EXPECT_EQ(v40.spin, 12.5f) << "spin came later and keeps its value";
    EXPECT_EQ(v40.glitter_color.g, 0xFFFF);
}

TEST(SettingsFileVersions, OldFilesGetTheirFrameworkFixUpsInOrder) {
    RenderParams written = Reset();
    for (int i = 0; i < 30; ++i) written.framework_ints[i] = 1000 + i;
    written.height = 30.0f;  // mirrored into slot 0
    written.seed = 77;
    written.color = {1, 2, 3};
    RenderParams before = Reset();
    before.seed = 5;
    const RenderParams v8 = ReadAs(written, 8, before);
    const int32_t* s = v8.framework_ints;
    EXPECT_EQ(s[15], 100 - 1015);
    EXPECT_EQ(s[13], 1014);
    EXPECT_EQ(s[26], 0);
    EXPECT_EQ(s[28], 100 - 1028);
    EXPECT_EQ(s[19], 50) << "the later fix-up wins over the one that zeroes it";
    EXPECT_EQ(s[5], 57);
    EXPECT_EQ(s[16], 0);
    EXPECT_EQ(s[23], 0);
    EXPECT_EQ(s[0], 100);  // 30 / 0.3
    EXPECT_EQ(s[27], 40) << "brilliance's slot is reset only before version 7";
    EXPECT_EQ(v8.seed, 5) << "the seed arrived in version 12";
    EXPECT_EQ(v8.altitude, 50.0f);
    EXPECT_EQ(v8.height, 100.0f);
    EXPECT_EQ(v8.offset, float(100 - 1015));

    const RenderParams v5 = ReadAs(written, 5);
    EXPECT_EQ(v5.framework_colors[4].b, 3);
    EXPECT_EQ(v5.brilliance, 100.0f);
    EXPECT_EQ(v5.undulation, 50.0f);
}

// ---- Pictures -----------------------------------------------------------------------------------

Picture Gradient(int w, int h) {
    Picture p;
    AllocatePicture(p, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = p.pixel(x, y);
            q[0] = uint8_t(x * 255 / (w - 1)), q[1] = uint8_t(y * 255 / (h - 1)), q[2] = 200;
        }
    return p;
}

TEST(SettingsFilePicture, PictureComesBackAndThumbnailModeChangesNoParameter) {
    RenderParams other = Scrambled(3);
    const Picture source = Gradient(128, 128);
    const std::vector<uint8_t> b = EncodeSettings(other, &source, true);
    for (int version : {45, 40}) {
        std::vector<uint8_t> file = b;
        PutWordAt(file, 0, static_cast<uint32_t>(version));
        RenderParams mine = Scrambled(4);
        const RenderParams before = mine;
        Picture holder;
        bool found = false;
        DecodeSettings(file.data(), file.size(), mine, ReadMode::ThumbnailOnly, &holder, &found);
        EXPECT_TRUE(Same(before, mine)) << version;
        ASSERT_TRUE(found);
        ASSERT_EQ(holder.rgb.size(), source.rgb.size());
        int worst = 0;
        for (size_t i = 0; i < holder.rgb.size(); ++i) worst = std::max(worst, std::abs(holder.rgb[i] - source.rgb[i]));
        EXPECT_LE(worst, 12);
    }
}

TEST(SettingsFilePicture, NoisiestPictureStillFitsTheReadersBuffer) {
    // Black and white noise in every channel is about the hardest picture to compress.
    Picture noise;
    AllocatePicture(noise, 128, 128);
    std::mt19937 rng(5);
    for (uint8_t& v : noise.rgb) v = (rng() & 1) ? 255 : 0;
    RenderParams p = Reset();
    const std::vector<uint8_t> b = EncodeSettings(p, &noise, true);
    ASSERT_GT(b.size(), 376u);
    EXPECT_LE(WordAt(b, 296), kPictureReadLimit);
    Picture holder;
    bool found = false;
    DecodeSettings(b.data(), b.size(), p, ReadMode::ThumbnailOnly, &holder, &found);
    EXPECT_TRUE(found);
}

// A version-30 file whose old uncompressed picture block holds a w x h picture.
std::vector<uint8_t> RawPictureFile(const std::vector<uint8_t>& current, int w, int h, size_t pixel_bytes) {
    std::vector<uint8_t> file = AsVersion(current, 30), block;
    BigEndianWriter out(block);
    out.putI32(1);
    out.putI32(w);
    out.putI32(h);
    for (size_t i = 0; i < pixel_bytes; ++i) out.put8(static_cast<uint8_t>(i * 10));
    file.erase(file.begin() + 260, file.begin() + 264);
    file.insert(file.begin() + 260, block.begin(), block.end());
    return file;
}

TEST(SettingsFilePicture, OldUncompressedPictureIsReadOrSkipped) {
    RenderParams written = Reset();
    written.pick_x = 0.25f;
    written.framework_colors[5] = {7, 8, 9};
    const std::vector<uint8_t> current = EncodeSettings(written, nullptr, false);
    // With a holder the pixels become the picture; without one the 64 x 64 picture such
    // files held is passed over. Either way the fields after it still line up.
    for (bool holder_given : {true, false}) {
        const std::vector<uint8_t> file =
            holder_given ? RawPictureFile(current, 2, 2, 12) : RawPictureFile(current, 64, 64, kRawPictureSkip);
        RenderParams read = Reset();
        Picture holder;
        bool found = false;
        DecodeSettings(file.data(), file.size(), read, ReadMode::Full, holder_given ? &holder : nullptr, &found);
        EXPECT_EQ(found, holder_given);
        EXPECT_EQ(holder.rgb.size() == 12 && holder.rgb[11] == 110, holder_given);
        EXPECT_EQ(read.pick_x, 0.25f);
        EXPECT_EQ(read.framework_colors[5].g, 8);
    }
}

// ---- Damaged files ----------------------------------------------------------------------------

TEST(SettingsFileDamage, FieldsBeyondTheEndKeepTheirValues) {
    RenderParams written = Scrambled(11);
    const std::vector<uint8_t> full = EncodeSettings(written, nullptr, false);
    const float RenderParams::*nine[] = {&RenderParams::perspective, &RenderParams::altitude, &RenderParams::waviness,
                                         &RenderParams::complexity,  &RenderParams::brilliance, &RenderParams::blur,
                                         &RenderParams::size,        &RenderParams::height,    &RenderParams::undulation};
    for (size_t cut : {0, 3, 4, 100, 287, 300, 330, 363}) {
        const std::vector<uint8_t> file(full.begin(), full.begin() + long(cut));
        RenderParams read = Reset();
        const RenderParams before = read;
        DecodeSettings(file.data(), file.size(), read, ReadMode::Full, nullptr);
        if (cut < 4) {
            EXPECT_TRUE(Same(read, before)) << "no version word, nothing read";
            continue;
        }
        // A short current file is still version 45, so nothing is converted from the slots.
        for (size_t i = 0; i < 9; ++i)
            EXPECT_EQ(read.*nine[i], 332 + 4 * i <= cut ? written.*nine[i] : before.*nine[i]) << cut << " " << i;
        EXPECT_EQ(read.pick_y, cut >= 284 ? FromQ(written.pick_y) : before.pick_y) << "cut " << cut;
    }
}

std::vector<uint8_t> WithPictureBlock(const std::vector<uint8_t>& plain, int32_t flag, int32_t w, int32_t h,
                                      int32_t n, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> file(plain.begin(), plain.begin() + 284);
    BigEndianWriter out(file);
    for (int32_t word : {flag, w, h, n}) out.putI32(word);
    out.putBytes(data.data(), data.size());
    file.insert(file.end(), plain.begin() + 288, plain.end());
    return file;
}

TEST(SettingsFileDamage, BadPictureBlocksAreSkippedSafely) {
    RenderParams written = Scrambled(12);
    const std::vector<uint8_t> plain = EncodeSettings(written, nullptr, false);
    std::vector<uint8_t> jpeg;
    EncodeJpeg(Gradient(128, 128), jpeg, 80);
    std::vector<uint8_t> garbage(jpeg.size(), 0x5A);
    garbage[0] = 0xFF, garbage[1] = 0xD8;

    struct Case {
        const char* what;
        int32_t flag, w;
        int64_t n;  // -1: the data's own length
        std::vector<uint8_t> data;
        bool tail_readable;
    };
    const std::vector<Case> cases = {
        {"longer than the reading buffer", 1, 128, -1, std::vector<uint8_t>(kPictureReadLimit + 1, 0), true},
        {"longer than the file", 1, 128, 0x7FFFFFFF, {}, false},
        {"negative length", 1, 128, -5, {}, false},
        {"corrupt stream", 1, 128, -1, garbage, true},
        {"flag above 1", 2, 128, -1, jpeg, true},
        {"negative width", 1, -3, -1, jpeg, true},
        {"empty stream", 1, 128, 0, {}, true},
    };
    for (const Case& c : cases) {
        const int32_t n = c.n == -1 ? static_cast<int32_t>(c.data.size()) : static_cast<int32_t>(c.n);
        const std::vector<uint8_t> file = WithPictureBlock(plain, c.flag, c.w, 128, n, c.data);
        RenderParams read = Reset();
        const float horizon_before = read.horizon;
        Picture holder;
        ResetPictureToRamp(holder);
        const Picture ramp = holder;
        bool found = true;
        DecodeSettings(file.data(), file.size(), read, ReadMode::Full, &holder, &found);
        EXPECT_FALSE(found) << c.what;
        EXPECT_EQ(holder.rgb, ramp.rgb) << c.what;
        EXPECT_EQ(read.horizon, c.tail_readable ? written.horizon : horizon_before) << c.what;
        EXPECT_EQ(read.pick_x, FromQ(written.pick_x)) << c.what;
    }

    // Sizes beyond 128 are capped, not refused.
    const std::vector<uint8_t> file = WithPictureBlock(plain, 1, 100000, 0x7FFFFFFF, int32_t(jpeg.size()), jpeg);
    Picture holder;
    bool found = false;
    DecodeSettings(file.data(), file.size(), written, ReadMode::ThumbnailOnly, &holder, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(holder.width, 128);
    EXPECT_EQ(holder.height, 128);
}

// ---- Files on disk -----------------------------------------------------------------------------

using SettingsFileOnDisk = testing::ScratchFolderTest;

TEST_F(SettingsFileOnDisk, LoadStartsFromPlainSettingsAndFailuresChangeNothing) {
    // An old file lacks the later fields: a Load fills them from the plain settings, not
    // from whatever the record held before.
    RenderParams written = Scrambled(21);
    const std::vector<uint8_t> v41 = AsVersion(EncodeSettings(written, nullptr, false), 41);
    const std::string path = Path("lake.q8r");
    ASSERT_TRUE(platform::WriteFileAtomically(path, v41.data(), v41.size()));
    RenderParams read = Scrambled(22);
    ASSERT_TRUE(LoadSettings(path, read, nullptr));
    EXPECT_EQ(read.horizon, written.horizon);
    EXPECT_EQ(read.spin, 0.0f);
    EXPECT_EQ(read.light_dir[2], kPlainLightDir[2]);

    const RenderParams before = read;
    EXPECT_FALSE(ReadSettings(Path("absent.q8r"), read, ReadMode::Full, nullptr));
    EXPECT_TRUE(Same(read, before));
    EXPECT_FALSE(WriteSettings(Path("no-such-folder/x.q8r"), read, nullptr, false));
}

}  // namespace
}  // namespace tw
