// libFuzzer target: any bytes read as a picture file, through the host's PNG, JPEG and TIFF
// readers (the first bytes pick one, as `tarnwell` does; the others must refuse them).
// Reading must never crash, hang or touch memory it does not own. A picture that is read
// must have the shape it claims, become a document and a selection where its shape allows,
// and (PNG, TIFF) write and read back to the same samples.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/picture.h"

namespace {

using namespace tw::host;

void CheckShape(const Picture& p) {
    const bool valid = p.width >= 1 && p.height >= 1 && p.width <= kMaxPictureSide &&
                       p.height <= kMaxPictureSide && p.channels >= 1 && p.channels <= 4 &&
                       (p.bits == 8 || p.bits == 16 || p.bits == 32) &&
                       p.data.size() == p.RowBytes() * size_t(p.height);
    if (!valid) __builtin_trap();
}

void CheckRoundTrip(const Picture& p, bool (*encode)(const Picture&, std::vector<uint8_t>&, std::string&),
                    bool (*decode)(const std::vector<uint8_t>&, Picture&, std::string&)) {
    // Large pictures are skipped: encoding them would only slow the search down.
    if (p.data.size() > (1u << 20)) return;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!encode(p, bytes, error)) __builtin_trap();
    Picture back;
    if (!decode(bytes, back, error)) __builtin_trap();
    if (back.width != p.width || back.height != p.height || back.channels != p.channels ||
        back.bits != p.bits || back.data != p.data)
        __builtin_trap();
}

void Use(const Picture& p) {
    CheckShape(p);
    Document doc;
    std::string error;
    if (DocumentFromPicture(p, doc, error) && doc.pixels.size() != doc.RowBytes() * size_t(doc.height))
        __builtin_trap();
    std::vector<uint8_t> mask;
    if (MaskFromPicture(p, p.width, p.height, mask, error) &&
        mask.size() != size_t(p.width) * size_t(p.height))
        __builtin_trap();
}

}  // namespace

namespace {

void Read(const std::vector<uint8_t>& bytes) {
    std::string error;
    int accepted = 0;
    Picture png, jpeg, tiff;
    if (DecodePng(bytes, png, error)) {
        ++accepted;
        Use(png);
        CheckRoundTrip(png, EncodePng, DecodePng);
    } else if (error.empty()) {
        __builtin_trap();  // a refusal always says why
    }
    error.clear();
    if (DecodeJpeg(bytes, jpeg, error)) {
        ++accepted;
        Use(jpeg);
    } else if (error.empty()) {
        __builtin_trap();
    }
    error.clear();
    if (DecodeTiff(bytes, tiff, error)) {
        ++accepted;
        Use(tiff);
        CheckRoundTrip(tiff, EncodeTiff, DecodeTiff);
    } else if (error.empty()) {
        __builtin_trap();
    }
    // The three formats start differently; no file is two pictures at once.
    if (accepted > 1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    // As `tarnwell` reads a file: a picture too large for memory is refused, not a crash.
    // The run sets allocator_may_return_null, so a wild size fails as it would outside the
    // sanitizers; what must not happen is memory really being used for it (rss_limit_mb).
    try {
        Read(bytes);
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
