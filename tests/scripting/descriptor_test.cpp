// The host's descriptors: the form kept in handles, the read and write procedures as a
// plug-in calls them, JSON files for --record and --replay, and --set settings.
#include "host/descriptor.h"
#include "host/descriptor_json.h"
#include "host/descriptor_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "hostapi/host_constants.h"
#include "params/render_params.h"
#include "params/script_keys.h"
#include "tests/scripting/test_handles.h"

namespace tw::host {
namespace {

using tw::testing::DisposeBlock;
using tw::testing::NewBlock;

uint32_t Code(const char* s) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

// One item of every kind, with values that catch swapped fields and lost bits.
Descriptor EveryKind() {
    Descriptor d;
    auto add = [&](const char* key, DescriptorKind kind) -> DescriptorItem& {
        DescriptorItem item;
        item.key = Code(key);
        item.kind = kind;
        d.items.push_back(item);
        return d.items.back();
    };
    add("intg", DescriptorKind::Integer).integer = -2147483647 - 1;
    add("flot", DescriptorKind::Float).number = 0.1;
    DescriptorItem& unit = add("untf", DescriptorKind::UnitFloat);
    unit.unit = unitPercent;
    unit.number = -1e-300;
    add("bool", DescriptorKind::Boolean).integer = 1;
    DescriptorItem& e = add("enum", DescriptorKind::Enumerated);
    e.type = kGlueEnumType;
    e.value = Code("GL13");
    add("text", DescriptorKind::Text).text = std::string("quote \" back \\ high \xE9 nul \0 end", 31);
    add("alis", DescriptorKind::Alias).text = "C:\\pictures\\lake.tif";
    add("clss", DescriptorKind::Class).type = Code("Lyr ");
    DescriptorItem& obj = add("objc", DescriptorKind::Object);
    obj.type = Code("Clr ");
    DescriptorItem inner;
    inner.key = Code("Rd  ");
    inner.kind = DescriptorKind::Float;
    inner.number = 255.0;
    obj.object.push_back(inner);
    add("cont", DescriptorKind::Count).integer = int32_t(0xFFFFFFFFu);
    DescriptorItem& ref = add("refr", DescriptorKind::SimpleReference);
    ref.type = Code("Lyr ");
    ref.value = Code("Idnt");
    ref.text = "Background";
    ref.integer = 3;
    ref.ref_type = Code("Ordn");
    ref.ref_value = Code("Trgt");
    add("\x01\x02\x03\x04", DescriptorKind::Integer).integer = 4;  // an unprintable key
    return d;
}

void ExpectSame(const std::vector<DescriptorItem>& a, const std::vector<DescriptorItem>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const DescriptorItem &x = a[i], &y = b[i];
        SCOPED_TRACE(FourCCText(x.key));
        EXPECT_EQ(x.key, y.key);
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.integer, y.integer);
        EXPECT_EQ(std::memcmp(&x.number, &y.number, sizeof x.number), 0);  // the same bits
        EXPECT_EQ(x.unit, y.unit);
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.value, y.value);
        EXPECT_EQ(x.text, y.text);
        EXPECT_EQ(x.ref_type, y.ref_type);
        EXPECT_EQ(x.ref_value, y.ref_value);
        ExpectSame(x.object, y.object);
    }
}

TEST(DescriptorForm, EveryKindSurvivesTheHandleForm) {
    const Descriptor d = EveryKind();
    const std::vector<uint8_t> bytes = EncodeDescriptor(d);
    Descriptor back;
    ASSERT_TRUE(DecodeDescriptor(bytes.data(), bytes.size(), back));
    ExpectSame(d.items, back.items);
}

