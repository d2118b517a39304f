// The memory-dot ring as the dialog drives it, in scripted sessions against a scratch
// temporary folder: opening with and without kept dots, a restart through the map file,
// every click and hover of the action table, recalls against Loads of the same file, and
// files that are missing or cannot be written.
#include "settings/memory_dots.h"

#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "platform/big_endian.h"
#include "platform/platform.h"
#include "scratch_folder.h"
#include "settings/settings_file.h"

namespace tw {
namespace {

// A preview of one colour, as the dialog's planar preview buffer holds it.
struct FakePreview {
    std::vector<uint8_t> planes;
    PlanarView view;
    FakePreview(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
        const size_t plane = size_t(width) * size_t(height);
        planes.assign(plane * 3, 0);
        std::memset(planes.data(), r, plane);
        std::memset(planes.data() + plane, g, plane);
        std::memset(planes.data() + 2 * plane, b, plane);
        view = {planes.data(), width, height, 3};
    }
};

class DotSession : public testing::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        ResetParams(params_);
        ResetPictureToRamp(holder_);
        context_ = {&params_, &holder_, preview_.view};
    }
    DotOutcome Act(DotInput input, int dot, bool control = false) {
        return HandleDotInput(ring_, input, dot, control, context_);
    }
    // The dialog opens with the map as the plug-in's start loaded it.
    DotOutcome OpenFromMap() {
        DotKeepFlags keep{};
        LoadDotMap(keep);
        ring_ = MemoryDotRing{};
        return OpenDotRing(ring_, keep, context_);
    }

    RenderParams params_{};
    Picture holder_;
    FakePreview preview_{60, 40, 200, 40, 10};
    DotContext context_;
    MemoryDotRing ring_;
};

TEST_F(DotSession, OpeningStoresIntoTheFirstDotThatIsNotKept) {
    params_.horizon = 31;
    DotOutcome opened = OpenFromMap();  // no map yet: nothing is kept
    EXPECT_EQ(opened.event, DotEvent::kStored);
    EXPECT_EQ(opened.dot, 0);
    EXPECT_TRUE(opened.file_ok);
    EXPECT_EQ(opened.repaint_dots, kAllDots);
    EXPECT_TRUE(opened.repaint_well);
    EXPECT_EQ(ring_.state[0], kDotCurrent);
    EXPECT_EQ(ring_.keep[0], 0) << "the automatic store is shown only until the next start";
    for (int i = 1; i < kMemoryDotCount; ++i) EXPECT_EQ(ring_.state[i], kDotEmpty) << i;
    EXPECT_EQ(ring_.last_dot, 0);
    EXPECT_EQ(ring_.shown_dot, 0);
    // The well shows the captured preview, the orange of the fake preview, at 88 x 88.
    ASSERT_EQ(ring_.well.width, kWellPictureSide);
    ASSERT_EQ(ring_.well.height, kWellPictureSide);
    EXPECT_NEAR(ring_.well.pixel(44, 44)[0], 200, 3);
    EXPECT_NEAR(ring_.well.pixel(44, 44)[2], 10, 3);
    RenderParams stored{};
    ASSERT_TRUE(LoadSettings(MemoryDotPath(0), stored, nullptr));
    EXPECT_EQ(stored.horizon, 31.0f);

    // Dots 0..2 kept: the store goes to dot 3, and the kept ones show filled.
    DotKeepFlags keep{1, 1, 1};
    ring_ = MemoryDotRing{};
    opened = OpenDotRing(ring_, keep, context_);
    EXPECT_EQ(opened.dot, 3);
    EXPECT_EQ(ring_.state[0], kDotFilled);
    EXPECT_EQ(ring_.state[2], kDotFilled);
    EXPECT_EQ(ring_.state[3], kDotCurrent);
    EXPECT_EQ(ring_.state[4], kDotEmpty);
}

TEST_F(DotSession, WithAllDotsKeptOpeningStoresNothing) {
    DotKeepFlags keep;
    for (int32_t& flag : keep) flag = 1;
    const DotOutcome opened = OpenDotRing(ring_, keep, context_);
    EXPECT_EQ(opened.event, DotEvent::kNothing);
    EXPECT_EQ(opened.dot, -1);
    for (int i = 0; i < kMemoryDotCount; ++i) {
        EXPECT_EQ(ring_.state[i], kDotFilled) << i;
        EXPECT_FALSE(platform::FileExists(MemoryDotPath(i))) << i;
    }
    EXPECT_TRUE(ring_.well.empty());
    EXPECT_EQ(ring_.last_dot, -1);
}

