// The host's services as a plug-in sees them through the FilterRecord: advanceState with
// padding, subsampling, plane ranges, output return and selection, 32-bit rectangles, and
// the handle and buffer procedures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_session.h"

namespace tw::host {
namespace {

// 5 wide, 4 high, RGB 8-bit; sample (x, y, plane) = 100 + 20y + 4x + plane, all distinct.
Document SmallRgb() {
    Document doc;
    doc.width = 5;
    doc.height = 4;
    doc.colour_planes = 3;
    doc.depth = 8;
    doc.pixels.resize(doc.RowBytes() * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            for (int p = 0; p < 3; ++p) doc.pixels[size_t((y * 5 + x) * 3 + p)] = uint8_t(100 + 20 * y + 4 * x + p);
    return doc;
}

uint8_t Expected(int x, int y, int p) { return uint8_t(100 + 20 * y + 4 * x + p); }

uint8_t InSample(const FilterRecord& r, int row, int column, int plane, int stride) {
    return static_cast<const uint8_t*>(r.inData)[row * r.inRowBytes + column * stride + plane];
}

class AdvanceState : public ::testing::Test {
protected:
    void SetUp() override {
        doc = SmallRgb();
        session.BeginRun(doc, {});
    }
    void Request(Rect in, int lo = 0, int hi = 2) {
        FilterRecord& r = session.record();
        r.inRect = in;
        r.inLoPlane = int16_t(lo);
        r.inHiPlane = int16_t(hi);
    }
    Document doc;
    HostSession session;
};

TEST_F(AdvanceState, ReplicatesEdgePixelsAroundThePicture) {
    FilterRecord& r = session.record();
    Request({-2, -3, 6, 7});
    r.inputPadding = plugInWantsEdgeReplication;
    ASSERT_EQ(session.AdvanceState(), noErr);
    ASSERT_TRUE(r.inData != nullptr);
    EXPECT_GE(r.inRowBytes, 10 * 3);
    EXPECT_EQ(r.inRowBytes % 16, 0);
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 10; ++col) {
            int y = std::clamp(row - 2, 0, 3), x = std::clamp(col - 3, 0, 4);
            for (int p = 0; p < 3; ++p) ASSERT_EQ(InSample(r, row, col, p, 3), Expected(x, y, p)) << row << "," << col;
        }
    }
}

TEST_F(AdvanceState, FillsOrRefusesOutsideThePictureAsAsked) {
    FilterRecord& r = session.record();
    Request({-1, 3, 1, 6});
    r.inputPadding = 77;
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(InSample(r, 0, 0, 0, 3), 77);         // above the picture
    EXPECT_EQ(InSample(r, 1, 1, 2, 3), Expected(4, 0, 2));
    EXPECT_EQ(InSample(r, 1, 2, 1, 3), 77);         // right of it

    r.inputPadding = plugInWantsErrorOnBoundsException;
    EXPECT_EQ(session.AdvanceState(), paramErr);
    Request({0, 0, 4, 5});
    EXPECT_EQ(session.AdvanceState(), noErr);       // inside is fine with that padding
}

TEST(StrictHost, WithoutPaddingRequestsOutsideThePictureAreRefused) {
    Document doc = SmallRgb();  // 5 x 4
    doc.mask.assign(20, 255);
    HostSession session;
    session.SetPadding(false);
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    EXPECT_EQ(r.supportsPadding, kFalse);
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    r.inputPadding = r.maskPadding = r.outputPadding = plugInWantsEdgeReplication;
    struct Case {
        Rect rect;
        int rate;
        bool inside;
    };
    for (const Case c : {Case{{0, 0, 4, 5}, 1, true}, Case{{1, 1, 3, 4}, 1, true},
                         Case{{0, 0, 4, 6}, 1, false}, Case{{0, 0, 5, 5}, 1, false},
                         Case{{-1, 0, 2, 2}, 1, false}, Case{{0, -1, 2, 2}, 1, false},
                         Case{{0, 0, 2, 2}, 2, true}, Case{{0, 0, 2, 3}, 2, true},
                         Case{{0, 0, 2, 4}, 2, false}, Case{{0, 0, 3, 2}, 2, false}}) {
        const OSErr expected = c.inside ? noErr : paramErr;
        const std::string what = std::to_string(c.rect.top) + "," + std::to_string(c.rect.left) + "," +
                                 std::to_string(c.rect.bottom) + "," + std::to_string(c.rect.right) +
                                 " at rate " + std::to_string(c.rate);
        r.inputRate = r.maskRate = c.rate << 16;
        r.inRect = c.rect;
        EXPECT_EQ(session.AdvanceState(), expected) << "input " << what;
        r.inRect = {0, 0, 0, 0};
        r.maskRect = c.rect;
        EXPECT_EQ(session.AdvanceState(), expected) << "mask " << what;
        r.maskRect = {0, 0, 0, 0};
        if (c.rate == 1) {
            r.outRect = c.rect;
            r.outLoPlane = 0;
            r.outHiPlane = 2;
            EXPECT_EQ(session.AdvanceState(), expected) << "output " << what;
            r.outRect = {0, 0, 0, 0};
        }
    }
    session.EndRun();
    // The setting is the editor's own and holds for the next run, until it is changed.
    session.BeginRun(doc, {});
    EXPECT_EQ(session.record().supportsPadding, kFalse);
    session.SetPadding(true);
    EXPECT_EQ(session.record().supportsPadding, kTrue);
    session.record().inRect = {0, 0, 4, 6};
    session.record().inputRate = 1 << 16;
    EXPECT_EQ(session.AdvanceState(), noErr);
    session.EndRun();
}

TEST_F(AdvanceState, SubsamplesByTheInputRate) {
    FilterRecord& r = session.record();
    r.inputRate = 2 << 16;
    r.inputPadding = plugInWantsEdgeReplication;
    Request({0, 0, 2, 4});  // in halved coordinates: picture columns 0, 2, 4, 6->4
    ASSERT_EQ(session.AdvanceState(), noErr);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(InSample(r, row, col, 0, 3), Expected(std::min(col * 2, 4), row * 2, 0));
        }
    }
    r.inputRate = 0;
    EXPECT_EQ(session.AdvanceState(), paramErr);
}

