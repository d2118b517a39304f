// The preview in the plug-in's own preview mode on its render thread: the size and the
// guides of a fitted view, every depth and grey pictures, newest values only, and no files
// written. (How the shell's offscreen session pans and marks the centre is tested with it.)
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "gimp/parameters.h"
#include "gimp/preview_renderer.h"
#include "ui/preview_zoom.h"

namespace tw::gimp {
namespace {

using namespace std::chrono_literals;

class PreviewRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnwell-preview-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("TARNWELL_TEMP", (dir_ + "/").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        unsetenv("TARNWELL_TEMP");
    }

    // An opaque picture with detail everywhere, so water differs from it.
    static std::shared_ptr<const host::Document> Picture(int width, int height, int planes = 3) {
        auto doc = std::make_shared<host::Document>();
        doc->width = width;
        doc->height = height;
        doc->colour_planes = planes;
        doc->pixels.resize(doc->RowBytes() * size_t(height));
        for (size_t i = 0; i < doc->pixels.size(); ++i) doc->pixels[i] = uint8_t((i * 7919) >> 5);
        return doc;
    }

    struct Inbox {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<PreviewResult> results;
        void Put(PreviewResult&& r) {
            std::lock_guard<std::mutex> lock(mutex);
            results.push_back(std::move(r));
            arrived.notify_all();
        }
        bool WaitFor(size_t count, std::chrono::seconds limit) {
            std::unique_lock<std::mutex> lock(mutex);
            return arrived.wait_for(lock, limit, [&] { return results.size() >= count; });
        }
    };

    // One render, waited for.
    PreviewResult RenderOnce(std::shared_ptr<const host::Document> picture, const RenderParams& p,
                             const PreviewView& view) {
        Inbox inbox;
        PreviewRenderer renderer([&](PreviewResult&& r) { inbox.Put(std::move(r)); });
        renderer.SetPicture(std::move(picture));
        renderer.Request(p, view);
        EXPECT_TRUE(inbox.WaitFor(1, 60s));
        return inbox.results.empty() ? PreviewResult{} : inbox.results[0];
    }

    std::string dir_;
};

RenderParams Simple() {
    RenderParams p = PlainParams();
    p.style = kStyleSimple;
    return p;
}

// Whether the row has a guide's colour in it: magenta for the horizon, green for the waterline.
bool RowHasGuide(const PreviewImage& image, int y, bool magenta) {
    for (int x = 0; x < image.width; ++x) {
        const uint8_t* px = image.pixels.data() + (size_t(y) * image.width + x) * 3;
        const bool green = px[1] > 200 && px[0] < 80 && px[2] < 80;
        const bool pink = px[0] > 200 && px[1] < 80 && px[2] > 200;
        if (magenta ? pink : green) return true;
    }
    return false;
}

TEST_F(PreviewRendererTest, AFittedViewShowsTheWholePictureWithItsGuides) {
    const int32_t zoom = FitZoom(400, 300, 160, 160, true);  // the plug-in dialog's fitting
    EXPECT_EQ(zoom, 3);
    RenderParams p = Simple();
    p.offset = 50;  // the waterline half-way from the horizon to the bottom
    const PreviewResult r = RenderOnce(Picture(400, 300), p, PreviewView{zoom, 0, 0, 160, 160});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.image.width, 133);
    EXPECT_EQ(r.image.height, 100);
    ASSERT_EQ(r.image.pixels.size(), size_t(133 * 100 * 3));
    // Horizon 50 sits at 49.5% of the height, the waterline at 74.75%.
    EXPECT_TRUE(RowHasGuide(r.image, 49, true) || RowHasGuide(r.image, 50, true));
    EXPECT_TRUE(RowHasGuide(r.image, 74, false) || RowHasGuide(r.image, 75, false));
    EXPECT_FALSE(RowHasGuide(r.image, 20, true));
    EXPECT_FALSE(RowHasGuide(r.image, 60, false));
}

TEST_F(PreviewRendererTest, SixteenBitAndFloatPicturesPreviewLikeEightBit) {
    // The same picture at each depth: the previews, 8-bit all, agree to a step or two.
    const auto eight = Picture(64, 48);
    std::vector<PreviewImage> images;
    for (int depth : {8, 16, 32}) {
        auto doc = std::make_shared<host::Document>(*eight);
        doc->depth = depth;
        doc->pixels.resize(doc->RowBytes() * size_t(doc->height));
        for (size_t i = 0; i < eight->pixels.size(); ++i) {
            const float v = eight->pixels[i] / 255.0f;
            if (depth == 16) reinterpret_cast<uint16_t*>(doc->pixels.data())[i] = uint16_t(v * 32768 + 0.5f);
            if (depth == 32) reinterpret_cast<float*>(doc->pixels.data())[i] = v;
        }
        if (depth == 8) doc = std::make_shared<host::Document>(*eight);
        const PreviewResult r = RenderOnce(doc, Simple(), PreviewView{1, 0, 0, 0, 0});
        ASSERT_TRUE(r.ok) << depth << ": " << r.error;
        images.push_back(r.image);
    }
    for (size_t k = 1; k < images.size(); ++k) {
        ASSERT_EQ(images[k].pixels.size(), images[0].pixels.size());
        int worst = 0;
        for (size_t i = 0; i < images[0].pixels.size(); ++i)
            worst = std::max(worst, std::abs(int(images[k].pixels[i]) - int(images[0].pixels[i])));
        EXPECT_LE(worst, 3) << "depth #" << k;
    }
}

