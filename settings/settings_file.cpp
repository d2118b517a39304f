#include "settings/settings_file.h"

#include <algorithm>
#include <cstring>

#include "params/parameter_table.h"
#include "params/settings_precision.h"
#include "platform/big_endian.h"
#include "platform/platform.h"
#include "settings/jpeg_memory.h"

namespace tw {

namespace {

// Versions at which fields joined the format.
constexpr int kSinceFrameworkColor6 = 2, kSinceGlue = 3, kSinceSlots23 = 4, kSinceSlots27 = 5;
constexpr int kSinceVectors = 8, kSinceSeed = 12, kSinceSlot25 = 14, kSinceMarker2 = 16, kSinceSlot29 = 17;
constexpr int kSinceColors23 = 18, kSinceRawPicture = 22, kSinceColor5 = 23, kSincePick = 26;
constexpr int kSinceJpegPicture = 40, kSincePlacement = 41, kSinceSpin = 42, kSinceLight = 43;
constexpr int kSinceGlitter = 44;

constexpr int kMaxPictureSide = 128;  // picture sizes in a file are capped to this

// ---- Writing -------------------------------------------------------------------------------

void PutW(BigEndianWriter& w, uint16_t v) { w.put32(v); }
void PutRgb(BigEndianWriter& w, const Rgb16& c) {
    PutW(w, c.r);
    PutW(w, c.g);
    PutW(w, c.b);
}
// P and Q fields: the encodings live beside the rounding that brings a record to them.
void PutP(BigEndianWriter& w, float v) { w.putI32(EncodeHundredths(v)); }
void PutQ(BigEndianWriter& w, float v) { w.putI32(EncodeFixed16(v)); }
void PutInts(BigEndianWriter& w, const int32_t* slots, std::initializer_list<int> indices) {
    for (int i : indices) w.putI32(slots[i]);
}
// The floats of the sliders that the block of `version` added, in the table's order.
void PutSliders(BigEndianWriter& w, const RenderParams& p, int version) {
    for (const SliderInfo& s : kSliders)
        if (s.file_version == version) w.putF32(p.*s.field);
}

// The picture as the file carries it: the holder at 128 x 128, quality 80. A picture so
// busy that its stream would not fit a reader's buffer is stepped down in quality until it
// does, so a reader never has to throw away a picture this program wrote.
std::vector<uint8_t> PictureStream(const Picture* holder, bool with_picture) {
    std::vector<uint8_t> stream;
    if (!with_picture || !holder || holder->empty()) return stream;
    Picture square;
    if (!ScalePicture(*holder, square, kPictureSide, kPictureSide)) return stream;
    for (int quality = kSettingsPictureQuality; quality >= 0; quality -= 10) {
        if (EncodeJpeg(square, stream, quality) > 0 && stream.size() <= kPictureReadLimit) return stream;
    }
    stream.clear();
    return stream;
}

// ---- Reading -------------------------------------------------------------------------------

// Reads fields one by one. A field the bytes do not reach is left as it was.
class FieldReader {
public:
    FieldReader(const uint8_t* data, size_t size) : in_(data, size), data_(data) {}

