// The host reads our records byte for byte, so check field placement through raw bytes
// and the codes against the published numbers, not against our own expressions.
#include <gtest/gtest.h>

#include <cstring>

#include "hostapi/filter_record.h"
#include "hostapi/host_constants.h"
#include "hostapi/plugin_entry.h"

namespace tw {
namespace {

template <typename T>
T ReadAt(const uint8_t* bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

TEST(HostLayout, FilterRecordFieldsLandOnPublishedBytes) {
    alignas(8) uint8_t bytes[sizeof(FilterRecord)] = {};
    auto* record = reinterpret_cast<FilterRecord*>(bytes);
    record->planes = 3;
    record->filterRect = {10, 20, 30, 40};
    record->maxSpace = 123456;
    record->inRowBytes = 777;
    record->haveMask = 1;
    record->imageMode = plugInModeRGB48;
    record->filterCase = filterCaseEditableTransparencyWithSelection;
    record->inputRate = 0x20000;
    record->depth = 16;
    record->maxSpace64 = int64_t(1) << 40;

    EXPECT_EQ(ReadAt<int16_t>(bytes, 32), 3);
    EXPECT_EQ(ReadAt<int16_t>(bytes, 34), 10);
    EXPECT_EQ(ReadAt<int16_t>(bytes, 40), 40);
    EXPECT_EQ(ReadAt<int32_t>(bytes, 56), 123456);
    EXPECT_EQ(ReadAt<int32_t>(bytes, 96), 777);
    EXPECT_EQ(bytes[113], 1);
    EXPECT_EQ(ReadAt<int16_t>(bytes, 156), 11);
    EXPECT_EQ(ReadAt<int16_t>(bytes, 268), 5);
    EXPECT_EQ(ReadAt<int32_t>(bytes, 312), 0x20000);
    EXPECT_EQ(ReadAt<int32_t>(bytes, 480), 16);
    EXPECT_EQ(ReadAt<int64_t>(bytes, 552), int64_t(1) << 40);
}

TEST(HostLayout, PointersOnFourByteBoundariesRoundTrip) {
    // Under 4-byte packing the abort procedure sits at +4; it must still read back whole.
    alignas(8) uint8_t bytes[sizeof(FilterRecord)] = {};
    auto* record = reinterpret_cast<FilterRecord*>(bytes);
    TestAbortProc abort = +[]() -> Boolean { return 1; };
    record->abortProc = abort;
    TestAbortProc stored = ReadAt<TestAbortProc>(bytes, 4);
    EXPECT_EQ(stored, abort);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 0), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(bytes, 12), 0u);
}

TEST(HostLayout, CodesMatchPublishedValues) {
    EXPECT_EQ(typeInteger, 0x6C6F6E67u);
    EXPECT_EQ(typeFloat, 0x646F7562u);
    EXPECT_EQ(typeEnumerated, 0x656E756Du);
    EXPECT_EQ(typeBoolean, 0x626F6F6Cu);
    EXPECT_EQ(typeText, 0x54455854u);
    EXPECT_EQ(typeUnitFloat, 0x556E7446u);
    EXPECT_EQ(typeImageReference, 0x23496D52u);
    EXPECT_EQ(typeNull, 0x6E756C6Cu);
    EXPECT_EQ(uint32_t(kSPSuiteNotFoundError), 0x53214664u);
    EXPECT_EQ(uint32_t(kSPBadParameterError), 0x5061726Du);
    EXPECT_EQ(PIFilterKind, 0x3842464Du);
    EXPECT_EQ(PIWin64X86CodeProperty, 0x38363634u);
    EXPECT_EQ(kPhotoshopSignature, 0x3842494Du);
    EXPECT_STREQ(kPluginEntryName, "PluginMain");
}

}  // namespace
}  // namespace tw