TEST(DescriptorForm, MalformedBytesAreRefusedAndLeaveTheTargetAlone) {
    const std::vector<uint8_t> bytes = EncodeDescriptor(EveryKind());
    Descriptor target;
    target.items.resize(1);
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(DecodeDescriptor(bytes.data(), n, target)) << "cut at " << n;
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(DecodeDescriptor(longer.data(), longer.size(), target));
    std::vector<uint8_t> foreign = bytes;
    foreign[0] ^= 0xFF;
    EXPECT_FALSE(DecodeDescriptor(foreign.data(), foreign.size(), target));
    EXPECT_EQ(target.items.size(), 1u);

    // An item count far beyond the bytes must not be trusted.
    const uint8_t lying[] = {'T', 'w', 'D', 's', 0x7F, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(DecodeDescriptor(lying, sizeof lying, target));

    // Objects nested deeper than any editor writes.
    Descriptor deep;
    DescriptorItem* level = nullptr;
    for (int i = 0; i < 100; ++i) {
        DescriptorItem item;
        item.key = Code("nest");
        item.kind = DescriptorKind::Object;
        std::vector<DescriptorItem>& into = level ? level->object : deep.items;
        into.push_back(item);
        level = &into.back();
    }
    const std::vector<uint8_t> deep_bytes = EncodeDescriptor(deep);
    EXPECT_FALSE(DecodeDescriptor(deep_bytes.data(), deep_bytes.size(), target));
}

TEST(DescriptorJson, EveryKindRoundTripsBitForBit) {
    Descriptor d = EveryKind();
    d.items[1].number = double(0.1f);
    d.items[2].number = std::nan("");
    std::string error;
    Descriptor back;
    ASSERT_TRUE(DescriptorFromJson(DescriptorToJson(d), back, error)) << error;
    // NaN has many bit patterns; the file keeps only that it was one.
    EXPECT_TRUE(std::isnan(back.items[2].number));
    back.items[2].number = d.items[2].number;
    ExpectSame(d.items, back.items);
}

TEST(DescriptorJson, NamesComeFromTheTerminology) {
    Descriptor d;
    DescriptorItem item;
    item.key = Code("0019");
    item.kind = DescriptorKind::Float;
    item.number = 30;
    d.Put(item);
    item.key = kVersionKey;
    item.kind = DescriptorKind::Integer;
    item.integer = 45;
    d.Put(item);
    const std::string json = DescriptorToJson(d);
    EXPECT_NE(json.find("\"key\": \"0019\", \"name\": \"horizon float\", \"type\": \"float\", \"value\": 30"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"key\": \"Vers\", \"name\": \"settings version\", \"type\": \"integer\", \"value\": 45"),
              std::string::npos)
        << json;
}

TEST(DescriptorJson, BadFilesSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "end of file"},
        {"{\"descriptor\": [", "end of file"},
        {"[1, 2]", "\"descriptor\" list"},
        {"{\"descriptor\": [{\"key\": \"0019\", \"type\": \"float\"}]}", "unusable value"},
        {"{\"descriptor\": [{\"key\": \"001\", \"type\": \"float\", \"value\": 1}]}", "\"key\""},
        {"{\"descriptor\": [{\"key\": \"0019\", \"type\": \"flaot\", \"value\": 1}]}", "unknown \"type\""},
        {"{\"descriptor\": [{\"key\": \"0016\", \"type\": \"integer\", \"value\": 2.5}]}", "whole number"},
        {"{\"descriptor\": [{\"key\": \"0016\", \"type\": \"integer\", \"value\": 3000000000}]}", "32 bits"},
        {"{\"descriptor\": [{\"key\": \"0016\", \"type\": \"integer\", \"value\": 1},"
         " {\"key\": \"0016\", \"type\": \"integer\", \"value\": 2}]}",
         "twice"},
        {"{\"descriptor\": []} trailing", "after the JSON"},
        {"{\"descriptor\": [{\"key\": \"text\", \"type\": \"text\", \"value\": \"\\u0100\"}]}", "8-bit"},
    };
    for (const auto& [json, why] : cases) {
        Descriptor d;
        std::string error;
        EXPECT_FALSE(DescriptorFromJson(json, d, error)) << json;
        EXPECT_NE(error.find(why), std::string::npos) << json << " gave: " << error;
    }
    std::string deep = "{\"descriptor\": ";
    for (int i = 0; i < 5000; ++i) deep += "[";
    Descriptor d;
    std::string error;
    EXPECT_FALSE(DescriptorFromJson(deep, d, error));  // refused, not a stack overflow
}

