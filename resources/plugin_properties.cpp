// Writing and reading the plug-in property list; see plugin_properties.h for the layout.
#include "resources/plugin_properties.h"

#include <algorithm>
#include <cstring>

#include "hostapi/four_cc.h"
#include "hostapi/host_constants.h"
#include "hostapi/resource_bytes.h"

namespace tw::resources {

const PluginProperties& TarnwellProperties() {
    static const PluginProperties properties = [] {
        PluginProperties p;
        p.kind = PIFilterKind;
        p.name = "Tarnwell 2...";
        p.category = "Quillmoth";
        p.version = PIFilterVersion;
        p.entry_point_x64 = "PluginMain";
        p.image_modes = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16,
                         plugInModeRGB48, plugInModeRGB96, plugInModeGray32};
        // Two spaces before MultichannelMode are how the rule has always been shipped;
        // editors compare the whole rule, so it stays byte for byte.
        p.enable_rule =
            "( in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, Gray32Mode, "
            "RGB96Mode) ) && (PSHOP_ImageMode !=  MultichannelMode)";
        p.enable_rule_copies = 2;
        // Every case: straight data in and out, and the host need not copy the source to
        // the destination because every pixel is written.
        for (FilterCaseInfo& c : p.filter_cases) c = {1, 1, 1, 0};
        // Class and event name the filter's recorded actions; the terminology resource
        // (id 16000, written from the scripting key table) spells out their keys.
        p.terminology = {0, FourCC("ZQW2"), FourCC("ZQW2"), 16000, "Quillmoth Tarnwell 2"};
        return p;
    }();
    return properties;
}

namespace {

using Writer = ResourceBytes;

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

size_t PaddedLength(size_t n) { return (n + 3) & ~size_t(3); }

// Properties are written with their padded length: some hosts crash on an unpadded one,
// and every reader accepts the padded form.
void AddProperty(Writer& w, uint32_t key, const std::vector<uint8_t>& data, int32_t& count) {
    const size_t padded = PaddedLength(data.size());
    w.u32(PIPhotoshopVendor);
    w.u32(key);
    w.u32(0);  // property id
    w.u32(uint32_t(padded));
    w.bytes(data.data(), data.size());
    for (size_t i = data.size(); i < padded; ++i) w.u8(0);
    ++count;
}

std::vector<uint8_t> Word(uint32_t v) {
    std::vector<uint8_t> d;
    Writer{d}.u32(v);
    return d;
}

std::vector<uint8_t> PascalString(const std::string& s) {
    const size_t n = std::min<size_t>(s.size(), 255);
    std::vector<uint8_t> d(n + 1);
    d[0] = uint8_t(n);
    std::copy_n(s.data(), n, d.begin() + 1);
    return d;
}

std::vector<uint8_t> CString(const std::string& s) {
    std::vector<uint8_t> d(s.begin(), s.end());
    d.push_back(0);
    return d;
}

// The longest image-mode number any host defines is 17 (Gray32); four bytes hold them all.
constexpr int kModeBytes = 4;

}  // namespace

std::vector<uint8_t> ImageModeBits(const std::vector<int>& modes) {
    std::vector<uint8_t> bits(kModeBytes, 0);
    for (int mode : modes)
        if (mode >= 0 && mode < kModeBytes * 8) bits[size_t(mode / 8)] |= uint8_t(0x80 >> (mode % 8));
    return bits;
}

std::vector<uint8_t> EncodePropertyList(const PluginProperties& p) {
    std::vector<uint8_t> body;
    Writer w{body};
    int32_t count = 0;
    AddProperty(w, PIKindProperty, Word(p.kind), count);
    AddProperty(w, PINameProperty, PascalString(p.name), count);
    AddProperty(w, PICategoryProperty, PascalString(p.category), count);
    AddProperty(w, PIVersionProperty, Word(uint32_t(p.version)), count);
    AddProperty(w, PIWin64X86CodeProperty, CString(p.entry_point_x64), count);
    AddProperty(w, PIImageModesProperty, ImageModeBits(p.image_modes), count);
    for (int i = 0; i < p.enable_rule_copies; ++i)
        AddProperty(w, PIEnableInfoProperty, CString(p.enable_rule), count);

    std::vector<uint8_t> cases;
    for (const FilterCaseInfo& c : p.filter_cases)
        cases.insert(cases.end(), {c.input_handling, c.output_handling, c.flags1, c.flags2});
    AddProperty(w, PIFilterCaseInfoProperty, cases, count);

    // The terminology reference is packed without gaps: version, class, event, a 16-bit
    // resource id, then the scope as a C string.
    std::vector<uint8_t> hstm;
    Writer t{hstm};
    t.u32(uint32_t(p.terminology.version));
    t.u32(p.terminology.class_id);
    t.u32(p.terminology.event_id);
    t.u16(uint16_t(p.terminology.terminology_id));
    std::vector<uint8_t> scope = CString(p.terminology.scope);
    t.bytes(scope.data(), scope.size());
    AddProperty(w, PIHasTerminologyProperty, hstm, count);

    std::vector<uint8_t> bytes;
    Writer h{bytes};
    h.u16(1);  // the leading word Windows hosts expect
    h.u32(0);  // list version
    h.u32(uint32_t(count));
    h.bytes(body.data(), body.size());
    return bytes;
}

