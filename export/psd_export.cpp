// The PSD export's layout: header, colour-mode data, image resources, the layer and mask
// section (plain for 8-bit, tagged Lr16/Lr32 blocks for deeper files) and the merged
// picture. Every section length is computed before it is written and checked against the
// bytes that actually went out, so an off-by-one in here fails the export instead of
// producing a document that readers reject.
#include "export/psd_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "export/product.h"
#include "params/blend_mode_names.h"
#include "settings/jpeg_memory.h"

namespace tw {

int32_t ClampPsdSide(int64_t side) {
    return static_cast<int32_t>(std::clamp<int64_t>(side, kPsdMinSide, kPsdMaxSide));
}

int32_t ProportionalHeight(int32_t input_width, int32_t input_height, int32_t width,
                           int32_t height) {
    if (input_width == 0) return height;
    return static_cast<int32_t>(int64_t(input_height) * width / input_width);
}

PsdSize ChoosePsdSize(int32_t choice, int32_t input_width, int32_t input_height, int32_t width,
                      int32_t height) {
    PsdSize size{width, height};
    if (choice == kPsdSameSize) {
        size = {input_width, input_height};
    } else if (choice == kPsdSameProportions) {
        size.height = ProportionalHeight(input_width, input_height, width, height);
    }
    return {ClampPsdSide(size.width), ClampPsdSide(size.height)};
}

namespace {

constexpr int32_t kLayerCount = 1;
constexpr char kLayerName[] = "layer 1";

// Print record of resource 1001, as Photoshop writes it for a default page set-up.
constexpr uint8_t kPrintRecordHead[] = {
    0x00, 0x28, 0x00, 0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x02, 0xe7,
    0x02, 0x52, 0xff, 0xf7, 0xff, 0xf7, 0x03, 0x0f, 0x02, 0x5b, 0x20, 0x02, 0x05, 0x28,
    0x03, 0xfc, 0x00, 0x00, 0x00, 0x00, 0x01, 0x68, 0x01, 0x68, 0x00, 0x00, 0x00, 0x00,
    0x0e, 0x83, 0x0b, 0x9a, 0x01, 0x74, 0x00, 0x32, 0x0b, 0x9a, 0x48, 0xa8, 0x00, 0x4b,
    0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x27, 0x0f, 0x00, 0x01, 0x00, 0x01};
constexpr uint8_t kPrintRecordTail[] = {
    0x00, 0x01, 0x00, 0x64, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03,
    0x20, 0xb1, 0x04, 0x00, 0x12, 0x00, 0x03, 0x00, 0x45, 0x00, 0x00, 0x00, 0x36, 0x44,
    0x61, 0x20};
// The record is 120 bytes long (the size of the classic print record), so the zero run
// between the listed head and tail is 20 bytes.
constexpr size_t kPrintRecordGap = 20;
static_assert(sizeof kPrintRecordHead + kPrintRecordGap + sizeof kPrintRecordTail == 120);

// The HDR toning record of 32-bit documents (its name is "Default" in UTF-16).
constexpr uint8_t kHdrToning[] = {
    0x68, 0x64, 0x72, 0x74, 0x00, 0x00, 0x00, 0x03, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x44, 0x00, 0x65, 0x00, 0x66, 0x00, 0x61,
    0x00, 0x75, 0x00, 0x6c, 0x00, 0x74, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x41, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x3f, 0x80, 0x00, 0x00};
static_assert(sizeof kHdrToning == 74);

void PutTag(BigEndianWriter& out, const char (&tag)[5]) { out.putBytes(tag, 4); }

uint64_t RoundUp4(uint64_t n) { return (n + 3) & ~uint64_t(3); }

// ---- Sizes of the layer section, known before anything is written ---------------------

struct Layout {
    int32_t width = 0, height = 0;
    int channel_bytes = 1;       // 1, 2 or 4
    uint64_t plane_bytes = 0;    // one channel of the picture
    uint64_t channel_length = 0; // compression word + plane
    uint64_t record_length = 0;  // the one layer record
    uint64_t layer_info = 0;     // L: layer count, record, channel data
    uint64_t section = 0;        // the section's length word
    uint64_t name_field = 0;     // the layer name's Pascal string, padded to 4
};

Layout ComputeLayout(int32_t width, int32_t height, int channel_bytes) {
    Layout l;
    l.width = width;
    l.height = height;
    l.channel_bytes = channel_bytes;
    l.plane_bytes = uint64_t(width) * uint64_t(height) * uint64_t(channel_bytes);
    l.channel_length = 2 + l.plane_bytes;
    l.name_field = RoundUp4(1 + std::strlen(kLayerName));
    const uint64_t extra = 48 + l.name_field;  // mask length, blending ranges, name
    l.record_length = 16 + 2 + 4 * 6 + 8 + 4 + 4 + extra;
    l.layer_info = 2 + l.record_length + 4 * l.channel_length;
    if (channel_bytes == 1) l.section = l.layer_info + 8;
    else if (channel_bytes == 2) l.section = RoundUp4(l.layer_info + 4) + 28;
    else l.section = RoundUp4(l.layer_info + 4) + 68;
    return l;
}

// ---- Reading the picture a row at a time ------------------------------------------------

// Copies row y of level 0, raw samples in the buffer's own format, into `row`.
void ReadRow(const ImageBuffer& image, int32_t y, std::vector<uint8_t>& row) {
    const ImageLevel& level = image.levels[0];
    const size_t bpp = size_t(image.bytes_per_pixel);
    row.resize(size_t(image.width) * bpp);
    const int32_t sy = y + image.apron;
    int32_t x = 0;
    while (x < image.width) {
        const int32_t sx = x + image.apron;
        const ImageTile& t =
            image.tiles[level.first_tile + (sy / kTileSize) * level.tile_columns + sx / kTileSize];
        const int32_t end = std::min(image.width, t.x + t.width);
        const uint8_t* from =
            t.pixels + (size_t(y - t.y) * size_t(t.width) + size_t(x - t.x)) * bpp;
        std::memcpy(row.data() + size_t(x) * bpp, from, size_t(end - x) * bpp);
        x = end;
    }
}

// One channel (0 R, 1 G, 2 B, 3 A) of a raw row, as stored in the buffer's format.
uint32_t Sample8(const uint8_t* row, int32_t x, int channel) {
    uint32_t word;
    std::memcpy(&word, row + size_t(x) * 4, 4);
    return (word >> (24 - 8 * channel)) & 0xff;
}
uint32_t Sample16(const uint8_t* row, int32_t x, int channel) {
    uint16_t v;
    std::memcpy(&v, row + (size_t(x) * 4 + size_t(channel)) * 2, 2);
    return std::min<uint32_t>(v, 32768);  // the host's full scale; more cannot be stored
}
float SampleFloat(const uint8_t* row, int32_t x, int channel) {
    float v;
    std::memcpy(&v, row + (size_t(x) * 4 + size_t(channel)) * 4, 4);
    return v;
}

// 16-bit samples of the host's 0..32768 scale become the file's 0..65535.
uint16_t Encode16(uint32_t v) { return v >= 32768 ? 65535 : uint16_t(v * 2); }

void Store16(uint8_t* out, uint16_t v) {
    out[0] = uint8_t(v >> 8);
    out[1] = uint8_t(v);
}
void StoreFloat(uint8_t* out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    out[0] = uint8_t(bits >> 24);
    out[1] = uint8_t(bits >> 16);
    out[2] = uint8_t(bits >> 8);
    out[3] = uint8_t(bits);
}

// A layer row: the channel as it is, transparency included.
void EncodeLayerRow(const uint8_t* row, int32_t width, int channel_bytes, int channel,
                    uint8_t* out) {
    for (int32_t x = 0; x < width; ++x) {
        if (channel_bytes == 1) out[x] = uint8_t(Sample8(row, x, channel));
        else if (channel_bytes == 2) Store16(out + 2 * x, Encode16(Sample16(row, x, channel)));
        else StoreFloat(out + 4 * x, SampleFloat(row, x, channel));
    }
}

// A merged row: integer pictures are laid over an 8 x 8 checkerboard by their alpha, so a
// reader that shows only the flattened copy still sees where the picture is transparent.
// Float pictures keep their colours as rendered.
void EncodeMergedRow(const uint8_t* row, int32_t y, int32_t width, int channel_bytes,
                     int channel, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x) {
        const bool light = ((x ^ y) & 8) == 0;
        if (channel_bytes == 1) {
            const uint32_t bg = light ? 255 : 204;
            const uint32_t a = Sample8(row, x, 3), c = Sample8(row, x, channel);
            out[x] = uint8_t((bg * (255 - a) + c * a) / 255);
        } else if (channel_bytes == 2) {
            if (channel == 3) {
                Store16(out + 2 * x, 65535);
                continue;
            }
            const uint32_t bg = light ? 32640 : 26112;
            const uint32_t a = Sample16(row, x, 3), c = Sample16(row, x, channel);
            Store16(out + 2 * x, Encode16((bg * (32768 - a) + c * a) >> 15));
        } else {
            StoreFloat(out + 4 * x, SampleFloat(row, x, channel));
        }
    }
}

struct Progress {
    const PsdExportRequest& request;
    uint64_t total_rows;
    uint64_t done_rows = 0;
    int last = -1;
    void Row() {
        ++done_rows;
        if (request.progress == nullptr) return;
        const int now = int(done_rows * 1000 / std::max<uint64_t>(total_rows, 1));
        if (now != last) {
            last = now;
            request.progress(request.context, now);
        }
    }
};

// Writes one plane, row by row from the top.
template <typename Encode>
void WritePlane(BigEndianWriter& out, const ImageBuffer& image, const Layout& l,
                std::vector<uint8_t>& raw, std::vector<uint8_t>& encoded, Progress& progress,
                Encode encode) {
    encoded.resize(size_t(l.width) * size_t(l.channel_bytes));
    for (int32_t y = 0; y < l.height; ++y) {
        ReadRow(image, y, raw);
        encode(raw.data(), y, encoded.data());
        out.putBytes(encoded.data(), encoded.size());
        progress.Row();
    }
}

// ---- Sections ---------------------------------------------------------------------------

void WriteHeader(BigEndianWriter& out, const Layout& l) {
    out.putBytes("8BPS", 4);
    out.put16(1);
    out.putZeros(6);
    out.put16(l.channel_bytes == 2 ? 4 : 3);
    out.put32(uint32_t(l.height));
    out.put32(uint32_t(l.width));
    out.put16(uint16_t(8 * l.channel_bytes));
    out.put16(3);  // RGB
}

void WriteColourModeData(BigEndianWriter& out, const Layout& l) {
    if (l.channel_bytes != 4) {
        out.put32(0);
        return;
    }
    out.put32(sizeof kHdrToning);
    out.putBytes(kHdrToning, sizeof kHdrToning);
}

void PutResource(BigEndianWriter& out, uint16_t id, const std::vector<uint8_t>& data) {
    PutTag(out, "8BIM");
    out.put16(id);
    out.put16(0);  // empty name, padded to an even length
    out.put32(uint32_t(data.size()));
    out.putBytes(data.data(), data.size());
    if (data.size() % 2 != 0) out.put8(0);
}

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> list) { return {list}; }