TEST(ScriptSettings, LabelsBecomeTheKeysAnEditorRecords) {
    Descriptor d;
    std::string error;
    for (const char* s : {"HORIZON=30", "spin = -90", "glue=screendim", "style=simple", "color=255,0,10",
                          "Glitter=#0A0b0C", "seed=2047", "center=0.25,1", "light=0,0,2"})
        ASSERT_TRUE(AddSetting(d, s, error)) << s << ": " << error;

    EXPECT_EQ(d.Find(Code("0019"))->kind, DescriptorKind::Float);
    EXPECT_EQ(d.Find(Code("0019"))->number, 30.0);
    EXPECT_EQ(d.Find(Code("0005")), nullptr);  // sliders travel as their float key only
    EXPECT_EQ(d.Find(Code("0021"))->number, -90.0);
    EXPECT_EQ(d.Find(kGlueKey)->kind, DescriptorKind::Enumerated);
    EXPECT_EQ(FourCCText(d.Find(kGlueKey)->value), "GL62");
    EXPECT_EQ(FourCCText(d.Find(kGlueKey)->type), "GLty");
    EXPECT_EQ(d.Find(Code("0022"))->integer, kStyleSimple);
    EXPECT_EQ(d.Find(Code("0001"))->integer, 255);
    EXPECT_EQ(d.Find(Code("0002"))->integer, 0);
    EXPECT_EQ(d.Find(Code("0003"))->integer, 10);
    EXPECT_EQ(d.Find(Code("0026"))->integer, 10);
    EXPECT_EQ(d.Find(Code("0027"))->integer, 11);
    EXPECT_EQ(d.Find(Code("0028"))->integer, 12);
    EXPECT_EQ(d.Find(Code("0016"))->integer, 2047);
    EXPECT_EQ(d.Find(Code("0017"))->number, 0.25);
    EXPECT_EQ(d.Find(Code("0018"))->number, 1.0);
    EXPECT_EQ(d.Find(Code("0023"))->number, 0.0);
    EXPECT_EQ(d.Find(Code("0025"))->number, 1.0);  // made a unit vector

    // A colour also travels as its full-colour keys, so what is set wins over a replayed
    // action's 16-bit values.
    EXPECT_EQ(d.Find(Code("WtrR"))->integer, 0xFF00);
    EXPECT_EQ(d.Find(Code("GltB"))->integer, 0x0C00);

    // A later setting of the same label replaces the earlier one.
    ASSERT_TRUE(AddSetting(d, "horizon=31.5", error));
    EXPECT_EQ(d.Find(Code("0019"))->number, 31.5);
    EXPECT_EQ(d.items.size(), 22u);
}

TEST(ScriptSettings, AliasesAndSixteenBitColoursCarryTheirOwnKeys) {
    Descriptor d;
    std::string error;
    ASSERT_TRUE(AddSetting(d, "Pick Y=0.75", error)) << error;
    ASSERT_EQ(d.items.size(), 1u) << "one component, one key";
    EXPECT_EQ(d.Find(Code("0018"))->number, 0.75);

    ASSERT_TRUE(AddSetting(d, "colour=#123456789ABC", error)) << error;
    EXPECT_EQ(d.Find(Code("0001"))->integer, 0x12);
    EXPECT_EQ(d.Find(Code("0003"))->integer, 0x9A);
    EXPECT_EQ(d.Find(Code("WtrG"))->integer, 0x5678);
    EXPECT_EQ(d.Find(Code("GltR")), nullptr);

    // A replayed action's full-colour key loses to an 8-bit colour set on top of it.
    Descriptor replayed;
    AddParameters(replayed, [] {
        RenderParams p{};
        ResetParams(p);
        return p;
    }());
    ASSERT_EQ(replayed.Find(Code("WtrR"))->integer, 0x2E2E);
    ASSERT_TRUE(AddSetting(replayed, "color=46,0,0", error)) << error;
    EXPECT_EQ(replayed.Find(Code("0001"))->integer, 46);
    EXPECT_EQ(replayed.Find(Code("WtrR"))->integer, 0x2E00);
}

