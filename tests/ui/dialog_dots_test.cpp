// The memory dots, the well and the preset batch as the dialog drives them: clicks on dots
// (with Control, with the right button), hovering, the automatic store at opening, the
// gallery page, and the batch refresh with OK and Cancel held off while it runs.
#include <filesystem>

#include "fake_dialog.h"
#include "settings/memory_dots.h"
#include "settings/settings_file.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

constexpr int Dot(int i) { return kIdFirstDot + i; }

using Dots = DialogSession;

TEST_F(Dots, OpeningStoresIntoTheFirstDotThatIsNotKept) {
    keep[0] = keep[1] = 1;
    params.horizon = 31;
    Open();
    EXPECT_TRUE(fs::exists(Path("Tarnwell A memory dot 2.q8r")));
    EXPECT_FALSE(fs::exists(Path("Tarnwell A memory dot 0.q8r")));
    EXPECT_EQ(DotPicture(dialog, 2), 333 + 1) << "the opening dot is current and not kept";
    EXPECT_EQ(DotPicture(dialog, 0), 337 + 1) << "a kept dot shows filled";
    EXPECT_EQ(DotPicture(dialog, 3), 341 + 1);
    ASSERT_NE(WellPicture(dialog), nullptr);
    EXPECT_EQ(WellPicture(dialog)->width, 88);
    RenderParams stored{};
    ASSERT_TRUE(ReadSettings(Path("Tarnwell A memory dot 2.q8r"), stored, ReadMode::Full, nullptr));
    EXPECT_FLOAT_EQ(stored.horizon, 31);
}

TEST_F(Dots, WithAll25KeptNothingIsStoredAutomatically) {
    for (int32_t& k : keep) k = 1;
    Open();
    for (int i = 0; i < kMemoryDotCount; ++i) {
        EXPECT_FALSE(fs::exists(Path("Tarnwell A memory dot " + std::to_string(i) + ".q8r"))) << i;
        EXPECT_EQ(DotPicture(dialog, i), 337 + 1) << i;
    }
    EXPECT_EQ(WellPicture(dialog), nullptr);
}

TEST_F(Dots, AControlClickUnkeepsADotUntilTheNextStart) {
    Open();  // the opening settings go to dot 0
    ClickAt(Dot(3));  // an empty dot: stored and kept
    ClickAt(Dot(6));
    ClickAt(Dot(3), false, true);
    EXPECT_EQ(DotPicture(dialog, 3), 331 + 1) << "still filled for now, no longer kept";
    Click(kIdOk);
    EXPECT_EQ(keep[3], 0);
    EXPECT_EQ(keep[6], 1);
    EXPECT_EQ(keep[0], 0);

    // The next start, with the flags the host block kept.
    Dialog next;
    FakeView next_view;
    next_view.dialog = &next;
    const DialogBinding binding{&params, enabled, &keep, &next_view, &services, host};
    BindDialog(next, binding, 1);
    InitialiseDialog(next, 1);
    EXPECT_EQ(DotPicture(next, 3), 341 + 1);
    EXPECT_EQ(DotPicture(next, 6), 337 + 1);
    EXPECT_EQ(DotPicture(next, 0), 333 + 1) << "dot 0 takes the opening settings again";
}

TEST_F(Dots, ARecallReadsTheDotAsALoadWouldAndIsAnUndoStateWithItsFile) {
    params.horizon = 20;
    Open();           // dot 0 holds horizon 20
    Type(86, "60");
    FireTimer();
    ASSERT_FLOAT_EQ(params.horizon, 60);
    const int renders = Renders();
    ClickAt(Dot(0));  // a filled dot: recalled
    EXPECT_FLOAT_EQ(params.horizon, 20);
    EXPECT_EQ(view.fields[86], "20");
    EXPECT_STREQ(params.settings_name, "dot 1");
    EXPECT_EQ(Renders(), renders + 1);
    EXPECT_EQ(DotPicture(dialog, 0), 333 + 1) << "the recalled dot stays current";
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.horizon, 60);
    EXPECT_EQ(DotPicture(dialog, 0), 331 + 1) << "after Undo the settings no longer match the dot";

    // A left click on the well recalls the dot it shows.
    Move(view.CentreOf(Dot(0)));
    ClickAt(kIdMemoryArea);
    EXPECT_FLOAT_EQ(params.horizon, 20);
}

TEST_F(Dots, StoringChangesNoSettingsAndRecordsNoUndoState) {
    Open();
    const int toggle = dialog.undo.toggle;
    const int renders = Renders();
    ClickAt(Dot(5), true);  // a right click on an empty dot stores too
    EXPECT_TRUE(fs::exists(Path("Tarnwell A memory dot 5.q8r")));
    EXPECT_EQ(dialog.undo.toggle, toggle);
    EXPECT_EQ(Renders(), renders);
    EXPECT_EQ(DotPicture(dialog, 5), 339 + 1) << "kept and current";
    EXPECT_EQ(DotPicture(dialog, 0), 331 + 1) << "the opening dot is no longer current";

    ClickAt(Dot(5), true);  // a right click on a filled dot clears it
    EXPECT_EQ(DotPicture(dialog, 5), 341 + 1);
    EXPECT_EQ(WellPicture(dialog), nullptr);
}

