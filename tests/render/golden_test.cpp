// Golden renders: a small synthetic picture rendered with a few contrasting settings in
// both styles, compared with the pictures kept in tests/render/golden/. A regression guard
// against unintended changes of the look (not a proof of correctness): any change of the
// algorithms shows here, while rounding differences stay inside the tolerance.
//
// After an intended change of the look, rewrite the pictures with
//   TARNWELL_UPDATE_GOLDEN=1 build/linux/bin/test_render --gtest_filter='GoldenRender*'
// and look at the difference before committing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/render_image.h"
#include "render_test_util.h"

namespace tw {
namespace {

struct GoldenCase {
    const char* name;
    int style;
    void (*adjust)(RenderParams& p);
};

const GoldenCase kCases[] = {
    {"simple-plain", kStyleSimple, [](RenderParams&) {}},
    {"complex-plain", kStyleComplex, [](RenderParams&) {}},
    {"simple-low-horizon-spin", kStyleSimple,
     [](RenderParams& p) {
         p.horizon = 25;
         p.spin = 30;
         p.waviness = 90;
         p.pick_x = 0.3f;
         p.pick_y = 0.8f;
     }},
    {"complex-bright-blur", kStyleComplex,
     [](RenderParams& p) {
         p.horizon = 70;
         p.brilliance = 90;
         p.blur = 40;
         p.seed = 77;
     }},
};

constexpr int kWidth = 64, kHeight = 48;

// The render as 8-bit RGBA, the form the pictures are kept in.
std::vector<uint8_t> Render(const GoldenCase& c) {
    testing::Buffer source = testing::makeSource(kWidth, kHeight);
    RenderParams p = testing::plainParams(c.style);
    c.adjust(p);
    RenderImageRequest request;
    request.width = kWidth;
    request.height = kHeight;
    request.threads = 2;
    std::vector<float> rgba;
    EXPECT_TRUE(renderImage(*source, p, request, rgba));
    std::vector<uint8_t> bytes(rgba.size());
    for (size_t i = 0; i < rgba.size(); ++i)
        bytes[i] = uint8_t(std::lround(std::clamp(rgba[i], 0.0f, 1.0f) * 255.0f));
    return bytes;
}

std::string GoldenPath(const GoldenCase& c) {
    return std::string(TARNWELL_SOURCE_DIR) + "/tests/render/golden/" + c.name + ".rgba";
}

TEST(GoldenRender, RendersMatchTheKeptPictures) {
    const bool update = std::getenv("TARNWELL_UPDATE_GOLDEN") != nullptr;
    for (const GoldenCase& c : kCases) {
        const std::vector<uint8_t> got = Render(c);
        if (update) {
            ASSERT_TRUE(platform::WriteFileAtomically(GoldenPath(c), got.data(), got.size())) << c.name;
            continue;
        }
        std::vector<uint8_t> want;
        ASSERT_TRUE(platform::ReadWholeFile(GoldenPath(c), want)) << "missing " << GoldenPath(c);
        ASSERT_EQ(want.size(), got.size()) << c.name;
        // Tolerance: two 8-bit steps for almost every sample; glitter may flip a few more.
        size_t off = 0;
        int largest = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            const int d = std::abs(int(got[i]) - int(want[i]));
            largest = std::max(largest, d);
            if (d > 2) ++off;
        }
        EXPECT_LE(off, got.size() / 500) << c.name << ": " << off << " samples differ by more than 2";
        EXPECT_LE(largest, 64) << c.name;
    }
}

}  // namespace
}  // namespace tw