TEST(ScriptSettings, BadSettingsAreRefusedNamingTheRange) {
    const std::pair<const char*, const char*> cases[] = {
        {"horizon=101", "from 0 to 100"},  {"horizon=-0.5", "from 0 to 100"}, {"spin=90.5", "from -90 to 90"},
        {"waviness=abc", "from 0 to 100"}, {"waviness=", "from 0 to 100"},  {"blur=nan", "from 0 to 100"},
        {"seed=2048", "from 0 to 2047"},   {"seed=1.5", "from 0 to 2047"},  {"color=256,0,0", "from 0 to 255"},
        {"color=1,2", "r,g,b"},            {"color=#12345", "#rrggbb"},     {"glitter=#12345g", "#rrggbb"},
        {"style=3", "simple"},             {"glue=70", "1 to 69"},          {"glue=screendm", "screendim"},
        {"center=0.5,1.5", "from 0 to 1"}, {"light=0,0,0", "not all zero"}, {"ripples=3", "unknown setting"},
        {"horizon", "label=value"},
    };
    for (const auto& [setting, why] : cases) {
        Descriptor d;
        std::string error;
        EXPECT_FALSE(AddSetting(d, setting, error)) << setting;
        EXPECT_NE(error.find(why), std::string::npos) << setting << " gave: " << error;
        EXPECT_TRUE(d.items.empty()) << setting;
    }
}

// The procedures as a plug-in calls them.
class DescriptorProcsTest : public ::testing::Test {
protected:
    void SetUp() override {
        handles_ = tw::testing::TestHandleProcs();
        InitScriptingHost(host_, &handles_);
    }
    void TearDown() override {
        ReleaseScriptingHost(host_);
        EXPECT_TRUE(tw::testing::LiveBlocks().empty());
    }
    HandleProcs handles_{};
    ScriptingHost host_;
};

TEST_F(DescriptorProcsTest, ReaderHandsOutKeysZeroesThemAndReportsMissingOnes) {
    Descriptor d;
    std::string error;
    ASSERT_TRUE(AddSetting(d, "horizon=30", error));
    ASSERT_TRUE(AddSetting(d, "seed=5", error));
    ASSERT_TRUE(OfferDescriptor(host_, d, plugInDialogDisplay));
    EXPECT_EQ(host_.parameters.playInfo, plugInDialogDisplay);

    const ReadDescriptorProcs& r = *host_.parameters.readDescriptorProcs;
    EXPECT_EQ(r.numReadDescriptorProcs, 18);
    DescriptorKeyID keys[] = {Code("0016"), Code("0019"), Code("0020"), 0};
    PIReadDescriptor reader = r.openReadDescriptorProc(host_.parameters.descriptor, keys);
    ASSERT_NE(reader, nullptr);
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32_t flags = -1;
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(key, Code("0019"));
    EXPECT_EQ(type, typeFloat);
    int32_t whole = 0;
    EXPECT_EQ(r.getIntegerProc(reader, &whole), coercedParamErr);  // a float read as an integer
    EXPECT_EQ(whole, 30);
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(type, typeInteger);
    Boolean b = 0;
    EXPECT_EQ(r.getBooleanProc(reader, &b), paramErr);  // no coercion from an integer
    EXPECT_FALSE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(keys[0], 0u);
    EXPECT_EQ(keys[1], 0u);
    EXPECT_EQ(keys[2], Code("0020"));
    EXPECT_EQ(r.closeReadDescriptorProc(reader), paramErr);  // the worst error seen

    // No descriptor: no reader.
    ReleaseScriptingHost(host_);
    InitScriptingHost(host_, &handles_);
    EXPECT_EQ(r.openReadDescriptorProc(nullptr, keys), nullptr);
}

