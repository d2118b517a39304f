// The PNG writer: strips deflated on several threads join into one valid stream that any
// reader takes back exactly, the file does not depend on the number of threads, and the
// row filters really shrink what they should.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/picture.h"
#include "tests/host/test_support.h"

namespace tw::host {
namespace {

using testing::PatternPicture;

// A photograph-like picture: smooth gradients with some noise, so strips compress to very
// different sizes and the 1 MiB chunks split inside strips.
Picture Gradient(int32_t w, int32_t h, int channels, int bits) {
    Picture p;
    p.Allocate(w, h, channels, bits);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1103515245u + 12345u;
                const uint32_t base = uint32_t(x * (c + 1) + y * (3 - c)) + (noise >> 29);
                const size_t i = (size_t(y) * size_t(w) + size_t(x)) * size_t(channels) + size_t(c);
                if (bits == 8) {
                    p.data[i] = uint8_t(base);
                } else {
                    const uint16_t v = uint16_t(base * 97u);
                    std::memcpy(p.data.data() + 2 * i, &v, 2);
                }
            }
    return p;
}

std::vector<uint8_t> Encode(const Picture& p, const char* threads) {
    setenv("TARNWELL_THREADS", threads, 1);
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodePng(p, bytes, error)) << error;
    unsetenv("TARNWELL_THREADS");
    return bytes;
}

void ExpectDecodesTo(const std::vector<uint8_t>& bytes, const Picture& original, const std::string& what) {
    Picture back;
    std::string error;
    ASSERT_TRUE(DecodePng(bytes, back, error)) << error << ", " << what;
    EXPECT_EQ(back.width, original.width) << what;
    EXPECT_EQ(back.height, original.height) << what;
    EXPECT_EQ(back.channels, original.channels) << what;
    EXPECT_EQ(back.bits, original.bits) << what;
    EXPECT_TRUE(back.data == original.data) << what;
}

// Pictures of several strips (2 MiB of rows each), in every layout, read back exactly; the
// reader checks every chunk's CRC and the stream's checksum on the way.
TEST(PngEncoder, ManyStripsOnManyThreadsReadBackExactly) {
    struct Case {
        int32_t w, h;
        int channels, bits;
    };
    for (const Case& c : {Case{1300, 1000, 3, 8}, Case{600, 900, 4, 16}, Case{3000, 800, 1, 8}, Case{1100, 1000, 2, 16},
                          Case{1, 3000, 3, 8}, Case{40000, 20, 4, 8}}) {
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + "x" +
                                 std::to_string(c.channels) + "x" + std::to_string(c.bits);
        const Picture p = Gradient(c.w, c.h, c.channels, c.bits);
        const std::vector<uint8_t> one = Encode(p, "1"), three = Encode(p, "3");
        ExpectDecodesTo(three, p, what);
        // The same file whatever the number of threads.
        EXPECT_TRUE(one == three) << what;
    }
}

TEST(PngEncoder, PatternsOfEveryLayoutReadBackExactly) {
    for (int channels = 1; channels <= 4; ++channels)
        for (int bits : {8, 16})
            for (int32_t side : {1, 2, 5, 640}) {
                const Picture p = PatternPicture(side, side + 3, channels, bits);
                ExpectDecodesTo(Encode(p, "2"), p,
                                std::to_string(side) + " " + std::to_string(channels) + "x" + std::to_string(bits));
            }
}

// What libpng writes with its default settings, the size the files used to have.
std::vector<uint8_t> LibpngDefault(const Picture& p) {
    static const int kTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                  PNG_COLOR_TYPE_RGB_ALPHA};
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp s, png_bytep data, size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(s));
            o->insert(o->end(), data, data + n);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.bits, kTypes[p.channels],
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (p.bits == 16) png_set_swap(png);  // the tests run on little-endian machines
    for (int32_t y = 0; y < p.height; ++y)
        png_write_row(png, const_cast<png_bytep>(p.data.data() + size_t(y) * p.RowBytes()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The faster compression may cost at most a tenth in file size against libpng's default,
// which also shows that the row filters work: unfiltered, these grow by half or more.
TEST(PngEncoder, FilesStayWithinATenthOfLibpngsDefaultSize) {
    for (int channels : {1, 3, 4})
        for (int bits : {8, 16}) {
            const Picture p = Gradient(600, 400, channels, bits);
            const size_t ours = Encode(p, "2").size(), theirs = LibpngDefault(p).size();
            EXPECT_LE(ours, theirs + theirs / 10) << channels << " channels, " << bits << " bits";
            EXPECT_LT(ours, p.data.size() / 2) << channels << " channels, " << bits << " bits";
        }
}

TEST(PngEncoder, RefusesWhatPngCannotHold) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(EncodePng(PatternPicture(4, 4, 3, 32), bytes, error));
    EXPECT_FALSE(error.empty());
    Picture empty;
    error.clear();
    EXPECT_FALSE(EncodePng(empty, bytes, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tw::host