bool ParsePropertyList(const uint8_t* bytes, size_t size, std::vector<RawProperty>& out,
                       std::string& error) {
    out.clear();
    if (size < 10) {
        error = "property list shorter than its 10-byte header";
        return false;
    }
    if (ReadU16(bytes) != 1) {
        error = "property list does not start with the word 1";
        return false;
    }
    if (ReadU32(bytes + 2) != 0) {
        error = "property list version is not 0";
        return false;
    }
    const uint32_t count = ReadU32(bytes + 6);
    size_t at = 10;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 16) {
            error = "property " + std::to_string(i) + " runs past the end of the list";
            return false;
        }
        RawProperty p;
        p.vendor = ReadU32(bytes + at);
        p.key = ReadU32(bytes + at + 4);
        p.id = int32_t(ReadU32(bytes + at + 8));
        const uint32_t length = ReadU32(bytes + at + 12);
        at += 16;
        if (length > size - at) {
            error = "property '" + FourCCText(p.key) + "' is longer than the bytes left";
            return false;
        }
        p.data.assign(bytes + at, bytes + at + length);
        // The next property starts after the data rounded up to four bytes, whether or not
        // the writer counted the padding in the length.
        at += std::min<size_t>(PaddedLength(length), size - at);
        out.push_back(std::move(p));
    }
    if (at != size) {
        error = "property list has " + std::to_string(size - at) + " bytes after its last property";
        return false;
    }
    return true;
}

namespace {

bool ReadPascal(const std::vector<uint8_t>& d, std::string& s) {
    if (d.empty() || size_t(d[0]) + 1 > d.size()) return false;
    s.assign(d.begin() + 1, d.begin() + 1 + d[0]);
    return true;
}

bool ReadCString(const uint8_t* p, size_t n, std::string& s) {
    const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, n));
    if (!end) return false;
    s.assign(reinterpret_cast<const char*>(p), size_t(end - p));
    return true;
}

bool ReadWord(const std::vector<uint8_t>& d, uint32_t& v) {
    if (d.size() < 4) return false;
    v = ReadU32(d.data());
    return true;
}

}  // namespace

bool DecodePluginProperties(const std::vector<RawProperty>& raw, PluginProperties& out,
                            std::string& error) {
    out = PluginProperties();
    for (const RawProperty& p : raw) {
        if (p.vendor != PIPhotoshopVendor) continue;
        std::string what(1, '\'');
        what += FourCCText(p.key);
        what += '\'';
        bool ok = true;
        uint32_t word = 0;
        switch (p.key) {
        case PIKindProperty:
            ok = ReadWord(p.data, out.kind);
            break;
        case PINameProperty:
            ok = ReadPascal(p.data, out.name);
            break;
        case PICategoryProperty:
            ok = ReadPascal(p.data, out.category);
            break;
        case PIVersionProperty:
            ok = ReadWord(p.data, word);
            out.version = int32_t(word);
            break;
        case PIWin64X86CodeProperty:
            ok = ReadCString(p.data.data(), p.data.size(), out.entry_point_x64);
            break;
        case PIImageModesProperty:
            out.image_modes.clear();
            for (size_t bit = 0; bit < p.data.size() * 8; ++bit)
                if (p.data[bit / 8] & (0x80 >> (bit % 8))) out.image_modes.push_back(int(bit));
            break;
        case PIEnableInfoProperty: {
            std::string rule;
            ok = ReadCString(p.data.data(), p.data.size(), rule);
            // Copies of the rule must agree; a host uses whichever it meets.
            if (ok && out.enable_rule_copies > 0 && rule != out.enable_rule) {
                error = "the 'enbl' copies differ";
                return false;
            }
            out.enable_rule = rule;
            ++out.enable_rule_copies;
            break;
        }
        case PIFilterCaseInfoProperty:
            ok = p.data.size() >= 4 * kFilterCaseCount;
            for (int i = 0; ok && i < kFilterCaseCount; ++i) {
                const uint8_t* c = p.data.data() + 4 * i;
                out.filter_cases[i] = {c[0], c[1], c[2], c[3]};
            }
            break;
        case PIHasTerminologyProperty: {
            ok = p.data.size() >= 15;
            if (!ok) break;
            const uint8_t* d = p.data.data();
            out.terminology.version = int32_t(ReadU32(d));
            out.terminology.class_id = ReadU32(d + 4);
            out.terminology.event_id = ReadU32(d + 8);
            out.terminology.terminology_id = int16_t(ReadU16(d + 12));
            ok = ReadCString(d + 14, p.data.size() - 14, out.terminology.scope);
            break;
        }
        default:
            error = "unexpected property " + what;
            return false;
        }
        if (!ok) {
            error = "malformed property " + what;
            return false;
        }
    }
    return true;
}

}  // namespace tw::resources