    bool I(int32_t& v) { return in_.getI32(v); }
    bool W(uint16_t& v) {
        uint32_t word;
        if (!in_.get32(word)) return false;
        v = static_cast<uint16_t>(word);  // only the low half is a record field
        return true;
    }
    void Rgb(Rgb16& c) {
        W(c.r);
        W(c.g);
        W(c.b);
    }
    void F(float& v) { in_.getF32(v); }
    void P(float& v) {
        int32_t i;
        if (I(i)) v = DecodeHundredths(i);
    }
    void Q(float& v) {
        int32_t i;
        if (I(i)) v = DecodeFixed16(i);
    }
    void Ints(int32_t* slots, std::initializer_list<int> indices) {
        for (int i : indices) I(slots[i]);
    }
    void Sliders(RenderParams& p, int version) {
        for (const SliderInfo& s : kSliders)
            if (s.file_version == version) F(p.*s.field);
    }
    void SkipWord() {
        uint32_t ignored;
        in_.get32(ignored);
    }
    // Skips `count` bytes, or to the end when fewer are left.
    void Skip(size_t count) { in_.skip(count); }
    void SkipToEnd() { in_.skip(in_.remaining()); }
    size_t Remaining() const { return in_.remaining(); }
    const uint8_t* Here() const { return data_ + in_.position(); }

private:
    BigEndianReader in_;
    const uint8_t* data_;
};

int CappedSide(int32_t v) { return std::clamp(v, 0, kMaxPictureSide); }

// Versions 22 to 39 kept an uncompressed picture here; current files hold the word 0.
void ReadRawPicture(FieldReader& in, Picture* holder, bool& found) {
    int32_t flag = 0, w = 0, h = 0;
    if (!in.I(flag) || flag == 0) return;
    in.I(w);
    in.I(h);
    const int width = CappedSide(w), height = CappedSide(h);
    if (!holder) {
        in.Skip(kRawPictureSkip);  // the 64 x 64 these files always held
        return;
    }
    const size_t bytes = static_cast<size_t>(width) * height * 3;
    if (bytes > in.Remaining()) {
        in.SkipToEnd();
        return;
    }
    Picture picture;
    if (AllocatePicture(picture, width, height)) {
        std::memcpy(picture.rgb.data(), in.Here(), bytes);
        *holder = std::move(picture);
        found = true;
    }
    in.Skip(bytes);
}

void ReadJpegPicture(FieldReader& in, Picture* holder, bool& found) {
    int32_t flag = 0, w = 0, h = 0, n = 0;
    if (!in.I(flag) || flag == 0) return;
    in.I(w);
    in.I(h);
    if (!in.I(n) || n < 0) {
        in.SkipToEnd();  // no length to go by: nothing after this can be trusted
        return;
    }
    const size_t length = static_cast<size_t>(n);
    // A stream longer than the reading buffer, or than what is left, is passed over unread.
    if (flag == 1 && holder && length <= kPictureReadLimit && length <= in.Remaining()) {
        if (DecodeJpegPicture(in.Here(), length, CappedSide(w), CappedSide(h), *holder)) found = true;
    }
    in.Skip(length);
}

// Old files stored some framework slots with other meanings; these bring them up to date.
// A fix-up that works from a slot's old value runs only when the file reached that slot.
struct SlotsRead {
    bool slot0 = false, slot13 = false, slot15 = false, slot28 = false;
};

uint32_t AsBits(int32_t v) { return static_cast<uint32_t>(v); }
int32_t FromBits(uint32_t v) { return static_cast<int32_t>(v); }

void FixFrameworkSlots(RenderParams& p, int v, const SlotsRead& read) {
    int32_t* s = p.framework_ints;
    if (v < 15 && read.slot15) s[15] = FromBits(100u - AsBits(s[15]));
    if (v >= 2 && v < 11 && read.slot13) s[13] = FromBits(AsBits(s[13]) + 1u);
    if (v < 25) s[26] = 0;
    if (v >= 5 && v <= 12 && read.slot28) s[28] = FromBits(100u - AsBits(s[28]));
    if (v < 7) {
        p.framework_colors[4] = p.color;
        s[27] = 100;
        s[10] = 50;
    }
    if (v < 9) s[19] = 0;
    if (v < 19) s[5] = 57;
    if (v < 20) s[16] = 0;
    if (v < 21) s[19] = 50;
    if (v < 24) {
        s[23] = 0;
        if (read.slot0) s[0] = TruncateToInt32(s[0] / 0.3);
    }
}

// Walks the layout of a file of version v into `p`.
void ReadFields(FieldReader& in, int v, RenderParams& p, Picture* holder, bool& found, bool fix_slots) {
    int32_t* s = p.framework_ints;
    SlotsRead read;
    in.Rgb(p.color);
    in.Rgb(p.framework_colors[0]);
    in.Rgb(p.framework_colors[1]);
    read.slot0 = in.I(s[0]);
    in.Ints(s, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14});
    read.slot15 = in.I(s[15]);
    in.Ints(s, {16, 17, 18, 21, 22});
    in.Rgb(p.framework_colors[4]);
    in.Rgb(p.framework_colors[4]);  // written twice; the second copy wins
    if (v >= kSinceFrameworkColor6) {
        in.Rgb(p.framework_colors[6]);
        in.Ints(s, {19, 20});
        read.slot13 = in.I(s[13]);
    }
    if (v >= kSinceGlue) {
        in.I(p.glue_mode);
        in.SkipWord();
    }
    if (v >= kSinceSlots23) in.Ints(s, {23, 24, 26});
    if (v >= kSinceSlots27) {
        in.I(s[27]);
        read.slot28 = in.I(s[28]);
    }
    if (v >= kSinceVectors)
        for (float& f : p.framework_vectors) in.P(f);
    if (v >= kSinceSeed) in.I(p.seed);
    if (v >= kSinceSlot25) in.I(s[25]);
    if (v >= kSinceMarker2) in.SkipWord();
    if (v >= kSinceSlot29) in.I(s[29]);
    if (v >= kSinceColors23) {
        in.Rgb(p.framework_colors[2]);
        in.Rgb(p.framework_colors[3]);
    }
    if (v >= kSinceRawPicture) ReadRawPicture(in, holder, found);
    if (v >= kSinceColor5) in.Rgb(p.framework_colors[5]);
    if (fix_slots) FixFrameworkSlots(p, v, read);
    if (v >= kSincePick) {
        in.Q(p.pick_x);
        in.Q(p.pick_y);
    }
    if (v >= kSinceJpegPicture) ReadJpegPicture(in, holder, found);
    if (v >= kSincePlacement) in.Sliders(p, kSincePlacement);
    if (v >= kSinceSpin) {
        in.Sliders(p, kSinceSpin);
        in.I(p.style);
    }
    if (v >= kSinceLight)
        for (float& f : p.light_dir) in.P(f);
    if (v >= kSinceGlitter) in.Rgb(p.glitter_color);
    if (v >= kCurrentVersion) in.Sliders(p, kCurrentVersion);
}

}  // namespace