TEST_F(DotSession, ControlClickThenRestartShowsTheDotEmptyAndTheMapSaysSo) {
    OpenFromMap();  // dot 0 holds the opening settings, not kept
    EXPECT_EQ(Act(DotInput::kLeftClick, 5).event, DotEvent::kStored);
    EXPECT_EQ(Act(DotInput::kRightClick, 6).event, DotEvent::kStored) << "a right click stores too";
    EXPECT_EQ(ring_.keep[5], 1);
    EXPECT_EQ(ring_.keep[6], 1);

    // Ctrl + click on a filled dot: it stays filled for now, only its keep flag goes.
    const DotOutcome unkept = Act(DotInput::kLeftClick, 5, true);
    EXPECT_EQ(unkept.event, DotEvent::kUnkept);
    EXPECT_EQ(unkept.repaint_dots, DotBit(5)) << "its picture changes with the keep flag";
    EXPECT_EQ(ring_.state[5], kDotFilled);
    EXPECT_EQ(ring_.keep[5], 0);
    EXPECT_EQ(DotPictureId(ring_, 5, false), 332);

    // The plug-in ends the run and saves the map: 104 bytes, the word 45, then the flags.
    ASSERT_TRUE(SaveDotMap(ring_.keep));
    std::vector<uint8_t> map;
    ASSERT_TRUE(platform::ReadWholeFile(DotMapPath(), map));
    ASSERT_EQ(map.size(), 104u);
    BigEndianReader words(map);
    int32_t word = 0;
    words.getI32(word);
    EXPECT_EQ(word, 45);
    for (int i = 0; i < kMemoryDotCount; ++i) {
        words.getI32(word);
        EXPECT_EQ(word, i == 6 ? 1 : 0) << "flag of dot " << i;
    }

    // The next start: dot 5 shows empty though its file is still there, dot 6 is kept, and
    // the opening store goes to dot 0 again.
    const DotOutcome reopened = OpenFromMap();
    EXPECT_EQ(reopened.dot, 0);
    EXPECT_EQ(ring_.state[5], kDotEmpty);
    EXPECT_TRUE(platform::FileExists(MemoryDotPath(5)));
    EXPECT_EQ(ring_.state[6], kDotFilled);
}

TEST_F(DotSession, ClicksOnEmptyDotsStoreAndMoveTheCurrentMark) {
    OpenFromMap();
    const DotOutcome stored = Act(DotInput::kLeftClick, 9, true);
    EXPECT_EQ(stored.event, DotEvent::kStored);
    EXPECT_EQ(ring_.keep[9], 0) << "Control at the click stores without keeping";
    EXPECT_EQ(stored.repaint_dots, DotBit(0) | DotBit(9));
    EXPECT_EQ(ring_.state[0], kDotFilled);
    EXPECT_EQ(ring_.state[9], kDotCurrent);
    EXPECT_EQ(ring_.last_dot, 9);

    // Any other command that records an undo state: the current dot goes back to filled.
    EXPECT_EQ(ReleaseCurrentDot(ring_), DotBit(9));
    EXPECT_EQ(ring_.state[9], kDotFilled);
    EXPECT_EQ(ReleaseCurrentDot(ring_), 0u);
}