TEST_F(Dots, APressedDotLooksPressedOnlyWhileTheMouseIsOverIt) {
    Open();
    const PixelPoint at = view.CentreOf(Dot(7));
    Press(at);
    EXPECT_EQ(DotPicture(dialog, 7), 341 + 0);
    Move({at.x + 40, at.y});
    EXPECT_EQ(DotPicture(dialog, 7), 341 + 1);
    Move(at);
    EXPECT_EQ(DotPicture(dialog, 7), 341 + 0);
    // Released elsewhere, the click still counts.
    Release({at.x + 100, at.y + 100});
    EXPECT_EQ(DotPicture(dialog, 7), 339 + 1);
}

TEST_F(Dots, HoveringShowsAFilledDotsPictureAndAnEmptyDotEmptiesTheWell) {
    Open();
    ClickAt(Dot(4));
    Move(view.CentreOf(Dot(9)));
    EXPECT_EQ(WellPicture(dialog), nullptr);
    const int repaints = view.repaints[kIdMemoryArea];
    Move(view.CentreOf(Dot(4)));
    EXPECT_NE(WellPicture(dialog), nullptr);
    EXPECT_GT(view.repaints[kIdMemoryArea], repaints);
}

TEST_F(Dots, ARightClickOnTheWellWritesTheMemoryDotsPage) {
    Open();
    ClickAt(Dot(2));
    view.save_answers = {Path("dots.html")};
    ClickAt(kIdMemoryArea, true);
    ASSERT_EQ(services.opened.size(), 1u);
    EXPECT_TRUE(fs::exists(Path("web_images/dot 1.jpg"))) << "the opening dot shows filled";
    EXPECT_TRUE(fs::exists(Path("web_images/dot 3.jpg")));
    EXPECT_FALSE(fs::exists(Path("web_images/dot 2.jpg")));
    EXPECT_EQ(view.file_requests.back().name, "Tarnwell memory dots.html");
}

class Batch : public DialogSession {
protected:
    void WritePreset(const std::string& name, float horizon) {
        RenderParams p;
        ResetParams(p);
        p.horizon = horizon;
        ASSERT_TRUE(WriteSettings((fs::path(presets) / name).string(), p, nullptr, false));
    }
    void StartBatch() {
        view.open_answers = {(fs::path(presets) / "any file").string()};
        ClickAt(kIdMemoryArea, false, true);  // Control + click on the well
    }
    std::string presets;
    void SetUp() override {
        DialogSession::SetUp();
        presets = Path("presets");
        fs::create_directory(presets);
    }
};

TEST_F(Batch, LakeQ9qBecomesLakeQ5qWithANewPictureAndTheUsersSettingsComeBack) {
    WritePreset("lake.q9q", 70);
    params.horizon = 15;
    SetText(params.settings_name, "mine");
    Open();
    StartBatch();
    EXPECT_STREQ(view.file_requests.back().title, "Choose any file in the source folder");
    ASSERT_TRUE(fs::exists(fs::path(presets) / "lake.q5q"));
    EXPECT_FALSE(fs::exists(fs::path(presets) / "lake.q9q"));
    RenderParams read{};
    Picture picture;
    bool found = false;
    ASSERT_TRUE(ReadSettings((fs::path(presets) / "lake.q5q").string(), read, ReadMode::Full, &picture, &found));
    EXPECT_FLOAT_EQ(read.horizon, 70);
    EXPECT_TRUE(found);
    ASSERT_GE(services.rendered.size(), 2u);
    EXPECT_FLOAT_EQ(services.rendered.end()[-2].horizon, 70) << "the picture is a render of the preset";
    EXPECT_FLOAT_EQ(services.rendered.back().horizon, 15) << "then the user's own settings again";
    EXPECT_FLOAT_EQ(params.horizon, 15);
    EXPECT_EQ(view.fields[86], "15");
    EXPECT_STREQ(params.settings_name, "lake.q9q") << "the name of the last file processed";
    EXPECT_FALSE(dialog.state.busy);
}

TEST_F(Batch, AFolderWithoutPresetsLeavesTheSettingsAndTheirName) {
    WritePreset("plain.q8r", 70);
    params.horizon = 15;
    SetText(params.settings_name, "mine");
    Open();
    StartBatch();
    EXPECT_FLOAT_EQ(params.horizon, 15);
    EXPECT_STREQ(params.settings_name, "mine");
    EXPECT_TRUE(fs::exists(fs::path(presets) / "plain.q8r"));
}

TEST_F(Batch, OkIsIgnoredAndCancelStopsWhileTheBatchRuns) {
    WritePreset("a q9q.q8r", 10);
    WritePreset("b q9q.q8r", 20);
    params.horizon = 15;
    SetText(params.settings_name, "mine");
    Open();
    bool clicked = false;
    view.pending_input = [&] {
        if (clicked || !dialog.state.busy) return;
        clicked = true;
        Click(kIdOk);
        Click(kIdDice);
        Click(kIdCancel);
    };
    StartBatch();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(view.ended, 0) << "neither OK nor Cancel ended the dialog";
    for (const char* name : {"a q9q.q8r", "b q9q.q8r"})
        EXPECT_TRUE(fs::exists(fs::path(presets) / name)) << name << ": the stop came first";
    EXPECT_FLOAT_EQ(params.horizon, 15) << "the dice did not run either";
    EXPECT_STREQ(params.settings_name, "mine");
    EXPECT_FALSE(dialog.state.busy);
    Click(kIdOk);
    EXPECT_EQ(view.ended, kDialogEndedOk) << "after the batch OK works again";
}

}  // namespace
}  // namespace tw::testing