std::vector<uint8_t> TransferFunctions() {
    std::vector<uint8_t> data;
    BigEndianWriter w(data);
    for (int record = 0; record < 4; ++record) {
        w.put16(0);
        for (int i = 0; i < 11; ++i) w.put16(0xffff);  // unused points
        w.put16(1000);
        w.put16(0);  // no override
    }
    return data;
}

void WriteImageResources(BigEndianWriter& out, const Layout& l, const PsdExportRequest& request) {
    const uint64_t length_at = out.beginLength32();

    std::vector<uint8_t> print(kPrintRecordHead, std::end(kPrintRecordHead));
    print.resize(print.size() + kPrintRecordGap, 0);
    print.insert(print.end(), std::begin(kPrintRecordTail), std::end(kPrintRecordTail));
    PutResource(out, 1001, print);
    // 72 pixels per inch both ways, shown in pixels per inch and inches.
    PutResource(out, 1005, Bytes({0, 0x48, 0, 0, 0, 1, 0, 1, 0, 0x48, 0, 0, 0, 1, 0, 1}));
    PutResource(out, 1011, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1}));
    PutResource(out, 1016, TransferFunctions());
    PutResource(out, 1035, std::vector<uint8_t>(kMakerWebAddress, kMakerWebAddress + 27));
    if (!request.icc_profile.empty()) PutResource(out, 1039, request.icc_profile);
    PutResource(out, 1028, MakeIptcBlock(l.channel_bytes == 4, request.glue_mode, request.date));
    PutResource(out, 1058, MakeExifBlock());
    if (l.channel_bytes == 4) {
        PutResource(out, 1069, Bytes({0, 1, 0, 0, 0, 0x0c}));  // one selected layer, ID 12
        PutResource(out, 1072, std::vector<uint8_t>(kLayerCount, 1));
    }
    PutResource(out, 1024, Bytes({0, uint8_t(kLayerCount)}));
    PutResource(out, 1026, std::vector<uint8_t>(2 * kLayerCount, 0));

    out.finishLength32(length_at);
}

