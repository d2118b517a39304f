// The preview's render thread with the real plug-in module: a render gives what an applied
// run of the same values gives, and newer values abandon older renders, which are never
// delivered.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "gimp/parameters.h"
#include "gimp/preview_renderer.h"
#include "host/filter_run.h"
#include "host/module.h"
#include "platform/platform.h"

namespace tw::gimp {
namespace {

using namespace std::chrono_literals;

class PreviewRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = platform::JoinPath(TARNWELL_BIN_DIR, host::DefaultPluginFileName());
        std::string error;
        if (!platform::FileExists(path) || !host::LoadPluginModule(path, module_, error))
            GTEST_SKIP() << "the plug-in module is not built: " << error;
        char pattern[] = "/tmp/tarnwell-preview-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("TARNWELL_TEMP", (dir_ + "/").c_str(), 1);
    }
    void TearDown() override {
        if (module_.is_loaded()) host::UnloadPluginModule(module_);
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
        unsetenv("TARNWELL_TEMP");
    }

    static std::shared_ptr<const host::Document> Picture(int width, int height) {
        auto doc = std::make_shared<host::Document>();
        doc->width = width;
        doc->height = height;
        doc->pixels.resize(doc->RowBytes() * size_t(height));
        for (size_t i = 0; i < doc->pixels.size(); ++i) doc->pixels[i] = uint8_t((i * 7919) >> 5);
        return doc;
    }

    // Collects deliveries and lets a test wait for them.
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

    host::PluginModule module_;
    std::string dir_;
};

TEST_F(PreviewRendererTest, RendersWhatAnAppliedRunRenders) {
    Inbox inbox;
    const auto picture = Picture(61, 47);
    RenderParams p = PlainParams();
    p.style = kStyleSimple;
    p.horizon = 35;
    {
        PreviewRenderer renderer(module_.entry, [&](PreviewResult&& r) { inbox.Put(std::move(r)); });
        renderer.SetPicture(picture);
        const uint64_t generation = renderer.Request(p);
        ASSERT_TRUE(inbox.WaitFor(1, 60s));
        ASSERT_TRUE(inbox.results[0].ok) << inbox.results[0].error;
        EXPECT_EQ(inbox.results[0].generation, generation);
    }
    host::Document expected = *picture;
    const host::Descriptor action = ActionFor(p);
    const host::FilterRunResult run = host::RunFilter(module_.entry, expected, &action, host::HostEvents{});
    std::string error;
    ASSERT_TRUE(host::FilterRunSucceeded(run, error)) << error;
    EXPECT_EQ(inbox.results[0].picture.pixels, expected.pixels);
    EXPECT_NE(expected.pixels, picture->pixels);  // water was drawn
}

TEST_F(PreviewRendererTest, NewerValuesAbandonTheRenderInProgress) {
    Inbox inbox;
    PreviewRenderer renderer(module_.entry, [&](PreviewResult&& r) { inbox.Put(std::move(r)); });
    renderer.SetPicture(Picture(400, 300));  // the complex style takes seconds here
    RenderParams p = PlainParams();
    const auto start = std::chrono::steady_clock::now();
    renderer.Request(p);
    std::this_thread::sleep_for(50ms);
    p.style = kStyleSimple;
    const uint64_t newest = renderer.Request(p);
    ASSERT_TRUE(inbox.WaitFor(1, 120s));
    std::this_thread::sleep_for(100ms);
    std::lock_guard<std::mutex> lock(inbox.mutex);
    ASSERT_EQ(inbox.results.size(), 1u);
    EXPECT_EQ(inbox.results[0].generation, newest);
    EXPECT_TRUE(inbox.results[0].ok) << inbox.results[0].error;
    // The stale complex render stopped early: the simple one alone takes well under this.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST_F(PreviewRendererTest, StopAndDestructionDeliverNothing) {
    Inbox inbox;
    {
        PreviewRenderer renderer(module_.entry, [&](PreviewResult&& r) { inbox.Put(std::move(r)); });
        renderer.SetPicture(Picture(400, 300));
        renderer.Request(PlainParams());
        std::this_thread::sleep_for(50ms);
        renderer.Stop();
        std::this_thread::sleep_for(200ms);
        renderer.Request(PlainParams());  // destroyed while this one renders
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(inbox.results.empty());
}

TEST_F(PreviewRendererTest, NoPictureNoRender) {
    Inbox inbox;
    PreviewRenderer renderer(module_.entry, [&](PreviewResult&& r) { inbox.Put(std::move(r)); });
    renderer.Request(PlainParams());
    EXPECT_FALSE(inbox.WaitFor(1, 1s));
}

}  // namespace
}  // namespace tw::gimp