std::vector<uint8_t> EncodeSettings(RenderParams& p, const Picture* holder, bool with_picture) {
    RefreshLegacyMirrors(p);
    p.version = kCurrentVersion;
    const std::vector<uint8_t> picture = PictureStream(holder, with_picture);
    const int32_t* s = p.framework_ints;

    std::vector<uint8_t> bytes;
    BigEndianWriter w(bytes);
    w.putI32(p.version);
    PutRgb(w, p.color);
    PutRgb(w, p.framework_colors[0]);
    PutRgb(w, p.framework_colors[1]);
    PutInts(w, s, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18, 21, 22});
    PutRgb(w, p.framework_colors[4]);
    PutRgb(w, p.framework_colors[4]);
    PutRgb(w, p.framework_colors[6]);  // version 2
    PutInts(w, s, {19, 20, 13});
    w.putI32(p.glue_mode);  // version 3
    w.putI32(1);
    PutInts(w, s, {23, 24, 26, 27, 28});  // versions 4 and 5
    for (float f : p.framework_vectors) PutP(w, f);  // version 8
    w.putI32(p.seed);  // version 12
    w.putI32(s[25]);
    w.putI32(1);  // version 16
    w.putI32(s[29]);
    PutRgb(w, p.framework_colors[2]);  // version 18
    PutRgb(w, p.framework_colors[3]);
    w.putI32(0);  // version 22: the old uncompressed picture, never written now
    PutRgb(w, p.framework_colors[5]);
    PutQ(w, p.pick_x);  // version 26
    PutQ(w, p.pick_y);
    // Version 40: the picture.
    if (picture.empty()) {
        w.putI32(0);
    } else {
        w.putI32(1);
        w.putI32(kPictureSide);
        w.putI32(kPictureSide);
        w.putI32(static_cast<int32_t>(picture.size()));
        w.putBytes(picture.data(), picture.size());
    }
    PutSliders(w, p, kSincePlacement);  // horizon and offset
    PutSliders(w, p, kSinceSpin);
    w.putI32(p.style);
    for (float f : p.light_dir) PutP(w, f);  // version 43
    PutRgb(w, p.glitter_color);
    PutSliders(w, p, kCurrentVersion);  // the other nine
    return bytes;
}

void DecodeSettings(const uint8_t* data, size_t size, RenderParams& params, ReadMode mode, Picture* holder,
                    bool* picture_found) {
    bool found = false;
    FieldReader in(data, size);
    int32_t version = 0;
    if (data && in.I(version)) {
        // A newer file reads as the newest layout this program knows; the rest is ignored.
        const int v = std::min(version, kCurrentVersion);
        if (mode == ReadMode::Full) {
            params.version = v;
            ReadFields(in, v, params, holder, found, true);
            UpgradeLegacyFields(params);
        } else {
            // The same walk into a copy, so that no value of the record can change.
            RenderParams scratch;
            std::memcpy(&scratch, &params, sizeof scratch);
            ReadFields(in, v, scratch, holder, found, false);
        }
    }
    if (picture_found) *picture_found = found;
}

bool WriteSettings(const std::string& path, RenderParams& params, const Picture* holder, bool with_picture) {
    const std::vector<uint8_t> bytes = EncodeSettings(params, holder, with_picture);
    return platform::WriteFileAtomically(path, bytes.data(), bytes.size());
}

bool ReadSettings(const std::string& path, RenderParams& params, ReadMode mode, Picture* holder, bool* picture_found) {
    if (picture_found) *picture_found = false;
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) return false;
    DecodeSettings(bytes.data(), bytes.size(), params, mode, holder, picture_found);
    return true;
}

bool LoadSettings(const std::string& path, RenderParams& params, Picture* holder) {
    SetPlainSettings(params);
    return ReadSettings(path, params, ReadMode::Full, holder);
}

void CopySettingsFields(const RenderParams& from, RenderParams& to) {
    to.color = from.color;
    std::memcpy(to.framework_colors, from.framework_colors, sizeof to.framework_colors);
    std::memcpy(to.framework_ints, from.framework_ints, sizeof to.framework_ints);
    std::memcpy(to.framework_vectors, from.framework_vectors, sizeof to.framework_vectors);
    to.glitter_color = from.glitter_color;
    to.glue_mode = from.glue_mode;
    to.seed = from.seed;
    to.pick_x = from.pick_x;
    to.pick_y = from.pick_y;
    for (const SliderInfo& s : kSliders) to.*s.field = from.*s.field;
    std::memcpy(to.light_dir, from.light_dir, sizeof to.light_dir);
    to.style = from.style;
    to.version = from.version;
    std::memcpy(to.settings_name, from.settings_name, sizeof to.settings_name);
}

}  // namespace tw