void WriteLayerRecord(BigEndianWriter& out, const Layout& l) {
    out.put32(0);  // top, left, bottom, right
    out.put32(0);
    out.put32(uint32_t(l.height));
    out.put32(uint32_t(l.width));
    out.put16(4);
    for (int16_t id : {-1, 0, 1, 2}) {
        out.put16(uint16_t(id));
        out.put32(uint32_t(l.channel_length));
    }
    PutTag(out, "8BIM");
    PutTag(out, "norm");
    out.put8(255);                                 // opacity
    out.put8(0);                                   // clipping
    out.put8(l.channel_bytes == 4 ? 0x08 : 0x28);  // flags
    out.put8(0);                                   // filler
    out.put32(uint32_t(48 + l.name_field));
    out.put32(0);   // no layer mask
    out.put32(40);  // blending ranges: grey and four channels, each range 0..255 twice
    for (int i = 0; i < 10; ++i) out.putBytes("\x00\x00\xff\xff", 4);
    const size_t name_length = std::strlen(kLayerName);
    out.put8(uint8_t(name_length));
    out.putBytes(kLayerName, name_length);
    out.putZeros(size_t(l.name_field) - 1 - name_length);
}

bool WriteLayerInfo(BigEndianWriter& out, const Layout& l, const ImageBuffer& image,
                    Progress& progress, std::string& error) {
    const uint64_t start = out.position();
    out.put16(kLayerCount);
    WriteLayerRecord(out, l);
    if (out.position() - start - 2 != l.record_length) {
        error = "internal error: the layer record is not as long as computed";
        return false;
    }
    std::vector<uint8_t> raw, encoded;
    for (int channel : {3, 0, 1, 2}) {
        out.put16(0);  // raw samples
        WritePlane(out, image, l, raw, encoded, progress,
                   [&](const uint8_t* row, int32_t, uint8_t* to) {
                       EncodeLayerRow(row, l.width, l.channel_bytes, channel, to);
                   });
    }
    if (out.position() - start != l.layer_info) {
        error = "internal error: the layer data is not as long as computed";
        return false;
    }
    return true;
}