TEST_F(PreviewRendererTest, GreyPicturesGiveOnePlane) {
    const PreviewResult r = RenderOnce(Picture(50, 40, 1), Simple(), PreviewView{1, 0, 0, 100, 100});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.image.planes, 1);
    EXPECT_EQ(r.image.pixels.size(), size_t(50 * 40));
}

// A settings file's picture is the water alone: where the preview marks the ripple centre
// with a white cross, the picture for the file, at the same size, has none.
TEST_F(PreviewRendererTest, TheWaterPictureHasNoGuides) {
    const auto picture = Picture(120, 100);
    RenderParams p = Simple();
    p.pick_x = 0.25f;
    p.pick_y = 0.8f;
    const PreviewResult preview = RenderOnce(picture, p, PreviewView{2, 0, 0, 0, 0});
    PreviewImage water;
    std::string error;
    ASSERT_TRUE(RenderWaterPicture(*picture, p, 60, 50, water, error)) << error;
    ASSERT_TRUE(preview.ok) << preview.error;
    ASSERT_EQ(water.width, preview.image.width);
    ASSERT_EQ(water.height, preview.image.height);
    ASSERT_EQ(water.planes, 3);
    const auto white_arm = [](const PreviewImage& image) {
        int white = 0;
        for (int x = 10; x <= 20; ++x) {
            const uint8_t* px = image.pixels.data() + (size_t(40) * image.width + x) * 3;
            white += px[0] >= 185 && px[1] >= 185 && px[2] >= 185;
        }
        return white;
    };
    EXPECT_EQ(white_arm(preview.image), 11);
    EXPECT_LT(white_arm(water), 4);

    PreviewImage none;
    EXPECT_FALSE(RenderWaterPicture(host::Document{}, p, 10, 10, none, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PreviewRendererTest, NewValuesChangeThePreview) {
    const auto picture = Picture(90, 60);
    RenderParams p = Simple();
    const PreviewResult a = RenderOnce(picture, p, PreviewView{1, 0, 0, 0, 0});
    p.horizon = 20;
    const PreviewResult b = RenderOnce(picture, p, PreviewView{1, 0, 0, 0, 0});
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_NE(a.image.pixels, b.image.pixels);
}

TEST_F(PreviewRendererTest, OnlyTheNewestValuesAreDelivered) {
    Inbox inbox;
    PreviewRenderer renderer([&](PreviewResult&& r) { inbox.Put(std::move(r)); });
    renderer.SetPicture(Picture(600, 400));
    RenderParams p = PlainParams();
    for (int i = 0; i < 5; ++i) {
        p.horizon = float(10 * i);
        renderer.Request(p, PreviewView{1, 0, 0, 0, 0});
    }
    const uint64_t newest = renderer.Newest();
    ASSERT_TRUE(inbox.WaitFor(1, 120s));
    std::this_thread::sleep_for(200ms);
    std::lock_guard<std::mutex> lock(inbox.mutex);
    ASSERT_EQ(inbox.results.size(), 1u);
    EXPECT_EQ(inbox.results[0].generation, newest);
}

TEST_F(PreviewRendererTest, StoppedAndDestroyedRenderersDeliverNothing) {
    Inbox inbox;
    {
        PreviewRenderer renderer([&](PreviewResult&& r) { inbox.Put(std::move(r)); });
        renderer.SetPicture(Picture(300, 200));
        renderer.Request(PlainParams(), PreviewView{1, 0, 0, 0, 0});
        renderer.Stop();
        std::this_thread::sleep_for(300ms);
        renderer.Request(PlainParams(), PreviewView{1, 0, 0, 0, 0});  // destroyed while it renders
    }
    EXPECT_TRUE(inbox.results.empty());
}

TEST_F(PreviewRendererTest, NoPictureIsAnErrorNotACrash) {
    Inbox inbox;
    PreviewRenderer renderer([&](PreviewResult&& r) { inbox.Put(std::move(r)); });
    renderer.Request(PlainParams(), PreviewView{});
    ASSERT_TRUE(inbox.WaitFor(1, 10s));
    EXPECT_FALSE(inbox.results[0].ok);
    EXPECT_FALSE(inbox.results[0].error.empty());
}

TEST_F(PreviewRendererTest, PreviewsWriteNoneOfThePlugInsFiles) {
    RenderOnce(Picture(80, 60), PlainParams(), PreviewView{1, 0, 0, 0, 0});
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "a preview must leave the plug-in's cached settings to the last applied run";
}

}  // namespace
}  // namespace tw::gimp
