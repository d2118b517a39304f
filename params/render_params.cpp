#include "params/render_params.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include "hostapi/four_cc.h"

namespace tw {

const SliderInfo kSliders[kSliderCount] = {
    {&RenderParams::horizon, "Horizon", 37, 86, FourCC("0019"), FourCC("0005"), 4, 0, 100, 50},
    {&RenderParams::offset, "Offset", 57, 91, FourCC("0020"), FourCC("0009"), 15, 0, 100, 0},
    {&RenderParams::spin, "Spin", 152, 153, FourCC("0021"), 0, -1, -90, 90, 0},
    {&RenderParams::perspective, "Perspective", 39, 85, FourCC("0029"), FourCC("0006"), 5, 0, 100, 48},
    {&RenderParams::altitude, "Altitude", 103, 104, FourCC("0030"), FourCC("0013"), 19, 0, 100, 40},
    {&RenderParams::waviness, "Waviness", 59, 92, FourCC("0031"), FourCC("0010"), 16, 0, 100, 65},
    {&RenderParams::complexity, "Complexity", 63, 94, FourCC("0032"), FourCC("0012"), 18, 0, 100, 84},
    {&RenderParams::brilliance, "Brilliance", 65, 81, FourCC("0033"), FourCC("0015"), 27, 0, 100, 40},
    {&RenderParams::blur, "Blur", 61, 93, FourCC("0034"), FourCC("0011"), 17, 0, 100, 0},
    {&RenderParams::size, "Size", 55, 90, FourCC("0035"), FourCC("0008"), 14, 0, 100, 88},
    {&RenderParams::height, "Height", 12, 79, FourCC("0036"), FourCC("0004"), 0, 0, 100, 20},
    {&RenderParams::undulation, "Undulation", 51, 83, FourCC("0037"), FourCC("0007"), 10, 0, 100, 40},
};

void SetText(char (&field)[kTextLength], const char* text) {
    std::strncpy(field, text ? text : "", kTextLength - 1);
    field[kTextLength - 1] = '\0';
}

void SetPlainSettings(RenderParams& p) {
    p.color = kPlainColor;
    p.glitter_color = kPlainGlitterColor;
    for (const SliderInfo& s : kSliders) p.*s.field = s.plain;
    p.seed = kPlainSeed;
    // Two framework vectors that only settings files carry; the first is a unit vector.
    const float vectors[6] = {-0.68f, -0.68f, static_cast<float>(std::sqrt(0.0752)), 0.0f, -1.0f, 0.0f};
    std::memcpy(p.framework_vectors, vectors, sizeof vectors);
    p.glue_mode = 1;
    p.pick_x = kPlainPickX;
    p.pick_y = kPlainPickY;
    p.style = kStyleComplex;
    std::memcpy(p.light_dir, kPlainLightDir, sizeof p.light_dir);
    p.framework_ints[13] = 0;
    p.framework_ints[29] = 0;
}

void ResetParams(RenderParams& p) {
    p.reset_marker = 1;
    p.live_preview = 0;
    p.zoom = 1;
    p.render_mode = kRenderFinal;
    p.glue_mode = 1;
    p.version = kResetVersion;
    p.gallery_working = 0;
    std::memset(p.dialog_ints, 0, sizeof p.dialog_ints);
    p.hover_control = 0;
    p.mouse_buttons = 0;
    SetText(p.settings_name, "Tarnwell settings");
    SetPlainSettings(p);
}

void UpgradeLegacyFields(RenderParams& p) {
    const int v = p.version;
    if (v < 1 || v > 44) return;
    for (const SliderInfo& s : kSliders) {
        if (s.mirror_slot < 0) continue;
        const bool placement = s.field == &RenderParams::horizon || s.field == &RenderParams::offset;
        // Horizon and offset became floats at version 41, the other nine at version 45.
        if (placement ? v <= 40 : v <= 44) p.*s.field = static_cast<float>(p.framework_ints[s.mirror_slot]);
    }
    p.glitter_color = Rgb16{0xFFFF, 0xFFFF, 0xFFFF};
}

void RefreshLegacyMirrors(RenderParams& p) {
    for (const SliderInfo& s : kSliders) {
        if (s.mirror_slot < 0 || s.field == &RenderParams::horizon || s.field == &RenderParams::offset) continue;
        const float value = p.*s.field;
        // Truncation toward zero, as old readers expect; out-of-range values saturate.
        int32_t mirror = 0;
        if (std::isfinite(value)) mirror = static_cast<int32_t>(std::fmax(-2147483520.0f, std::fmin(value, 2147483520.0f)));
        p.framework_ints[s.mirror_slot] = mirror;
    }
}

const SliderInfo* FindSlider(const char* label) {
    for (const SliderInfo& s : kSliders)
        if (::strcasecmp(s.label, label) == 0) return &s;
    return nullptr;
}

}  // namespace tw