// The dialog's zoomed preview asks for the picture at 1/2, 1/3 ... in reduced coordinates,
// one plane at a time, panned by a reduced offset, with the selection at the same rate.
TEST(SampledAdvanceState, ServesEveryNthPixelOfAPannedWindowAtRatesTwoAndThree) {
    Document doc;
    doc.width = 23;
    doc.height = 17;
    doc.colour_planes = 3;
    doc.pixels.resize(doc.RowBytes() * size_t(doc.height));
    auto value = [](int x, int y, int p) { return uint8_t((7 * x + 13 * y + 60 * p) & 0xFF); };
    for (int y = 0; y < doc.height; ++y)
        for (int x = 0; x < doc.width; ++x)
            for (int p = 0; p < 3; ++p) doc.pixels[size_t((y * doc.width + x) * 3 + p)] = value(x, y, p);
    doc.mask.resize(size_t(doc.width * doc.height));
    for (int i = 0; i < doc.width * doc.height; ++i) doc.mask[size_t(i)] = uint8_t(i);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    r.bigDocumentData->PluginUsing32BitCoordinates = 1;
    for (int rate : {2, 3}) {
        // The reduced window starts one reduced pixel in and runs to the last whole one.
        const VRect window{1, 2, (doc.height - 1) / rate + 1, (doc.width - 1) / rate + 1};
        session.big_document().inRect32 = session.big_document().maskRect32 = window;
        r.inputRate = r.maskRate = Fixed(rate << 16);
        r.inputPadding = r.maskPadding = plugInWantsEdgeReplication;
        for (int plane = 0; plane < 3; ++plane) {
            r.inLoPlane = r.inHiPlane = int16_t(plane);
            ASSERT_EQ(session.AdvanceState(), noErr) << "rate " << rate;
            ASSERT_TRUE(r.inData != nullptr);
            EXPECT_EQ(r.inColumnBytes, 1);
            for (int row = 0; row < window.bottom - window.top; ++row) {
                for (int col = 0; col < window.right - window.left; ++col) {
                    const int x = (window.left + col) * rate, y = (window.top + row) * rate;
                    ASSERT_LT(x, doc.width);
                    ASSERT_LT(y, doc.height);
                    EXPECT_EQ(InSample(r, row, col, 0, 1), value(x, y, plane))
                        << "rate " << rate << ", plane " << plane << " at " << col << "," << row;
                }
            }
        }
        ASSERT_TRUE(r.maskData != nullptr);
        const auto* mask = static_cast<const uint8_t*>(r.maskData);
        EXPECT_EQ(mask[0], doc.mask[size_t(window.top * rate * doc.width + window.left * rate)]) << "rate " << rate;
        EXPECT_EQ(mask[r.maskRowBytes + 1],
                  doc.mask[size_t((window.top + 1) * rate * doc.width + (window.left + 1) * rate)]) << "rate " << rate;
    }
}

