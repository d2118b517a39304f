// Reading and writing the filter's parameters through an editor's descriptor procedures:
// the plug-in's side (ReadScriptParams, WriteScriptParams) against the substitute host's
// descriptors, as a recorded action is replayed and recorded.
#include "shell/script_params.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/descriptor.h"
#include "hostapi/host_constants.h"
#include "params/script_keys.h"
#include "params/settings_precision.h"
#include "tests/scripting/test_handles.h"

namespace tw {
namespace {

using host::Descriptor;
using host::DescriptorItem;
using host::DescriptorKind;

uint32_t Code(const char* s) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

DescriptorItem Float(const char* key, double v) {
    DescriptorItem item;
    item.key = Code(key);
    item.kind = DescriptorKind::Float;
    item.number = v;
    return item;
}

DescriptorItem Integer(const char* key, int32_t v) {
    DescriptorItem item;
    item.key = Code(key);
    item.kind = DescriptorKind::Integer;
    item.integer = v;
    return item;
}

DescriptorItem Glue(const char* code) {
    DescriptorItem item;
    item.key = kGlueKey;
    item.kind = DescriptorKind::Enumerated;
    item.type = kGlueEnumType;
    item.value = Code(code);
    return item;
}

// An editor with descriptor support: a filter record, its scripting records and handles.
class ScriptingTest : public ::testing::Test {
protected:
    void SetUp() override {
        handles_ = testing::TestHandleProcs();
        host::InitScriptingHost(scripting_, &handles_);
        record_.hostSig = kPhotoshopSignature;
        record_.handleProcs = &handles_;
        record_.descriptorParameters = &scripting_.parameters;
        std::memset(&params_, 0x5C, sizeof params_);  // nothing below may rely on a clean record
        params_.version = kResetVersion;
    }
    void TearDown() override {
        host::ReleaseScriptingHost(scripting_);
        EXPECT_TRUE(testing::LiveBlocks().empty()) << "a descriptor handle leaked";
    }

    void Offer(std::initializer_list<DescriptorItem> items, int16_t play_info = plugInDialogDontDisplay) {
        Descriptor d;
        for (const DescriptorItem& i : items) d.Put(i);
        ASSERT_TRUE(host::OfferDescriptor(scripting_, d, play_info));
    }

    Descriptor Recorded() {
        Descriptor d;
        EXPECT_TRUE(host::HeldDescriptor(scripting_, d));
        return d;
    }

