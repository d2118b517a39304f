// Pixel layouts between GIMP and the host: the babl formats for every layout, and 16-bit
// samples that the plug-in leaves alone come back exactly as the layer had them.
#include <gtest/gtest.h>

#include <vector>

#include "gimp/pixel_layout.h"
#include "host/document.h"

namespace tw::gimp {
namespace {

TEST(PixelLayout, FormatNamesForEveryLayout) {
    struct Case {
        int planes;
        bool alpha;
        SampleKind kind;
        bool linear;
        const char* name;
    };
    const Case cases[] = {
        {3, true, SampleKind::kU8, false, "R'G'B'A u8"},   {3, false, SampleKind::kU8, true, "RGB u8"},
        {1, false, SampleKind::kU16, false, "Y' u16"},     {1, true, SampleKind::kU16, true, "YA u16"},
        {3, true, SampleKind::kFloat, true, "RGBA float"}, {3, false, SampleKind::kFloat, false, "R'G'B' float"},
        {1, true, SampleKind::kFloat, false, "Y'A float"},
    };
    for (const Case& c : cases) {
        LayerLayout layout{c.planes, c.alpha, c.kind, c.linear};
        EXPECT_EQ(BablFormatName(layout), c.name);
    }
    EXPECT_EQ(HostDepth(SampleKind::kU8), 8);
    EXPECT_EQ(HostDepth(SampleKind::kU16), 16);
    EXPECT_EQ(HostDepth(SampleKind::kFloat), 32);
}

TEST(PixelLayout, UntouchedSixteenBitSamplesKeepEveryBit) {
    std::vector<uint16_t> layer(65536), host(65536), back(65536);
    for (size_t i = 0; i < layer.size(); ++i) layer[i] = uint16_t(i);
    LayerToHost16(layer.data(), host.data(), layer.size());
    for (size_t i = 0; i < host.size(); ++i) ASSERT_LE(host[i], 32768) << i;
    HostToLayer16(host.data(), layer.data(), back.data(), layer.size());
    EXPECT_EQ(back, layer);  // every odd value too, which the host's range cannot hold
}

TEST(PixelLayout, ChangedSixteenBitSamplesTakeTheHostsValue) {
    const uint16_t original[4] = {0, 1001, 65535, 40000};
    const uint16_t result[4] = {32768, 0, 0, 16384};
    uint16_t back[4];
    HostToLayer16(result, original, back, 4);
    EXPECT_EQ(back[0], 65535);
    EXPECT_EQ(back[1], 0);
    EXPECT_EQ(back[2], 0);
    EXPECT_EQ(back[3], host::HostToFile16(16384));
    EXPECT_EQ(host::HostToFile16(16384), 32768);
}

}  // namespace
}  // namespace tw::gimp