TEST_F(AdvanceState, ServesOnlyTheRequestedPlanes) {
    FilterRecord& r = session.record();
    Request({1, 1, 2, 4}, 1, 1);
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(r.inColumnBytes, 1);
    for (int col = 0; col < 3; ++col) EXPECT_EQ(InSample(r, 0, col, 0, 1), Expected(col + 1, 1, 1));

    Request({1, 1, 2, 4}, 2, 3);  // plane 3 does not exist in an RGB picture
    EXPECT_EQ(session.AdvanceState(), paramErr);
    Request({1, 1, 2, 4}, 1, 0);  // an empty plane range asks for nothing
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_TRUE(r.inData == nullptr);
}

TEST_F(AdvanceState, OutputGoesBackIntoThePictureWhileInputStaysTheOriginal) {
    FilterRecord& r = session.record();
    r.outRect = {1, 3, 3, 7};  // runs off the right edge
    r.outLoPlane = 0;
    r.outHiPlane = 2;
    ASSERT_EQ(session.AdvanceState(), noErr);
    ASSERT_TRUE(r.outData != nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(r.outData)[0], Expected(3, 1, 0));  // output starts as the picture
    for (int row = 0; row < 2; ++row) std::memset(static_cast<uint8_t*>(r.outData) + row * r.outRowBytes, 9, 12);
    r.outRect = {0, 0, 0, 0};
    Request({0, 0, 4, 5});
    ASSERT_EQ(session.AdvanceState(), noErr);  // hands the tile back
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            bool written = y >= 1 && y < 3 && x >= 3;
            EXPECT_EQ(doc.pixels[size_t((y * 5 + x) * 3)], written ? 9 : Expected(x, y, 0)) << x << "," << y;
            // Input still shows the picture as it was before the filter.
            EXPECT_EQ(InSample(session.record(), y, x, 0, 3), Expected(x, y, 0));
        }
    }
}

TEST_F(AdvanceState, WildRectanglesFailCleanly) {
    FilterRecord& r = session.record();
    BigDocumentStruct& big = session.big_document();
    big.PluginUsing32BitCoordinates = 1;
    big.inRect32 = {-2000000000, -2000000000, 2000000000, 2000000000};
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    EXPECT_EQ(session.AdvanceState(), memFullErr);
    EXPECT_TRUE(r.inData == nullptr);
}

TEST_F(AdvanceState, ThirtyTwoBitRectanglesOnlyWhenThePluginSaysSo) {
    FilterRecord& r = session.record();
    BigDocumentStruct& big = session.big_document();
    EXPECT_EQ(big.imageSize32.h, 5);
    EXPECT_EQ(big.filterRect32.bottom, 4);
    Request({0, 0, 1, 1});
    big.inRect32 = {2, 2, 3, 3};
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(InSample(r, 0, 0, 0, 3), Expected(0, 0, 0));
    big.PluginUsing32BitCoordinates = 1;
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(InSample(r, 0, 0, 0, 3), Expected(2, 2, 0));
}

