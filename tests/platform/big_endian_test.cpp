// Big-endian words: byte order, back-patched lengths, streaming to a file, and reads that
// stop at the end of their data.
#include "platform/big_endian.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(BigEndian, WritesMostSignificantByteFirst) {
    std::vector<uint8_t> out = {0xEE};  // a writer appends after what is there
    BigEndianWriter w(out);
    w.put16(0x0102);
    w.put32(0x03040506);
    w.putF32(50.0f);
    w.putI32(-40);
    EXPECT_EQ(w.position(), 14u);
    const std::vector<uint8_t> want = {0xEE, 1, 2, 3, 4, 5, 6, 0x42, 0x48, 0, 0, 0xFF, 0xFF, 0xFF, 0xD8};
    EXPECT_EQ(out, want);
}

TEST(BigEndian, LengthIsPatchedWithBytesWrittenAfterIt) {
    std::vector<uint8_t> out;
    BigEndianWriter w(out);
    uint64_t at = w.beginLength32();
    w.putZeros(10);
    w.finishLength32(at);
    ASSERT_EQ(out.size(), 14u);
    EXPECT_EQ(out[3], 10);
}

TEST(BigEndian, StreamsToFileAndPatchesFlushedWords) {
    std::string path = std::string(::testing::TempDir()) + "tarnwell_be_stream.bin";
    platform::File f;
    ASSERT_TRUE(platform::OpenFile(f, path, platform::OpenMode::Write));
    {
        BigEndianWriter w(f);
        uint64_t at = w.beginLength32();
        w.putZeros(3 << 20);  // forces several flushes before the patch
        w.finishLength32(at);
        w.put8(0x7F);
        EXPECT_TRUE(w.flush());
    }
    platform::CloseFile(f);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 4u + (3u << 20) + 1u);
    BigEndianReader r(bytes);
    uint32_t length = 0;
    ASSERT_TRUE(r.get32(length));
    EXPECT_EQ(length, 3u << 20);
    EXPECT_EQ(bytes.back(), 0x7F);
}

TEST(BigEndian, ShortReadsFailAndKeepTheTarget) {
    const uint8_t data[] = {0, 0, 0, 45, 0x42, 0x48, 0};
    BigEndianReader r(data, sizeof data);
    int32_t v = 0;
    ASSERT_TRUE(r.getI32(v));
    EXPECT_EQ(v, 45);
    float f = 1.5f;
    EXPECT_FALSE(r.getF32(f));
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(r.remaining(), 3u);
    EXPECT_FALSE(r.skip(4));
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(BigEndian, EmptyFieldsReadIntoEmptyTargets) {
    // A zero-length field read into an empty vector (whose data() is null), from a reader
    // over nothing at all: both succeed and move nothing. Found by the sanitizers.
    std::vector<uint8_t> empty;
    BigEndianReader nothing(empty);
    EXPECT_TRUE(nothing.getBytes(empty.data(), 0));
    EXPECT_FALSE(nothing.getBytes(empty.data(), 1));
    EXPECT_EQ(nothing.position(), 0u);

    const uint8_t data[] = {7, 8};
    BigEndianReader r(data, sizeof data);
    EXPECT_TRUE(r.getBytes(nullptr, 0));
    EXPECT_EQ(r.position(), 0u);
    uint8_t both[2] = {};
    EXPECT_TRUE(r.getBytes(both, 2));
    EXPECT_TRUE(r.getBytes(nullptr, 0));  // at the very end, too
    EXPECT_EQ(both[1], 8);
}

}  // namespace
}  // namespace tw
