#include "params/render_params.h"

#include <cmath>
#include <cstring>

#include "params/parameter_table.h"
#include "params/settings_precision.h"

namespace tw {

void SetText(char (&field)[kTextLength], const char* text) {
    std::strncpy(field, text ? text : "", kTextLength - 1);
    field[kTextLength - 1] = '\0';
}

void SetPlainSettings(RenderParams& p) {
    for (const ParameterInfo& row : kParameters) SetPlainValue(p, row);
    // Two framework vectors that only settings files carry; the first is a unit vector.
    const float vectors[6] = {-0.68f, -0.68f, static_cast<float>(std::sqrt(0.0752)), 0.0f, -1.0f, 0.0f};
    std::memcpy(p.framework_vectors, vectors, sizeof vectors);
    p.framework_ints[13] = 0;
    p.framework_ints[29] = 0;
    RoundToSettingsPrecision(p);  // the vectors, as a file keeps them
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
    // A file older than the block that added a slider's float kept it in its legacy slot.
    for (const SliderInfo& s : kSliders)
        if (s.mirror_slot >= 0 && v < s.file_version) p.*s.field = static_cast<float>(p.framework_ints[s.mirror_slot]);
    p.glitter_color = Rgb16{0xFFFF, 0xFFFF, 0xFFFF};
}

void RefreshLegacyMirrors(RenderParams& p) {
    for (const SliderInfo& s : kSliders) {
        if (!s.mirror_refreshed) continue;
        const float value = p.*s.field;
        // Truncation toward zero, as old readers expect; out-of-range values saturate.
        int32_t mirror = 0;
        if (std::isfinite(value)) mirror = static_cast<int32_t>(std::fmax(-2147483520.0f, std::fmin(value, 2147483520.0f)));
        p.framework_ints[s.mirror_slot] = mirror;
    }
}

}  // namespace tw