TEST(BigDocument, PicturesWiderThanSixteenBitsReachThePluginThroughThirtyTwoBitRectangles) {
    Document doc;
    doc.width = 40000;
    doc.height = 1;
    doc.colour_planes = 1;
    doc.pixels.resize(40000);
    for (int x = 0; x < 40000; ++x) doc.pixels[size_t(x)] = uint8_t(x % 251);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    BigDocumentStruct& big = session.big_document();
    EXPECT_EQ(r.imageSize.h, 32767);  // the 16-bit fields saturate instead of wrapping
    EXPECT_EQ(r.filterRect.right, 32767);
    EXPECT_EQ(big.imageSize32.h, 40000);
    EXPECT_EQ(big.filterRect32.right, 40000);
    big.PluginUsing32BitCoordinates = 1;
    big.inRect32 = {0, 39998, 1, 40001};
    big.outRect32 = {0, 39999, 1, 40000};
    r.inHiPlane = r.outHiPlane = 0;
    r.inputPadding = plugInWantsEdgeReplication;
    ASSERT_EQ(session.AdvanceState(), noErr);
    auto* in = static_cast<const uint8_t*>(r.inData);
    EXPECT_EQ(in[0], 39998 % 251);
    EXPECT_EQ(in[1], 39999 % 251);
    EXPECT_EQ(in[2], 39999 % 251);
    static_cast<uint8_t*>(r.outData)[0] = 7;
    session.EndRun();
    EXPECT_EQ(doc.pixels[39999], 7);
    EXPECT_EQ(doc.pixels[39998], 39998 % 251);
}

TEST(Selection, MaskIsServedAndBlendsOutputWhenTheHostMasks) {
    Document doc = SmallRgb();
    doc.mask.assign(20, 255);
    doc.mask[0] = 0;    // (0,0) unselected
    doc.mask[1] = 128;  // (1,0) half
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    EXPECT_EQ(r.filterCase, 2);
    EXPECT_TRUE(r.haveMask);
    r.maskRect = {0, 0, 1, 3};
    r.outRect = {0, 0, 1, 3};
    r.outLoPlane = 0;
    r.outHiPlane = 2;
    ASSERT_EQ(session.AdvanceState(), noErr);
    ASSERT_TRUE(r.maskData != nullptr);
    auto* m = static_cast<const uint8_t*>(r.maskData);
    EXPECT_EQ(m[0], 0);
    EXPECT_EQ(m[1], 128);
    EXPECT_EQ(m[2], 255);
    std::memset(r.outData, 0, 9);
    r.autoMask = kTrue;
    session.EndRun();
    EXPECT_EQ(doc.pixels[0], Expected(0, 0, 0));                       // untouched
    EXPECT_EQ(doc.pixels[3], uint8_t((Expected(1, 0, 0) * 127 + 127) / 255));  // halfway to 0
    EXPECT_EQ(doc.pixels[6], 0);                                       // fully replaced
}

TEST(Selection, PluginThatMasksItselfGetsItsOutputStoredAsIs) {
    Document doc = SmallRgb();
    doc.mask.assign(20, 0);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    r.autoMask = kFalse;
    r.outRect = {0, 0, 1, 1};
    r.outHiPlane = 2;
    ASSERT_EQ(session.AdvanceState(), noErr);
    std::memset(r.outData, 1, 3);
    session.EndRun();
    EXPECT_EQ(doc.pixels[0], 1);
}

