// libFuzzer target: any bytes read as a settings file, in both modes, with and without a
// picture holder. Reading must never crash, hang or touch memory outside the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tw::RenderParams params;
    tw::ResetParams(params);
    tw::Picture holder;
    tw::ResetPictureToRamp(holder);
    bool found = false;
    tw::DecodeSettings(data, size, params, tw::ReadMode::Full, &holder, &found);
    tw::DecodeSettings(data, size, params, tw::ReadMode::Full, nullptr, nullptr);

    tw::RenderParams before;
    std::memcpy(&before, &params, sizeof before);
    tw::DecodeSettings(data, size, params, tw::ReadMode::ThumbnailOnly, &holder, &found);
    // The picture-only read must leave the record exactly as it was.
    if (std::memcmp(&before, &params, sizeof before) != 0) __builtin_trap();
    if (holder.rgb.size() != static_cast<size_t>(holder.width) * holder.height * 3) __builtin_trap();
    return 0;
}
