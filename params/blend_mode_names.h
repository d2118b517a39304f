// The 69 "Glue" modes by name: the one table of their numbers, names and scripting codes
// that the dialog's list, the scripting terminology, settings files and the command line
// share, and the ways to find a mode from text or from a scripting code. How a mode
// combines two pixels is the renderer's (render/blend_modes.h).
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

}  // namespace tw