TEST(Depths, SixteenAndThirtyTwoBitSamplesTravelUnchanged) {
    Document doc;
    doc.width = 2;
    doc.height = 1;
    doc.colour_planes = 1;
    doc.transparency = true;
    doc.depth = 16;
    uint16_t samples[4] = {0, 32768, 12345, 1};
    doc.pixels.assign(reinterpret_cast<uint8_t*>(samples), reinterpret_cast<uint8_t*>(samples) + 8);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    EXPECT_EQ(r.imageMode, 10);
    EXPECT_EQ(r.depth, 16);
    EXPECT_EQ(r.planes, 2);
    EXPECT_EQ(r.filterCase, 4);
    EXPECT_EQ(r.inLayerPlanes, 1);
    EXPECT_EQ(r.inTransparencyMask, 1);
    r.inRect = r.outRect = {0, 0, 1, 2};
    r.inHiPlane = r.outHiPlane = 1;
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(std::memcmp(r.inData, samples, 8), 0);
    static_cast<uint16_t*>(r.outData)[1] = 16384;  // halve the first pixel's transparency
    session.EndRun();
    EXPECT_EQ(reinterpret_cast<uint16_t*>(doc.pixels.data())[1], 16384);

    Document floats;
    floats.width = floats.height = 1;
    floats.depth = 32;
    float rgb[3] = {-0.5f, 0.25f, 7.0f};
    floats.pixels.assign(reinterpret_cast<uint8_t*>(rgb), reinterpret_cast<uint8_t*>(rgb) + 12);
    session.BeginRun(floats, {});
    EXPECT_EQ(session.record().imageMode, 16);
    session.record().inRect = {0, 0, 1, 1};
    session.record().inHiPlane = 2;
    ASSERT_EQ(session.AdvanceState(), noErr);
    EXPECT_EQ(std::memcmp(session.record().inData, rgb, 12), 0);
    session.EndRun();
}

TEST(HandleProcs, BehaveLikeMovableBlocks) {
    Document doc = SmallRgb();
    HostSession session;
    session.BeginRun(doc, {});
    const HandleProcs& h = *session.record().handleProcs;
    ASSERT_EQ(h.numHandleProcs, 8);
    Handle block = h.newProc(16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(h.getSizeProc(block), 16);
    Ptr p = h.lockProc(block, kTrue);
    ASSERT_EQ(p, *block);  // the handle dereferences to its bytes
    EXPECT_EQ(p[15], 0);   // new blocks are zeroed
    std::memcpy(p, "kept", 4);
    EXPECT_EQ(h.setSizeProc(block, 1 << 20), memFullErr);  // a locked block cannot move
    h.unlockProc(block);
    ASSERT_EQ(h.setSizeProc(block, 1 << 20), noErr);
    EXPECT_EQ(h.getSizeProc(block), 1 << 20);
    p = h.lockProc(block, kFalse);
    EXPECT_EQ(std::memcmp(p, "kept", 4), 0);
    EXPECT_EQ(p[(1 << 20) - 1], 0);
    h.unlockProc(block);
    ASSERT_EQ(h.setSizeProc(block, 2), noErr);
    EXPECT_EQ(h.getSizeProc(block), 2);

    EXPECT_EQ(h.newProc(-1), nullptr);
    EXPECT_EQ(session.live_handles(), 1u);
    h.disposeProc(block);
    EXPECT_EQ(session.live_handles(), 0u);
    // A handle that is gone (or never was) is refused, not trusted.
    EXPECT_EQ(h.getSizeProc(block), 0);
    EXPECT_EQ(h.lockProc(block, kFalse), nullptr);
    EXPECT_EQ(h.setSizeProc(block, 4), nilHandleErr);
    h.disposeProc(block);
    h.disposeRegularHandleProc(h.newProc(0));
    EXPECT_EQ(session.live_handles(), 0u);
}

TEST(BufferProcs, CountAgainstTheBudgetAndRefuseStrangers) {
    Document doc = SmallRgb();
    HostSession session;
    session.BeginRun(doc, {});
    const BufferProcs& b = *session.record().bufferProcs;
    ASSERT_GE(b.numBufferProcs, 5);
    int32_t space = b.spaceProc();
    BufferID id = nullptr;
    ASSERT_EQ(b.allocateProc(1000, &id), noErr);
    EXPECT_EQ(b.spaceProc(), space - 1000);
    Ptr p = b.lockProc(id, kTrue);
    ASSERT_NE(p, nullptr);
    p[999] = 1;
    b.unlockProc(id);
    BufferID too_big = nullptr;
    EXPECT_EQ(b.allocateProc64(b.spaceProc64() + 1, &too_big), memFullErr);
    EXPECT_EQ(too_big, nullptr);
    b.freeProc(id);
    EXPECT_EQ(b.spaceProc(), space);
    EXPECT_EQ(b.lockProc(id, kTrue), nullptr);
    b.freeProc(id);  // twice: ignored
    EXPECT_EQ(session.live_buffers(), 0u);
}

}  // namespace
}  // namespace tw::host