bool WriteLayerSection(BigEndianWriter& out, const Layout& l, const ImageBuffer& image,
                       Progress& progress, std::string& error) {
    out.put32(uint32_t(l.section));
    const uint64_t start = out.position();
    if (l.channel_bytes == 1) {
        out.put32(uint32_t(l.layer_info));
        if (!WriteLayerInfo(out, l, image, progress, error)) return false;
        out.put32(0);  // no global layer mask
    } else {
        const bool deep = l.channel_bytes == 4;
        out.put32(0);  // the plain layer info is empty; readers find the layers below
        out.put32(0);  // no global layer mask
        PutTag(out, "8BIM");
        PutTag(out, deep ? "Mt32" : "Mt16");
        out.put32(0);
        PutTag(out, "8BIM");
        PutTag(out, deep ? "Lr32" : "Lr16");
        const uint64_t length_word = out.position();
        out.put32(uint32_t(l.layer_info));
        if (!WriteLayerInfo(out, l, image, progress, error)) return false;
        out.putZeros(size_t(RoundUp4(out.position() - length_word) - (out.position() - length_word)));
        if (deep) {
            PutTag(out, "8BIM");
            PutTag(out, "LMsk");
            out.put32(14);
            out.put16(0);  // colour space
            for (uint16_t c : {65535, 0, 0, 0}) out.put16(c);
            out.put16(50);  // opacity
            out.put8(128);  // flag
            out.putZeros(3);
            PutTag(out, "8BIM");
            PutTag(out, "Pat3");
            out.put32(0);
        }
    }
    if (out.position() - start != l.section) {
        error = "internal error: the layer section is not as long as its length word says";
        return false;
    }
    return true;
}

void WriteMergedImage(BigEndianWriter& out, const Layout& l, const ImageBuffer& image,
                      Progress& progress) {
    out.put16(0);  // raw
    const int planes = l.channel_bytes == 2 ? 4 : 3;
    std::vector<uint8_t> raw, encoded;
    for (int channel = 0; channel < planes; ++channel)
        WritePlane(out, image, l, raw, encoded, progress,
                   [&](const uint8_t* row, int32_t y, uint8_t* to) {
                       EncodeMergedRow(row, y, l.width, l.channel_bytes, channel, to);
                   });
}

int ChannelBytesOf(const ImageBuffer& image) {
    switch (image.format) {
        case kRgba8: return 1;
        case kRgba16: return 2;
        case kRgbaFloat: return 4;
        default: return 0;
    }
}

PsdDate Today() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return {1970, 1, 1};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday};
}

void PutDataset(BigEndianWriter& w, uint8_t number, const void* data, size_t size) {
    w.put8(0x1c);
    w.put8(2);
    w.put8(number);
    w.put16(uint16_t(size));
    w.putBytes(data, size);
}
void PutDataset(BigEndianWriter& w, uint8_t number, const std::string& text) {
    PutDataset(w, number, text.data(), text.size());
}

}  // namespace