TEST_F(DotSession, RecallIsALoadOfTheSameFileWithoutThePlainResetFirst) {
    // Dot 2 holds a file of an older version, which lacks the fields added later (spin,
    // style, light direction and the slider floats).
    RenderParams written{};
    ResetParams(written);
    written.framework_ints[4] = 61;  // horizon's old home
    written.spin = 40;
    written.glue_mode = 12;
    std::vector<uint8_t> bytes = EncodeSettings(written, nullptr, false);
    bytes.resize(288);  // a version-40 file ends after its picture block
    bytes[3] = 40;
    ASSERT_TRUE(platform::WriteFileAtomically(MemoryDotPath(2), bytes.data(), bytes.size()));

    params_.spin = 12.5f;
    params_.style = 1;
    params_.light_dir[0] = 0.25f;
    RenderParams loaded = params_;
    ASSERT_TRUE(LoadSettings(MemoryDotPath(2), loaded, nullptr));

    DotKeepFlags keep{0, 0, 1};
    OpenDotRing(ring_, keep, context_);
    const DotOutcome recalled = Act(DotInput::kLeftClick, 2);
    EXPECT_EQ(recalled.event, DotEvent::kRecalled);
    EXPECT_TRUE(recalled.file_ok);
    EXPECT_EQ(recalled.repaint_dots, DotBit(0) | DotBit(2));
    EXPECT_FALSE(recalled.repaint_well) << "the well keeps its picture";
    EXPECT_STREQ(params_.settings_name, "dot 3");
    EXPECT_EQ(ring_.state[2], kDotCurrent);
    EXPECT_EQ(params_.horizon, 61.0f);
    EXPECT_EQ(params_.glue_mode, 12);
    // Only the fields the old file lacks differ from the Load: they kept the user's values.
    EXPECT_EQ(params_.spin, 12.5f);
    EXPECT_EQ(loaded.spin, 0.0f);
    EXPECT_EQ(params_.style, 1);
    EXPECT_EQ(params_.light_dir[0], 0.25f);
    RenderParams expected = loaded;
    expected.spin = params_.spin;
    expected.style = params_.style;
    std::memcpy(expected.light_dir, params_.light_dir, sizeof expected.light_dir);
    std::memcpy(expected.settings_name, params_.settings_name, sizeof expected.settings_name);
    EXPECT_EQ(std::memcmp(&expected, &params_, sizeof expected), 0);
}

TEST_F(DotSession, RecallOfAMissingFileRenamesAndMarksCurrentButChangesNoValue) {
    DotKeepFlags keep{0, 0, 0, 0, 1};
    OpenDotRing(ring_, keep, context_);  // dot 4 is kept, but its file has gone
    params_.waviness = 12;
    const RenderParams before = params_;
    const DotOutcome recalled = Act(DotInput::kLeftClick, 4);
    EXPECT_EQ(recalled.event, DotEvent::kRecalled);
    EXPECT_FALSE(recalled.file_ok);
    EXPECT_STREQ(params_.settings_name, "dot 5");
    EXPECT_EQ(ring_.state[4], kDotCurrent);
    RenderParams renamed = before;
    SetText(renamed.settings_name, "dot 5");
    EXPECT_EQ(std::memcmp(&renamed, &params_, sizeof renamed), 0);
}

TEST_F(DotSession, RightClickClearsButLeavesTheFile) {
    OpenFromMap();
    Act(DotInput::kLeftClick, 7);
    const DotOutcome cleared = Act(DotInput::kRightClick, 7);
    EXPECT_EQ(cleared.event, DotEvent::kCleared);
    EXPECT_EQ(cleared.repaint_dots, DotBit(7));
    EXPECT_TRUE(cleared.repaint_well);
    EXPECT_EQ(ring_.state[7], kDotEmpty);
    EXPECT_EQ(ring_.keep[7], 0);
    EXPECT_TRUE(ring_.well.empty());
    EXPECT_EQ(ring_.last_dot, -1);
    EXPECT_TRUE(platform::FileExists(MemoryDotPath(7)));
    // A click on the well now refers to no dot.
    EXPECT_EQ(Act(DotInput::kWellLeftClick, -1).event, DotEvent::kNothing);
}

TEST_F(DotSession, HoverShowsFilledDotsOnceAndEmptiesTheWellOverEmptyOnes) {
    OpenFromMap();  // dot 0: the orange preview
    FakePreview blue(30, 50, 0, 20, 230);
    context_.preview = blue.view;
    Act(DotInput::kLeftClick, 3);  // dot 3: blue, now shown
    EXPECT_NEAR(ring_.well.pixel(10, 10)[2], 230, 3);

    DotOutcome hovered = Act(DotInput::kHover, 0);
    EXPECT_EQ(hovered.event, DotEvent::kNothing);
    EXPECT_TRUE(hovered.repaint_well);
    EXPECT_EQ(hovered.repaint_dots, 0u);
    EXPECT_NEAR(ring_.well.pixel(10, 10)[0], 200, 3) << "dot 0's picture from its file";
    EXPECT_EQ(ring_.shown_dot, 0);
    EXPECT_EQ(ring_.last_dot, 0);
    EXPECT_FALSE(Act(DotInput::kHover, 0).repaint_well) << "already shown";

    hovered = Act(DotInput::kHover, 12);
    EXPECT_TRUE(hovered.repaint_well);
    EXPECT_TRUE(ring_.well.empty());
    EXPECT_EQ(ring_.last_dot, -1);
    EXPECT_FALSE(Act(DotInput::kHover, 13).repaint_well) << "already empty";

    // A left click on the well recalls the dot hovered last.
    Act(DotInput::kHover, 3);
    const DotOutcome recalled = Act(DotInput::kWellLeftClick, -1);
    EXPECT_EQ(recalled.event, DotEvent::kRecalled);
    EXPECT_EQ(recalled.dot, 3);
    EXPECT_STREQ(params_.settings_name, "dot 4");
}

