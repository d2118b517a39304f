// The plug-in module itself under an editor that replays and records actions: the shell
// reads the descriptor at start and records at finish, and Paint Shop Pro's descriptors are
// recorded but never read.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/descriptor.h"
#include "host/descriptor_settings.h"
#include "host/document.h"
#include "host/host_session.h"
#include "host/module.h"
#include "platform/platform.h"
#include "params/script_keys.h"

namespace tw::host {
namespace {

struct Hooked {
    ScriptedRun run;
    OSType signature = 0;  // 0: keep the session's own
};

void Prepare(FilterRecord& record, void* context) {
    Hooked& hooked = *static_cast<Hooked*>(context);
    if (hooked.signature) record.hostSig = hooked.signature;
    PrepareScriptedRun(record, &hooked.run);
}

class PluginScripting : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = platform::JoinPath(TARNWELL_BIN_DIR, DefaultPluginFileName());
        std::string error;
        if (!platform::FileExists(path) || !LoadPluginModule(path, module_, error))
            GTEST_SKIP() << "the plug-in module is not built: " << error;
        // Each run starts with no cached settings, whatever earlier runs saved.
        char pattern[] = "/tmp/tarnwell-plugin-scripting-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("TARNWELL_TEMP", (dir_ + "/").c_str(), 1);
    }
    void TearDown() override {
        if (module_.is_loaded()) UnloadPluginModule(module_);
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    // One run over a small picture; returns what the plug-in recorded.
    Descriptor Run(const Descriptor& replay, OSType signature) {
        Picture picture;
        EXPECT_TRUE(picture.Allocate(19, 13, 3, 8));
        for (size_t i = 0; i < picture.data.size(); ++i) picture.data[i] = uint8_t(i * 37);
        Document document;
        std::string error;
        EXPECT_TRUE(DocumentFromPicture(picture, document, error)) << error;

        Hooked hooked;
        hooked.run.replay = &replay;
        hooked.signature = signature;
        RunOptions options;
        options.prepare_record = Prepare;
        options.prepare_context = &hooked;
        Descriptor recorded;
        HostSession session;
        const RunOutcome outcome = session.Apply(module_.entry, document, HostEvents{}, options);
        EXPECT_EQ(outcome.result, noErr) << outcome.message;
        EXPECT_TRUE(HeldDescriptor(hooked.run.host, recorded));
        ReleaseScriptingHost(hooked.run.host);
        return recorded;
    }

    PluginModule module_;
    std::string dir_;
};

TEST_F(PluginScripting, ReplayedParametersAreUsedAndRecordedAgain) {
    Descriptor replay;
    std::string error;
    ASSERT_TRUE(AddSetting(replay, "horizon=12.5", error));
    ASSERT_TRUE(AddSetting(replay, "glue=difference", error));
    const Descriptor recorded = Run(replay, 0);
    ASSERT_NE(recorded.Find(FourCC("0019")), nullptr);
    EXPECT_EQ(recorded.Find(FourCC("0019"))->number, 12.5);
    EXPECT_EQ(FourCCText(recorded.Find(kGlueKey)->value), "GL04");
    EXPECT_EQ(recorded.Find(FourCC("0031"))->number, 65.0);  // not replayed: the plain default
    EXPECT_EQ(recorded.items.front().key, kVersionKey);
}

TEST_F(PluginScripting, PaintShopProDescriptorsAreRecordedButNeverRead) {
    Descriptor replay;
    std::string error;
    ASSERT_TRUE(AddSetting(replay, "horizon=12.5", error));
    const Descriptor recorded = Run(replay, FourCC("PSP9"));
    ASSERT_NE(recorded.Find(FourCC("0019")), nullptr);
    EXPECT_EQ(recorded.Find(FourCC("0019"))->number, 50.0);  // the start-up's own settings
}

}  // namespace
}  // namespace tw::host
