// The preset open dialog's picture pane and the batch picture refresh, run against a fake
// dialog whose "render" paints a colour made from the settings, so a file's new picture
// shows which settings it was rendered from.
#include "settings/preset_refresh.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scratch_folder.h"
#include "settings/dot_map.h"
#include "settings/memory_dots.h"
#include "settings/settings_file.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// The colour the fake render paints for a record.
struct Colour {
    uint8_t r, g, b;
};
Colour ColourOf(const RenderParams& p) {
    return {uint8_t(p.horizon * 2), uint8_t(p.glue_mode * 3), uint8_t(p.seed % 256)};
}

// The dialog as the batch sees it: it records what it is told and renders flat colours.
struct FakeDialog {
    std::vector<std::string> shown;  // settings names shown, in order
    std::vector<bool> running;       // batch_running calls
    std::vector<int> done;           // progress counts
    int renders = 0;
    bool stop = false;
    std::function<bool(int render)> before_render;  // false: the render fails
    std::vector<uint8_t> planes;

    PresetRefreshServices Services() {
        PresetRefreshServices s;
        s.batch_running = [this](bool on) { running.push_back(on); };
        s.show_values = [this](const RenderParams& p) { shown.push_back(p.settings_name); };
        s.render_preview = [this](const RenderParams& p, PlanarView& view) {
            ++renders;
            if (before_render && !before_render(renders)) return false;
            const Colour c = ColourOf(p);
            const size_t plane = 64 * 48;
            planes.assign(plane * 3, 0);
            std::memset(planes.data(), c.r, plane);
            std::memset(planes.data() + plane, c.g, plane);
            std::memset(planes.data() + 2 * plane, c.b, plane);
            view = {planes.data(), 64, 48, 3};
            return true;
        };
        s.stop_requested = [this] { return stop; };
        s.clear_stop = [this] { stop = false; };
        s.progress = [this](int d, int, const std::string&) { done.push_back(d); };
        return s;
    }
};

class PresetFolder : public testing::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        presets_ = Path("presets");
        ASSERT_TRUE(fs::create_directory(presets_));
        ResetParams(user_);
        user_.horizon = 77;
        user_.light_dir[0] = -0.123456f;  // a value a settings file would round
        SetText(user_.settings_name, "my look");
        params_ = user_;
        ResetPictureToRamp(holder_);
    }
    std::string In(const std::string& name) const { return platform::JoinPath(presets_, name); }
    // A preset without a picture, with its own horizon, glue mode and seed.
    void WritePreset(const std::string& name, float horizon, int glue, int seed) {
        RenderParams p{};
        ResetParams(p);
        p.horizon = horizon;
        p.glue_mode = glue;
        p.seed = seed;
        ASSERT_TRUE(WriteSettings(In(name), p, nullptr, false));
    }
    std::vector<uint8_t> Bytes(const std::string& name) const {
        std::vector<uint8_t> bytes;
        platform::ReadWholeFile(In(name), bytes);
        return bytes;
    }
    // The settings of a file and the colour at the centre of its picture.
    RenderParams Read(const std::string& name, Colour& centre, bool& has_picture) const {
        RenderParams p{};
        ResetParams(p);
        Picture picture;
        EXPECT_TRUE(LoadSettings(In(name), p, &picture)) << name;
        has_picture = !picture.empty();
        if (has_picture) {
            const uint8_t* px = picture.pixel(picture.width / 2, picture.height / 2);
            centre = {px[0], px[1], px[2]};
        }
        return p;
    }
    PresetRefreshReport Run(FakeDialog& dialog) {
        return RefreshPresetFolder(state_, presets_, params_, holder_, dialog.Services());
    }
    // The user's settings, named as the batch leaves them.
    void ExpectUsersSettings(const char* name) const {
        RenderParams expected = user_;
        SetText(expected.settings_name, name);
        EXPECT_EQ(std::memcmp(&expected, &params_, sizeof expected), 0) << "the user's settings, exactly";
        EXPECT_STREQ(params_.settings_name, name);
    }

    std::string presets_;
    RenderParams user_{}, params_{};
    Picture holder_;
    PresetRefreshState state_;
};