std::vector<std::string> PsdKeywords(bool high_dynamic_range, int32_t glue_mode) {
    std::vector<std::string> candidates{kProductName};
    if (high_dynamic_range) {
        candidates.push_back("HDR");
        candidates.push_back("high dynamic range");
    }
    if (glue_mode != 1) candidates.push_back(blendModeName(glue_mode));

    auto same = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    std::vector<std::string> keywords;
    for (const std::string& k : candidates) {
        if (k.empty() || k.size() >= 50 || keywords.size() >= 19) continue;
        if (std::none_of(keywords.begin(), keywords.end(),
                         [&](const std::string& kept) { return same(kept, k); }))
            keywords.push_back(k);
    }
    return keywords;
}

std::vector<uint8_t> MakeIptcBlock(bool high_dynamic_range, int32_t glue_mode,
                                   const PsdDate& date) {
    const PsdDate when = date.year == 0 && date.month == 0 && date.day == 0 ? Today() : date;
    char created[32];
    std::snprintf(created, sizeof created, "%04d%02d%02d", when.year, when.month, when.day);

    std::vector<uint8_t> data;
    BigEndianWriter w(data);
    const uint8_t version[2] = {0, 2};
    PutDataset(w, 0, version, 2);
    PutDataset(w, 115, kMakerWebAddress);
    PutDataset(w, 55, created);
    PutDataset(w, 120, std::string("Made with ") + kProductName);
    for (const std::string& k : PsdKeywords(high_dynamic_range, glue_mode)) PutDataset(w, 25, k);
    return data;
}

std::vector<uint8_t> MakeExifBlock() {
    std::vector<uint8_t> data;
    BigEndianWriter w(data);
    const uint32_t count = uint32_t(std::strlen(kProductName) + 1);
    w.putBytes("MM", 2);
    w.put16(42);
    w.put32(8);   // the first IFD follows the header
    w.put16(1);   // one entry
    w.put16(305); // Software
    w.put16(2);   // ASCII
    w.put32(count);
    w.put32(26);  // the text follows the IFD
    w.put32(0);   // no next IFD
    w.putBytes(kProductName, count);  // with its NUL
    return data;
}

bool WritePsd(BigEndianWriter& out, const PsdExportRequest& request, std::string& error) {
    const ImageBuffer* image = request.image;
    const int channel_bytes = image != nullptr && !image->empty() ? ChannelBytesOf(*image) : 0;
    if (channel_bytes == 0) {
        error = "the picture to export is empty or not an RGBA picture";
        return false;
    }
    if (image->width < kPsdMinSide || image->height < kPsdMinSide || image->width > kPsdMaxSide ||
        image->height > kPsdMaxSide) {
        error = "a PSD picture must be " + std::to_string(kPsdMinSide) + " to " +
                std::to_string(kPsdMaxSide) + " pixels on each side";
        return false;
    }
    const Layout l = ComputeLayout(image->width, image->height, channel_bytes);
    // Version-1 documents count their sections in 32 bits; a deep picture near the largest
    // size would overflow them and give a file that no reader can open.
    if (l.section > 0xffffffffu) {
        error = "the picture is too large for a PSD file at " + std::to_string(8 * channel_bytes) +
                " bits per channel (" + std::to_string(l.width) + " x " +
                std::to_string(l.height) + "); choose a smaller size";
        return false;
    }

    Progress progress{request, uint64_t(l.height) * (channel_bytes == 2 ? 8 : 7)};
    WriteHeader(out, l);
    WriteColourModeData(out, l);
    WriteImageResources(out, l, request);
    if (!WriteLayerSection(out, l, *image, progress, error)) return false;
    WriteMergedImage(out, l, *image, progress);
    if (!out.ok()) {
        error = "the file could not be written";
        return false;
    }
    return true;
}

bool ExportPsd(const std::string& path, const PsdExportRequest& request, std::string& error) {
    const std::string partial = path + ".partial";
    platform::File file;
    if (!platform::OpenFile(file, partial, platform::OpenMode::Write)) {
        error = "cannot create " + partial;
        return false;
    }
    bool ok;
    {
        BigEndianWriter out(file);
        ok = WritePsd(out, request, error);
        if (!out.flush() && ok) {
            error = "cannot write " + partial + " (is the disk full?)";
            ok = false;
        }
    }
    platform::CloseFile(file);
    if (ok && !platform::RenameFile(partial, path)) {
        error = "cannot rename " + partial + " to " + path;
        ok = false;
    }
    if (!ok) platform::RemoveFile(partial);
    return ok;
}

}  // namespace tw
