// The names of the blend modes and the ways to find a mode from text or from a scripting
// code. One table serves the dialog's list, the scripting terminology and the command line.
#include "params/blend_mode_names.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "hostapi/four_cc.h"
#include "params/name_matching.h"

namespace tw {
namespace {

constexpr uint32_t ScriptCodeOf(int mode) {
    return (uint32_t('G') << 24) | (uint32_t('L') << 16) | (uint32_t('0' + mode / 10) << 8) |
           uint32_t('0' + mode % 10);
}

constexpr BlendModeInfo Row(int mode, const char* name, bool listed = true) {
    return {mode, name, name, ScriptCodeOf(mode), listed};
}

constexpr std::array<BlendModeInfo, kBlendModeCount> kModes = {{
    Row(1, "normal"),
    Row(2, "procedural +"),
    Row(3, "procedural -"),
    Row(4, "difference"),
    Row(5, "lighten"),
    Row(6, "darken"),
    Row(7, "add"),
    Row(8, "subtract"),
    Row(9, "multiply"),
    Row(10, "screen"),
    Row(11, "hard light"),
    Row(12, "overlay"),
    Row(13, "superlay"),
    Row(14, "exclusion"),
    Row(15, "color"),
    Row(16, "luminance"),
    Row(17, "linear light"),
    Row(18, "pin light"),
    Row(19, "spin light"),
    Row(20, "vivid a"),
    Row(21, "vivid b"),
    Row(22, "saturation"),
    Row(23, "hue"),
    Row(24, "similarity"),
    Row(25, "cross"),
    // The scripting terminology has always called this one "harsh diff"; recorded actions
    // and the terminology resource depend on that spelling, so both names are kept.
    {26, "hard diff", "harsh diff", ScriptCodeOf(26), true},
    Row(27, "soft light"),
    Row(28, "bright"),
    Row(29, "dim"),
    Row(30, "dodge"),
    Row(31, "burn"),
    Row(32, "ace"),
    Row(33, "king"),
    Row(34, "queen"),
    Row(35, "jack"),
    Row(36, "and"),
    Row(37, "or"),
    Row(38, "xor"),
    Row(39, "multibright"),
    Row(40, "hot"),
    Row(41, "cold"),
    Row(42, "wet"),
    Row(43, "dry"),
    Row(44, "up"),
    Row(45, "down"),
    Row(46, "wax"),
    Row(47, "wane"),
    Row(48, "north"),
    Row(49, "south"),
    Row(50, "east"),
    Row(51, "west"),
    Row(52, "hard mix"),
    Row(53, "frontal"),
    Row(54, "parietal"),
    Row(55, "temporal"),
    Row(56, "occipital"),
    Row(57, "limbic"),
    Row(58, "dextrous"),
    Row(59, "sinister"),
    // The terminology never listed these two; a descriptor may still carry their codes.
    Row(60, "anterior", false),
    Row(61, "posterior", false),
    Row(62, "screendim"),
    Row(63, "starbright"),
    Row(64, "glow"),
    Row(65, "reflect"),
    Row(66, "shimmer"),
    Row(67, "lustre"),
    Row(68, "negation"),
    Row(69, "contrast negate"),
}};

constexpr bool RowsInOrder() {
    for (int i = 0; i < kBlendModeCount; ++i)
        if (kModes[size_t(i)].mode != i + 1) return false;
    return true;
}
static_assert(RowsInOrder(), "the mode table must be in mode order");
static_assert(ScriptCodeOf(1) == FourCC("GL01") && ScriptCodeOf(69) == FourCC("GL69"));

}  // namespace

const BlendModeInfo* blendModeTable() { return kModes.data(); }

const char* blendModeName(int mode) {
    if (mode < kFirstBlendMode || mode > kLastBlendMode) return "";
    return kModes[size_t(mode - 1)].name;
}

uint32_t blendModeScriptCode(int mode) {
    if (mode < kFirstBlendMode || mode > kLastBlendMode) return FourCC("<NO>");
    return kModes[size_t(mode - 1)].script_code;
}

int blendModeFromScriptCode(uint32_t code) {
    for (const BlendModeInfo& row : kModes)
        if (row.script_code == code) return row.mode;
    return 0;
}

std::optional<int> parseBlendMode(std::string_view text) {
    std::string key = NormaliseName(text);
    if (key.empty()) return std::nullopt;
    if (key.size() <= 3 && std::all_of(key.begin(), key.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        int mode = std::stoi(key);
        if (mode >= kFirstBlendMode && mode <= kLastBlendMode) return mode;
        return std::nullopt;
    }
    for (const BlendModeInfo& row : kModes)
        if (NormaliseName(row.name) == key || NormaliseName(row.script_name) == key) return row.mode;
    return std::nullopt;
}

std::vector<std::string> closeBlendModeNames(std::string_view text, size_t max_count) {
    std::string key = NormaliseName(text);
    struct Candidate {
        size_t distance;
        int mode;
    };
    std::vector<Candidate> found;
    if (key.empty()) return {};
    for (const BlendModeInfo& row : kModes) {
        const size_t distance =
            std::min(NameDistance(key, NormaliseName(row.name)), NameDistance(key, NormaliseName(row.script_name)));
        if (CloseEnough(distance, key.size())) found.push_back({distance, row.mode});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    std::vector<std::string> names;
    for (size_t i = 0; i < found.size() && names.size() < max_count; ++i)
        names.emplace_back(blendModeName(found[i].mode));
    return names;
}

}  // namespace tw
