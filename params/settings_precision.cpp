#include "params/settings_precision.h"

#include <climits>
#include <cmath>

namespace tw {

int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t EncodeHundredths(float value) {
    const int32_t truncated = TruncateToInt32(static_cast<double>(value) * 100.0);
    if (DecodeHundredths(truncated) == value || truncated == INT32_MAX || truncated == INT32_MIN) return truncated;
    // The float nearest k/100 may lie just short of it, toward zero; it stands for k.
    const int32_t next = value > 0 ? truncated + 1 : truncated - 1;
    return DecodeHundredths(next) == value ? next : truncated;
}

float DecodeHundredths(int32_t hundredths) { return static_cast<float>(hundredths * 0.01); }

int32_t EncodeFixed16(float value) { return TruncateToInt32(static_cast<double>(value) * 65536.0); }

float DecodeFixed16(int32_t fixed) { return static_cast<float>(fixed * (1.0 / 65536.0)); }

void RoundToSettingsPrecision(RenderParams& p) {
    for (float& f : p.light_dir) f = DecodeHundredths(EncodeHundredths(f));
    for (float& f : p.framework_vectors) f = DecodeHundredths(EncodeHundredths(f));
    p.pick_x = DecodeFixed16(EncodeFixed16(p.pick_x));
    p.pick_y = DecodeFixed16(EncodeFixed16(p.pick_y));
}

}  // namespace tw