    HandleProcs handles_{};
    host::ScriptingHost scripting_;
    FilterRecord record_{};
    RenderParams params_;
    uint8_t show_dialog_ = 7;
};

TEST_F(ScriptingTest, OnlyHorizonFloatGivesPlainDefaultsWithThatHorizon) {
    Offer({Float("0019", 30.0)});
    RenderParams expected = params_;
    SetPlainSettings(expected);
    expected.horizon = 30.0f;

    ASSERT_TRUE(WillReadScriptParams(record_));
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(std::memcmp(&params_, &expected, sizeof params_), 0);
    // The plug-in disposed of the descriptor it read and cleared the field.
    EXPECT_EQ(scripting_.parameters.descriptor, nullptr);
}

TEST_F(ScriptingTest, GlueCodesBecomeModesAndUnknownCodesBecomeZero) {
    const std::pair<const char*, int32_t> cases[] = {{"GL62", 62}, {"GL60", 60}, {"GL01", 1}, {"GL69", 69},
                                                     {"GL70", 0},  {"GL00", 0},  {"XXXX", 0}};
    for (const auto& [code, mode] : cases) {
        Offer({Glue(code)});
        ReadScriptParams(record_, params_, show_dialog_);
        EXPECT_EQ(params_.glue_mode, mode) << code;
    }
}

TEST_F(ScriptingTest, PlayInfoDecidesTheDialog) {
    const std::pair<int16_t, uint8_t> cases[] = {{plugInDialogDontDisplay, 0}, {plugInDialogDisplay, 1},
                                                 {plugInDialogSilent, 0}};
    for (const auto& [play, shown] : cases) {
        show_dialog_ = 1 - shown;
        Offer({Float("0021", -45.0)}, play);
        ReadScriptParams(record_, params_, show_dialog_);
        EXPECT_EQ(show_dialog_, shown) << "playInfo " << play;
        EXPECT_EQ(params_.spin, -45.0f);  // the values are read whatever the dialog does
    }
}

TEST_F(ScriptingTest, EightBitColoursAreStoredInTheHighByteAndWrittenBack) {
    Offer({Integer("0001", 255), Integer("0002", 0), Integer("0003", 128), Integer("0026", 1),
           Integer("0027", 254), Integer("0028", 17)});
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(params_.color.r, 0xFF00);  // not 0xFFFF
    EXPECT_EQ(params_.color.g, 0x0000);
    EXPECT_EQ(params_.color.b, 0x8000);
    EXPECT_EQ(params_.glitter_color.r, 0x0100);
    EXPECT_EQ(params_.glitter_color.g, 0xFE00);
    EXPECT_EQ(params_.glitter_color.b, 0x1100);

    params_.color.g = 0x12FF;  // a 16-bit colour from the dialog writes its high byte
    WriteScriptParams(record_, params_);
    const Descriptor d = Recorded();
    EXPECT_EQ(d.Find(Code("0001"))->integer, 255);
    EXPECT_EQ(d.Find(Code("0002"))->integer, 0x12);
    EXPECT_EQ(d.Find(Code("0003"))->integer, 128);
    EXPECT_EQ(d.Find(Code("0027"))->integer, 254);
}

TEST_F(ScriptingTest, WrongTypesAndUnknownKeysLeaveThePlainDefaults) {
    DescriptorItem text;
    text.key = Code("0019");
    text.kind = DescriptorKind::Text;
    text.text = "thirty";
    Offer({text, Integer("ZZZZ", 5), Float("0030", 12.5), Float("GLUE", 3.0)});
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(params_.horizon, 50.0f);
    EXPECT_EQ(params_.glue_mode, 1);
    EXPECT_EQ(params_.altitude, 12.5f);
}

TEST_F(ScriptingTest, WriteRecordsVersionThenEveryKeyInOrder) {
    SetPlainSettings(params_);
    params_.perspective = 48.9f;
    params_.blur = -3.7f;          // truncation toward zero, not floor
    params_.horizon = 30.0f;
    params_.framework_ints[4] = 7;  // the legacy horizon is never refreshed
    params_.glue_mode = 0;
    params_.seed = 99;
    params_.pick_x = 0.25f;
    scripting_.parameters.recordInfo = plugInDialogNone;

    WriteScriptParams(record_, params_);
    EXPECT_EQ(params_.version, 45);
    EXPECT_EQ(scripting_.parameters.recordInfo, plugInDialogOptional);

    const Descriptor d = Recorded();
    ASSERT_EQ(d.items.size(), size_t(kScriptKeyCount + 7));
    EXPECT_EQ(d.items[0].key, kVersionKey);
    EXPECT_EQ(d.items[0].integer, 45);
    for (int i = 0; i < kScriptKeyCount; ++i) {
        const DescriptorItem& item = d.items[size_t(i) + 1];
        EXPECT_EQ(item.key, ScriptKeyCode(kScriptKeys[i])) << i;
        const uint32_t type = ScriptKeyType(kScriptKeys[i]);
        const DescriptorKind kind = type == typeFloat     ? DescriptorKind::Float
                                    : type == typeInteger ? DescriptorKind::Integer
                                                          : DescriptorKind::Enumerated;
        EXPECT_EQ(item.kind, kind) << kScriptKeys[i].name;
    }
    EXPECT_EQ(d.Find(Code("0006"))->integer, 48);
    EXPECT_EQ(d.Find(Code("0011"))->integer, -3);
    EXPECT_EQ(d.Find(Code("0005"))->integer, 7);
    EXPECT_EQ(d.Find(Code("0029"))->number, double(48.9f));
    EXPECT_EQ(d.Find(Code("0016"))->integer, 99);
    EXPECT_EQ(d.Find(Code("0017"))->number, 0.25);
    EXPECT_EQ(FourCCText(d.Find(kGlueKey)->value), "<NO>");
    EXPECT_EQ(FourCCText(d.Find(kGlueKey)->type), "GLty");
    // The colours' full precision follows the published keys.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(d.items[size_t(kScriptKeyCount + 1 + i)].key, kFullColourKeys[i]);
    EXPECT_EQ(d.Find(kFullColourKeys[0])->integer, 0x2E2E);
    EXPECT_EQ(d.Find(kFullColourKeys[5])->integer, 0xB4B4);
}

TEST_F(ScriptingTest, FullColourKeysRefineOnlyTheMatchingEightBitValue) {
    Offer({Integer("0001", 0x2E), Integer("WtrR", 0x2E2E),   // refines
           Integer("WtrG", 0x9999), Integer("0002", 0x10),   // disagrees: the 8-bit key was edited
           Integer("0026", 255),                              // no refinement: stays 0xFF00
           Integer("GltG", 0x70000)});                        // out of range: ignored
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(params_.color.r, 0x2E2E);
    EXPECT_EQ(params_.color.g, 0x1000);
    EXPECT_EQ(params_.glitter_color.r, 0xFF00);
    EXPECT_EQ(params_.glitter_color.g, kPlainGlitterColor.g);
}

TEST_F(ScriptingTest, WritingReplacesAndDisposesThePreviousDescriptor) {
    Offer({Float("0019", 10.0)});
    SetPlainSettings(params_);
    WriteScriptParams(record_, params_);
    WriteScriptParams(record_, params_);
    EXPECT_EQ(testing::LiveBlocks().size(), 1u);  // only the newest one is held
    EXPECT_EQ(Recorded().Find(Code("0019"))->number, 50.0);
}

TEST_F(ScriptingTest, RecordThenReplayRoundTripsEveryKey) {
    SetPlainSettings(params_);
    params_.color = Rgb16{0x0100, 0x7F00, 0xFEFE};  // a low byte the 8-bit keys cannot hold
    params_.glitter_color = Rgb16{0x0A00, 0x0B00, 0x0C00};
    for (int i = 0; i < kSliderCount; ++i) params_.*kSliders[i].field = 3.25f + float(i) * 6.5f;
    params_.spin = -61.5f;
    params_.glue_mode = 62;
    params_.seed = 2047;
    params_.pick_x = 0.125f;
    params_.pick_y = 0.875f;
    params_.style = kStyleSimple;
    params_.light_dir[0] = 0.6f;
    params_.light_dir[1] = 0.0f;
    params_.light_dir[2] = 0.8f;
    const RenderParams original = params_;
    WriteScriptParams(record_, params_);

    // Replay into a record in another state, as the next run of an action would.
    Descriptor recorded = Recorded();
    ASSERT_TRUE(host::OfferDescriptor(scripting_, recorded, plugInDialogDontDisplay));
    RenderParams replayed;
    std::memset(&replayed, 0x33, sizeof replayed);
    replayed.version = kResetVersion;
    ReadScriptParams(record_, replayed, show_dialog_);

    EXPECT_EQ(std::memcmp(&replayed.color, &original.color, sizeof original.color), 0);
    EXPECT_EQ(std::memcmp(&replayed.glitter_color, &original.glitter_color, sizeof original.glitter_color), 0);
    for (const SliderInfo& s : kSliders) EXPECT_EQ(replayed.*s.field, original.*s.field) << s.label;
    for (const SliderInfo& s : kSliders) {
        if (s.mirror_slot < 0) continue;
        EXPECT_EQ(replayed.framework_ints[s.mirror_slot], params_.framework_ints[s.mirror_slot]) << s.label;
    }
    EXPECT_EQ(replayed.glue_mode, 62);
    EXPECT_EQ(replayed.seed, 2047);
    EXPECT_EQ(replayed.pick_x, 0.125f);
    EXPECT_EQ(replayed.pick_y, 0.875f);
    EXPECT_EQ(replayed.style, kStyleSimple);
    EXPECT_EQ(std::memcmp(replayed.light_dir, original.light_dir, sizeof original.light_dir), 0);
}

// An action can carry any double (an editor's scripting, an edited file). The run renders
// what its cached settings will keep: the light in hundredths, the centre in 1/65536.
TEST_F(ScriptingTest, ValuesBetweenTheFilesStepsAreRoundedAsTheyArrive) {
    Offer({Float("0023", 0.4123), Float("0024", -0.5699), Float("0025", 0.71), Float("0017", 0.3),
           Float("0018", 0.61234), Float("0031", 12.345)});
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(params_.light_dir[0], float(0.41));
    EXPECT_EQ(params_.light_dir[1], float(-0.56));
    EXPECT_EQ(params_.light_dir[2], float(0.71));  // a hundredth already, just short of it as a float
    EXPECT_EQ(params_.pick_x, float(19660 / 65536.0));
    EXPECT_EQ(params_.pick_y, float(40130 / 65536.0));
    EXPECT_EQ(params_.waviness, 12.345f) << "sliders are kept as floats";
    RenderParams kept = params_;
    RoundToSettingsPrecision(kept);
    EXPECT_EQ(std::memcmp(&kept, &params_, sizeof kept), 0);
}

TEST_F(ScriptingTest, PaintShopProReadsNothingButStillRecords) {
    for (OSType sig : {kPaintShopPro8Signature, kPaintShopPro9Signature}) {
        record_.hostSig = sig;
        Offer({Float("0019", 30.0)}, plugInDialogDisplay);
        const RenderParams before = params_;
        show_dialog_ = 0;
        EXPECT_FALSE(WillReadScriptParams(record_));
        ReadScriptParams(record_, params_, show_dialog_);
        EXPECT_EQ(std::memcmp(&params_, &before, sizeof params_), 0);
        EXPECT_EQ(show_dialog_, 0);
        EXPECT_NE(scripting_.parameters.descriptor, nullptr);  // left with the host

        SetPlainSettings(params_);
        WriteScriptParams(record_, params_);
        EXPECT_EQ(Recorded().items.size(), size_t(kScriptKeyCount + 7));
    }
}

TEST_F(ScriptingTest, NoDescriptorStillDecidesTheDialogAndKeepsTheParameters) {
    // An editor running the filter from its menu offers the procedures but no descriptor.
    scripting_.parameters.playInfo = plugInDialogDisplay;
    SetPlainSettings(params_);
    params_.horizon = 12.0f;
    show_dialog_ = 0;
    EXPECT_FALSE(WillReadScriptParams(record_));
    ReadScriptParams(record_, params_, show_dialog_);
    EXPECT_EQ(params_.horizon, 12.0f);
    EXPECT_EQ(show_dialog_, 1);
}

// Procedures that only count calls: any call at all is a fault when the host is incomplete.
int gCalls = 0;
PIReadDescriptor TrapOpenRead(PIDescriptorHandle, DescriptorKeyIDArray) {
    ++gCalls;
    return nullptr;
}
OSErr TrapCloseRead(PIReadDescriptor) { return ++gCalls, 0; }
Boolean TrapGetKey(PIReadDescriptor, DescriptorKeyID*, DescriptorTypeID*, int32_t*) { return ++gCalls, 0; }
PIWriteDescriptor TrapOpenWrite() {
    ++gCalls;
    return nullptr;
}
OSErr TrapCloseWrite(PIWriteDescriptor, PIDescriptorHandle*) { return ++gCalls, 0; }

TEST(ScriptingAvailability, IncompleteHostsNeverSeeAScriptingCall) {
    struct Case {
        const char* what;
        void (*spoil)(PIDescriptorParameters&, ReadDescriptorProcs&, WriteDescriptorProcs&, FilterRecord&);
    };
    const Case cases[] = {
        {"no descriptor parameters", [](auto&, auto&, auto&, FilterRecord& f) { f.descriptorParameters = nullptr; }},
        {"parameters version 1", [](PIDescriptorParameters& p, auto&, auto&, auto&) { p.descriptorParametersVersion = 1; }},
        {"no read procedures", [](PIDescriptorParameters& p, auto&, auto&, auto&) { p.readDescriptorProcs = nullptr; }},
        {"no write procedures", [](PIDescriptorParameters& p, auto&, auto&, auto&) { p.writeDescriptorProcs = nullptr; }},
        {"17 read procedures", [](auto&, ReadDescriptorProcs& r, auto&, auto&) { r.numReadDescriptorProcs = 17; }},
        {"read version 1", [](auto&, ReadDescriptorProcs& r, auto&, auto&) { r.readDescriptorProcsVersion = 1; }},
        {"15 write procedures", [](auto&, auto&, WriteDescriptorProcs& w, auto&) { w.numWriteDescriptorProcs = 15; }},
        {"write version 1", [](auto&, auto&, WriteDescriptorProcs& w, auto&) { w.writeDescriptorProcsVersion = 1; }},
        {"empty open slot", [](auto&, ReadDescriptorProcs& r, auto&, auto&) { r.openReadDescriptorProc = nullptr; }},
    };
    for (const Case& c : cases) {
        ReadDescriptorProcs read{};
        read.numReadDescriptorProcs = 18;
        read.openReadDescriptorProc = TrapOpenRead;
        read.closeReadDescriptorProc = TrapCloseRead;
        read.getKeyProc = TrapGetKey;
        WriteDescriptorProcs write{};
        write.numWriteDescriptorProcs = 16;
        write.openWriteDescriptorProc = TrapOpenWrite;
        write.closeWriteDescriptorProc = TrapCloseWrite;
        PIDescriptorParameters parameters{};
        parameters.playInfo = plugInDialogDisplay;
        parameters.readDescriptorProcs = &read;
        parameters.writeDescriptorProcs = &write;
        FilterRecord record{};
        record.descriptorParameters = &parameters;

        // The complete set is used: the traps see calls.
        gCalls = 0;
        RenderParams params{};
        uint8_t show = 0;
        ReadScriptParams(record, params, show);
        WriteScriptParams(record, params);
        EXPECT_GT(gCalls, 0) << "the complete host should have been called";

        c.spoil(parameters, read, write, record);
        gCalls = 0;
        show = 0;
        params.version = 1;
        const RenderParams before = params;
        EXPECT_FALSE(ScriptingAvailable(record)) << c.what;
        EXPECT_FALSE(WillReadScriptParams(record)) << c.what;
        ReadScriptParams(record, params, show);
        WriteScriptParams(record, params);
        EXPECT_EQ(gCalls, 0) << c.what;
        EXPECT_EQ(show, 0) << c.what;
        EXPECT_EQ(std::memcmp(&params, &before, sizeof params), 0) << c.what;
    }
}

}  // namespace
}  // namespace tw