TEST_F(DotSession, WellCommandsAndBadIndicesChangeNothing) {
    OpenFromMap();
    const MemoryDotRing before = ring_;
    EXPECT_EQ(Act(DotInput::kWellLeftClick, -1, true).event, DotEvent::kRefreshRequested);
    EXPECT_EQ(Act(DotInput::kWellRightClick, -1).event, DotEvent::kGalleryRequested);
    EXPECT_EQ(Act(DotInput::kWellRightClick, -1, true).event, DotEvent::kGalleryRequested);
    for (int dot : {-1, 25, 1000}) {
        for (DotInput input : {DotInput::kLeftClick, DotInput::kRightClick, DotInput::kHover}) {
            const DotOutcome outcome = Act(input, dot);
            EXPECT_EQ(outcome.event, DotEvent::kNothing);
            EXPECT_EQ(outcome.repaint_dots, 0u);
            EXPECT_FALSE(outcome.repaint_well);
        }
        EXPECT_FALSE(RecallDot(ring_, dot, context_));
        EXPECT_FALSE(StoreDot(ring_, dot, context_));
        ClearDot(ring_, dot);
    }
    EXPECT_EQ(std::memcmp(before.state, ring_.state, sizeof before.state), 0);
    EXPECT_EQ(std::memcmp(before.keep, ring_.keep, sizeof before.keep), 0);
    EXPECT_EQ(before.last_dot, ring_.last_dot);
    EXPECT_FALSE(platform::FileExists(MemoryDotPath(25))) << "the scratch dot is not a user dot";
}

TEST_F(DotSession, AStoreThatCannotBeWrittenStillShowsTheDotAndTheCapture) {
    OpenFromMap();
    Act(DotInput::kLeftClick, 1);  // dot 1's file: the orange preview
    // A folder in the way of the temporary file makes the next write of dot 1 fail.
    ASSERT_TRUE(std::filesystem::create_directory(MemoryDotPath(1) + ".partial"));
    FakePreview green(20, 20, 5, 210, 5);
    context_.preview = green.view;
    EXPECT_FALSE(StoreDot(ring_, 1, context_));
    EXPECT_EQ(ring_.state[1], kDotCurrent);
    EXPECT_EQ(ring_.shown_dot, 1);
    EXPECT_NEAR(ring_.well.pixel(40, 40)[1], 210, 3) << "the capture, not the older file";

    // No preview at all (a host without one): the holder's picture is what gets stored.
    context_.preview = PlanarView{};
    ResetPictureToRamp(holder_);
    EXPECT_EQ(Act(DotInput::kLeftClick, 8).event, DotEvent::kStored);
    EXPECT_TRUE(platform::FileExists(MemoryDotPath(8)));
    EXPECT_NEAR(ring_.well.pixel(0, 0)[0], 255, 3) << "the ramp's white top row";
    EXPECT_NEAR(ring_.well.pixel(0, 87)[0], 255 - 127, 4) << "and its darkest row";
}

TEST(DotPictures, BaseByStateAndKeepFlagPlusOneUnlessPressed) {
    MemoryDotRing ring;
    const struct {
        int32_t state, keep, picture;
    } rows[] = {{kDotEmpty, 0, 341}, {kDotEmpty, 1, 341},   {kDotFilled, 0, 331},
                {kDotFilled, 1, 337}, {kDotCurrent, 0, 333}, {kDotCurrent, 7, 339}};
    for (const auto& row : rows) {
        ring.state[4] = row.state;
        ring.keep[4] = row.keep;
        EXPECT_EQ(DotPictureId(ring, 4, true), row.picture) << row.state << "/" << row.keep;
        EXPECT_EQ(DotPictureId(ring, 4, false), row.picture + 1);
    }
}

}  // namespace
}  // namespace tw