void ExpectColour(const Colour& got, const Colour& want) {
    EXPECT_NEAR(got.r, want.r, 4);
    EXPECT_NEAR(got.g, want.g, 4);
    EXPECT_NEAR(got.b, want.b, 4);
}

TEST_F(PresetFolder, LakeQ9qEndsAsQ5qWithItsSettingsAndANewPicture) {
    WritePreset("lake.q9q", 30, 7, 100);
    Colour unused{};
    bool had_picture = true;
    const RenderParams before = Read("lake.q9q", unused, had_picture);
    EXPECT_FALSE(had_picture);

    FakeDialog dialog;
    const PresetRefreshReport report = Run(dialog);
    EXPECT_EQ(report.status, RefreshStatus::kDone);
    EXPECT_EQ(report.total, 1);
    EXPECT_EQ(report.refreshed, 1);
    ASSERT_EQ(report.renamed.size(), 1u);
    EXPECT_EQ(report.renamed[0].from, "lake.q9q");
    EXPECT_EQ(report.renamed[0].to, "lake.q5q");
    EXPECT_FALSE(platform::FileExists(In("lake.q9q")));

    Colour centre{};
    bool has_picture = false;
    const RenderParams after = Read("lake.q5q", centre, has_picture);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "the same settings";
    ASSERT_TRUE(has_picture);
    ExpectColour(centre, {60, 21, 100});

    // The dialog showed the file's values under its name, and got its own back.
    EXPECT_EQ(dialog.shown, std::vector<std::string>{"lake.q9q"});
    EXPECT_EQ(dialog.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(dialog.done, (std::vector<int>{0, 1}));
    ExpectUsersSettings("lake.q9q");
    EXPECT_FALSE(state_.running);
    EXPECT_EQ(state_.source_folder, presets_);

    // Running again re-renders the ".q5q" file and renames nothing.
    WritePreset("lake.q9q", 50, 2, 3);
    ResetParams(params_);
    FakeDialog again;
    const PresetRefreshReport second = Run(again);
    EXPECT_EQ(second.refreshed, 2);
    EXPECT_TRUE(second.renamed.empty());
    EXPECT_EQ(second.not_renamed, std::vector<std::string>{"lake.q9q"}) << "lake.q5q is taken";
    Read("lake.q5q", centre, has_picture);
    ExpectColour(centre, {60, 21, 100});
    Read("lake.q9q", centre, has_picture);
    ExpectColour(centre, {100, 6, 3});
}

TEST_F(PresetFolder, AFolderWithoutPresetsLeavesTheSettingsAndTheirName) {
    WritePreset("lake.q8r", 30, 7, 100);
    ASSERT_TRUE(platform::WriteFileAtomically(In("notes.txt"), "q9q", 3));
    ASSERT_TRUE(fs::create_directory(In("old.q9q")));
    const std::vector<uint8_t> lake = Bytes("lake.q8r");

    FakeDialog dialog;
    const PresetRefreshReport report = Run(dialog);
    EXPECT_EQ(report.status, RefreshStatus::kDone);
    EXPECT_EQ(report.total, 0);
    EXPECT_EQ(dialog.renders, 0);
    EXPECT_TRUE(dialog.shown.empty());
    ExpectUsersSettings("my look");
    EXPECT_EQ(Bytes("lake.q8r"), lake);
    EXPECT_TRUE(report.scratch_written);
    RenderParams scratch{};
    ASSERT_TRUE(LoadSettings(MemoryDotPath(kScratchDot), scratch, nullptr));
    EXPECT_EQ(scratch.horizon, 77.0f);
}

TEST_F(PresetFolder, ReadOnlyFilesAreSkippedAndTakenNamesKept) {
    WritePreset("a.q9q", 10, 1, 1);
    WritePreset("a.q5q", 20, 2, 2);
    WritePreset("SEA.Q9Q", 30, 3, 3);
    WritePreset("locked.q9q", 40, 4, 4);
    fs::permissions(In("locked.q9q"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::vector<uint8_t> locked = Bytes("locked.q9q");

    FakeDialog dialog;
    const PresetRefreshReport report = Run(dialog);
    fs::permissions(In("locked.q9q"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(report.read_only, std::vector<std::string>{"locked.q9q"});
    EXPECT_EQ(Bytes("locked.q9q"), locked);
    EXPECT_EQ(report.total, 3);
    EXPECT_EQ(report.refreshed, 3);
    EXPECT_EQ(dialog.shown, (std::vector<std::string>{"SEA.Q9Q", "a.q5q", "a.q9q"})) << "name order";
    ASSERT_EQ(report.renamed.size(), 1u);
    EXPECT_EQ(report.renamed[0].to, "SEA.q5q") << "names are matched in any case";
    EXPECT_EQ(report.not_renamed, std::vector<std::string>{"a.q9q"});

    // Neither "a" preset replaced the other.
    Colour centre{};
    bool has_picture = false;
    EXPECT_EQ(Read("a.q5q", centre, has_picture).horizon, 20.0f);
    ExpectColour(centre, {40, 6, 2});
    EXPECT_EQ(Read("a.q9q", centre, has_picture).horizon, 10.0f);
    ExpectColour(centre, {20, 3, 1});
    ExpectUsersSettings("a.q9q");
}

TEST_F(PresetFolder, AStopRequestEndsTheBatchAndAnOldOneIsForgotten) {
    for (const char* name : {"p1.q9q", "p2.q9q", "p3.q9q"}) WritePreset(name, 10, 1, 1);
    const std::vector<uint8_t> untouched = Bytes("p2.q9q");

    FakeDialog dialog;
    dialog.stop = true;  // left over from before the batch
    dialog.before_render = [&dialog](int render) {
        if (render == 2) dialog.stop = true;  // the user stops during the second render
        return true;
    };
    const PresetRefreshReport report = Run(dialog);
    EXPECT_EQ(report.status, RefreshStatus::kStopped);
    EXPECT_EQ(report.refreshed, 1);
    EXPECT_TRUE(platform::FileExists(In("p1.q5q")));
    EXPECT_EQ(Bytes("p2.q9q"), untouched) << "the file at hand is left alone";
    EXPECT_EQ(Bytes("p3.q9q"), untouched);
    EXPECT_EQ(dialog.renders, 2);
    ExpectUsersSettings("p2.q9q");
    EXPECT_FALSE(state_.running);
}

TEST_F(PresetFolder, AFolderThatCannotBeListedEndsTheBatchAtOnce) {
    presets_ = Path("absent");
    FakeDialog dialog;
    const PresetRefreshReport report = Run(dialog);
    EXPECT_EQ(report.status, RefreshStatus::kNotListed);
    EXPECT_EQ(dialog.renders, 0);
    EXPECT_EQ(dialog.running, (std::vector<bool>{true, false}));
    ExpectUsersSettings("my look");
    EXPECT_TRUE(platform::FileExists(MemoryDotPath(kScratchDot))) << "the user's settings are on disk too";
}

TEST_F(PresetFolder, FailedRendersAndASecondBatchLeaveFilesAlone) {
    WritePreset("one.q9q", 10, 1, 1);
    WritePreset("two.q9q", 20, 2, 2);
    const std::vector<uint8_t> one = Bytes("one.q9q");
    FakeDialog dialog;
    PresetRefreshReport inner;
    dialog.before_render = [&](int render) {
        // The dialog's loop turns during a render: a second batch asked for now is refused.
        FakeDialog nested;
        inner = Run(nested);
        EXPECT_TRUE(nested.running.empty());
        return render != 1;  // the first render fails
    };
    const PresetRefreshReport report = Run(dialog);
    EXPECT_EQ(inner.status, RefreshStatus::kRefused);
    EXPECT_EQ(report.status, RefreshStatus::kDone);
    EXPECT_EQ(report.not_rendered, std::vector<std::string>{"one.q9q"});
    EXPECT_EQ(Bytes("one.q9q"), one) << "not rewritten and not renamed";
    EXPECT_TRUE(platform::FileExists(In("two.q5q")));
}

TEST_F(PresetFolder, TheDialogsCommandChoosesTheFolderFromAnyFile) {
    WritePreset("lake.q9q", 30, 7, 100);
    FakeDialog dialog;
    PresetRefreshServices services = dialog.Services();
    int asked = 0;
    services.choose_file = [&](std::string& chosen) {
        ++asked;
        chosen = In("lake.q9q");
        return asked > 1;  // the first time the user cancels
    };
    EXPECT_EQ(RefreshPresetPictures(state_, params_, holder_, services).status, RefreshStatus::kCancelled);
    EXPECT_TRUE(dialog.running.empty());
    const PresetRefreshReport report = RefreshPresetPictures(state_, params_, holder_, services);
    EXPECT_EQ(report.status, RefreshStatus::kDone);
    EXPECT_EQ(report.folder, presets_ + platform::PathSeparator());
    EXPECT_EQ(report.refreshed, 1);

    state_.running = true;
    EXPECT_EQ(RefreshPresetPictures(state_, params_, holder_, services).status, RefreshStatus::kRefused);
    EXPECT_EQ(asked, 2) << "refused before the file dialog";
}

TEST(PresetNames, WhichFilesTheBatchTakesAndWhatTheyAreCalledAfterwards) {
    for (const char* name : {"lake.q9q", "LAKE.Q5Q", "q9q", "my.q5q.backup", "aQ9Qb"}) EXPECT_TRUE(IsPresetName(name)) << name;
    for (const char* name : {"lake.q8r", "q9", "q 9q", ""}) EXPECT_FALSE(IsPresetName(name)) << name;

    const struct {
        const char *from, *to;
    } renames[] = {{"lake.q9q", "lake.q5q"},         {"LAKE.Q9Q", "LAKE.q5q"},
                   {"lake.q9q.bak", "lake.q9q.q5q"}, {"my.q9q.v2.q8r", "my.q9q.v2.q5q"},
                   {"q9q", "q9q.q5q"},               {"sea.q5q", "sea.q5q"},
                   {"sea.q8r", "sea.q8r"}};
    for (const auto& r : renames) EXPECT_EQ(RefreshedPresetName(r.from), r.to) << r.from;

    EXPECT_EQ(SourceFolderOf("C:\\presets\\lake.q9q"), "C:\\presets\\");
    EXPECT_EQ(SourceFolderOf("/home/me/presets/lake.q9q"), "/home/me/presets/");
    EXPECT_EQ(SourceFolderOf("lake.q9q"), ".");
}

using PresetPaneTest = testing::ScratchFolderTest;

TEST_F(PresetPaneTest, ThePaneShowsTheRampUntilAPictureAndLongPathsAreIgnored) {
    RenderParams p{};
    ResetParams(p);
    Picture red;
    AllocatePicture(red, 96, 96);
    for (size_t i = 0; i < red.rgb.size(); i += 3) red.rgb[i] = 220;
    ASSERT_TRUE(WriteSettings(Path("red.Q8R"), p, &red, true));
    ASSERT_TRUE(WriteSettings(Path("bare.q8r"), p, nullptr, false));
    ASSERT_TRUE(WriteSettings(Path("red.q5q"), p, &red, true));

    PresetPane pane;
    Picture holder = red;
    EXPECT_EQ(SelectPresetPath(pane, Path("red.q5q"), holder), PaneChange::kRamp) << "only .q8r names are read";
    EXPECT_EQ(holder.pixel(0, 127)[0], 128) << "reset to the ramp";
    EXPECT_FALSE(pane.decoded) << "the pane draws nothing yet";

    EXPECT_EQ(SelectPresetPath(pane, Path("red.Q8R"), holder), PaneChange::kPicture);
    EXPECT_TRUE(pane.decoded);
    EXPECT_EQ(pane.width, 128);
    EXPECT_NEAR(holder.pixel(64, 64)[0], 220, 4);

    EXPECT_EQ(SelectPresetPath(pane, Path("bare.q8r"), holder), PaneChange::kRamp);
    EXPECT_TRUE(pane.decoded) << "the ramp is drawn at the last picture's size";
    EXPECT_EQ(holder.pixel(5, 0)[0], 255);

    const Picture before = holder;
    EXPECT_EQ(SelectPresetPath(pane, Path(std::string(261, 'x') + ".q8r"), holder), PaneChange::kIgnored);
    EXPECT_EQ(holder.rgb, before.rgb);
    EXPECT_EQ(SelectPresetPath(pane, Path("absent.q8r"), holder), PaneChange::kRamp);
}

}  // namespace
}  // namespace tw
