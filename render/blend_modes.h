// The 69 "Glue" modes that combine the rendered water (the top layer) with the host's pixel
// (the bottom layer), and the one table of their names that the dialog's list, the scripting
// terminology, settings files and the command line all share.
//
// Colours are four floats R, G, B, A, nominally 0..1. Most modes work on 15-bit fixed-point
// values (1.0 = 32768), so their results are multiples of 1/32768.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

constexpr int kFirstBlendMode = 1;   // "normal"
constexpr int kLastBlendMode = 69;   // "contrast negate"
constexpr int kBlendModeCount = kLastBlendMode - kFirstBlendMode + 1;

// One row of the mode table.
struct BlendModeInfo {
    int mode;                  // 1..69, the number settings files and RenderParams store
    const char* name;          // the text of the dialog's list and of the command line
    const char* script_name;   // the name in the scripting terminology; differs only for 26
    uint32_t script_code;      // the 'GLty' enumeration code, 'GL01'..'GL69'
    bool in_terminology;       // false for 60 and 61, which the terminology does not list
};

// All 69 modes in list order (index = mode - 1).
const BlendModeInfo* blendModeTable();

// The list name of a mode; the empty string for any number outside 1..69.
const char* blendModeName(int mode);

// The scripting enumeration code of a mode ('GLnn'), or '<NO>' outside 1..69.
uint32_t blendModeScriptCode(int mode);

// The mode of a scripting enumeration code: 'GL01'..'GL69' give 1..69, anything else 0.
int blendModeFromScriptCode(uint32_t code);

// A mode from what a user typed: a list or scripting name in any letter case, with spaces,
// underscores and word-joining hyphens ignored ("Hard-Light", "hardlight", "harsh diff"),
// or a number 1..69. Nothing when it names no mode.
std::optional<int> parseBlendMode(std::string_view text);

// Up to max_count list names that look like a mistyped `text`, closest first, for error
// messages. Empty when nothing is reasonably close.
std::vector<std::string> closeBlendModeNames(std::string_view text, size_t max_count = 3);

// Combines one pixel: top = the rendered water, bottom = the host pixel, out = the blend.
// out may be the same array as top or bottom. The output alpha is the top's, except for
// mode 63 ("starbright"), which turns the top's brightness into alpha. Mode 1 and any
// number outside 2..69 copy the top unchanged. Never allocates; safe on any thread.
void blendPixel(const float top[4], const float bottom[4], float out[4], int mode);

// The opponent colour space used by modes 54-57: a lightness channel and two opponent
// axes centred on byte 128, reached through two 16x16x16 tables of byte triples.
// Values are 15-bit (0..32768) in and out. Exposed for tests and tools.
void rgbToOpponent(const int rgb[3], int opp[3]);
void opponentToRgb(const int opp[3], int rgb[3]);

// The raw table entry of grid point (i1, i2, i3), each 0..15, as bytes.
void opponentForwardEntry(int i1, int i2, int i3, uint8_t out[3]);
void opponentInverseEntry(int i1, int i2, int i3, uint8_t out[3]);

}  // namespace tw