TEST_F(DescriptorProcsTest, WriterKeepsEveryKindAndNestedObjects) {
    const WriteDescriptorProcs& w = *host_.parameters.writeDescriptorProcs;
    EXPECT_EQ(w.numWriteDescriptorProcs, 16);

    // A nested object is written with its own writer first, as plug-ins do.
    PIWriteDescriptor inner = w.openWriteDescriptorProc();
    const real64 red = 200;
    w.putFloatProc(inner, Code("Rd  "), &red);
    PIDescriptorHandle inner_handle = nullptr;
    ASSERT_EQ(w.closeWriteDescriptorProc(inner, &inner_handle), noErr);

    PIWriteDescriptor writer = w.openWriteDescriptorProc();
    Handle text = NewBlock(3);
    std::memcpy(*text, "abc", 3);
    unsigned char pascal[] = {2, 'h', 'i'};
    EXPECT_EQ(w.putTextProc(writer, Code("text"), text), noErr);
    EXPECT_EQ(w.putStringProc(writer, Code("strn"), pascal), noErr);
    EXPECT_EQ(w.putObjectProc(writer, Code("objc"), Code("Clr "), inner_handle), noErr);
    EXPECT_EQ(w.putBooleanProc(writer, Code("bool"), kTrue), noErr);
    EXPECT_EQ(w.putIntegerProc(writer, Code("intg"), 1), noErr);
    EXPECT_EQ(w.putIntegerProc(writer, Code("intg"), 2), noErr);  // the later put wins
    PIDescriptorHandle result = nullptr;
    ASSERT_EQ(w.closeWriteDescriptorProc(writer, &result), noErr);
    DisposeBlock(text);
    DisposeBlock(inner_handle);
    host_.parameters.descriptor = result;

    Descriptor d;
    ASSERT_TRUE(HeldDescriptor(host_, d));
    ASSERT_EQ(d.items.size(), 5u);
    EXPECT_EQ(d.Find(Code("text"))->text, "abc");
    EXPECT_EQ(d.Find(Code("strn"))->text, "hi");
    EXPECT_EQ(d.Find(Code("objc"))->object.at(0).number, 200.0);
    EXPECT_EQ(d.Find(Code("bool"))->integer, 1);
    EXPECT_EQ(d.Find(Code("intg"))->integer, 2);

    // And read back through the reader: text arrives in a new handle the plug-in owns.
    DescriptorKeyID keys[] = {0};
    const ReadDescriptorProcs& r = *host_.parameters.readDescriptorProcs;
    PIReadDescriptor reader = r.openReadDescriptorProc(result, keys);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags;
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    Handle got = nullptr;
    ASSERT_EQ(r.getTextProc(reader, &got), noErr);
    EXPECT_EQ(std::string(*got, 3), "abc");
    DisposeBlock(got);
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    Str255 s;
    ASSERT_EQ(r.getStringProc(reader, &s), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s + 1), s[0]), "hi");
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(type, typeObject);
    PIDescriptorHandle nested = nullptr;
    DescriptorTypeID cls = 0;
    ASSERT_EQ(r.getObjectProc(reader, &cls, &nested), noErr);
    EXPECT_EQ(cls, Code("Clr "));
    DisposeBlock(nested);
    EXPECT_EQ(r.closeReadDescriptorProc(reader), noErr);
}

}  // namespace
}  // namespace tw::host
