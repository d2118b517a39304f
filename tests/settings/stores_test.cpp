// The temporary-folder stores: memory-dot map, undo slots and cached settings.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/big_endian.h"
#include "platform/platform.h"
#include "scratch_folder.h"
#include "settings/cached_settings.h"
#include "settings/dot_map.h"
#include "settings/settings_file.h"
#include "settings/undo_store.h"

namespace tw {
namespace {

using DotMap = testing::ScratchFolderTest;

TEST_F(DotMap, WrittenMapIs104BytesAndReadsBack) {
    DotKeepFlags keep{};
    for (int i = 0; i < kMemoryDotCount; ++i) keep[i] = (i % 3 == 0) ? 1 : 0;
    keep[24] = -7;
    ASSERT_TRUE(SaveDotMap(keep));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path("Tarnwell memdot map 2"), bytes));
    ASSERT_EQ(bytes.size(), 104u);
    const std::vector<uint8_t> head = {0, 0, 0, 45, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12), head);

    DotKeepFlags read{};
    ASSERT_TRUE(LoadDotMap(read));
    EXPECT_EQ(std::memcmp(read, keep, sizeof keep), 0);
}

TEST_F(DotMap, MissingOrShortMapLeavesTheOtherFlags) {
    DotKeepFlags keep;
    for (int32_t& k : keep) k = 9;
    EXPECT_FALSE(LoadDotMap(keep));
    for (int32_t k : keep) EXPECT_EQ(k, 9);

    // A map cut after the first two flags: those are read, the rest kept.
    std::vector<uint8_t> bytes;
    BigEndianWriter w(bytes);
    w.putI32(45);
    w.putI32(0);
    w.putI32(1);
    w.put16(0xFFFF);
    ASSERT_TRUE(platform::WriteFileAtomically(DotMapPath(), bytes.data(), bytes.size()));
    EXPECT_TRUE(LoadDotMap(keep));
    EXPECT_EQ(keep[0], 0);
    EXPECT_EQ(keep[1], 1);
    EXPECT_EQ(keep[2], 9);
}

TEST_F(DotMap, DotFilesAreNamedByIndex) {
    EXPECT_EQ(MemoryDotPath(0), Path("Tarnwell A memory dot 0.q8r"));
    EXPECT_EQ(MemoryDotPath(24), Path("Tarnwell A memory dot 24.q8r"));
}

// ---- Undo ---------------------------------------------------------------------------------------

class UndoTest : public testing::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        ResetParams(params);
        // The dialog opens by taking one snapshot with a file.
        TakeSnapshot(store, params, true);
    }
    // A control changes a value, then the dialog takes its snapshot.
    void Change(float waviness, const char* name) {
        params.waviness = waviness;
        SetText(params.settings_name, name);
        TakeSnapshot(store, params, false);
    }

    RenderParams params{};
    UndoStore store;
};

TEST_F(UndoTest, UndoBeforeAnyChangeDoesNothing) {
    RenderParams before;
    std::memcpy(&before, &params, sizeof params);
    EXPECT_FALSE(Undo(store, params));
    EXPECT_EQ(std::memcmp(&before, &params, sizeof params), 0);
    EXPECT_TRUE(platform::FileExists(Path("Tarnwell undo 1")));
}

TEST_F(UndoTest, UndoSwapsBetweenTheLastTwoStates) {
    Change(11, "after A");
    params.zoom = 4;
    Change(22, "after B");
    params.zoom = 8;
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 11);
    EXPECT_STREQ(params.settings_name, "after A");
    EXPECT_EQ(params.zoom, 8) << "working fields are not part of a snapshot";
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 22);
    EXPECT_STREQ(params.settings_name, "after B");

    // A change after an Undo replaces the undone state.
    ASSERT_TRUE(Undo(store, params));
    Change(33, "after C");
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 11);
}

TEST_F(UndoTest, SnapshotWithFileIsReadBackAndSurvivesItsDeletion) {
    // A Load takes a snapshot with a file; the file, not only the copy, is read on Undo.
    params.waviness = 44;
    TakeSnapshot(store, params, true);
    Change(55, "changed");
    const std::string file = UndoFilePath(0);
    ASSERT_TRUE(platform::FileExists(file));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(file, bytes));
    ASSERT_EQ(bytes.size(), 364u);
    RenderParams other{};
    ResetParams(other);
    other.waviness = 66;
    ASSERT_TRUE(WriteSettings(file, other, nullptr, false));
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 66) << "the slot's file wins over its in-memory copy";

    // With both files deleted the in-memory snapshots still apply.
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 55);
    platform::RemoveFile(UndoFilePath(0));
    platform::RemoveFile(UndoFilePath(1));
    ASSERT_TRUE(Undo(store, params));
    EXPECT_EQ(params.waviness, 44);
}

// ---- Cached settings ----------------------------------------------------------------------------

using CachedSettings = testing::ScratchFolderTest;

TEST_F(CachedSettings, FirstStartKeepsTheDefaultsAndASavedRunIsTheNextStart) {
    RenderParams params{};
    ResetParams(params);
    const RenderParams defaults = params;
    EXPECT_FALSE(LoadCachedSettings(params));
    EXPECT_EQ(std::memcmp(&defaults, &params, sizeof params), 0);

    params.waviness = 12.5f;
    params.seed = 99;
    ASSERT_TRUE(SaveCachedSettings(params));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path("Tarnwell cached settings D"), bytes));
    EXPECT_EQ(bytes.size(), 364u) << "no picture in the cached file";

    RenderParams next = defaults;
    ASSERT_TRUE(LoadCachedSettings(next));
    EXPECT_EQ(next.waviness, 12.5f);
    EXPECT_EQ(next.seed, 99);
    EXPECT_EQ(next.version, 45);
}

}  // namespace
}  // namespace tw
