#include "gimp/last_values.h"

#include <cstdio>
#include <string>
#include <vector>

#include "gimp/parameters.h"
#include "platform/platform.h"
#include "settings/cached_settings.h"

namespace tw::gimp {
namespace {

std::string LastValuesPath() { return platform::JoinPath(platform::TempFolder(), "Tarnwell GIMP last values"); }

// The cache file's fingerprint (FNV-1a over its bytes, and its length); "" when unreadable.
std::string CacheFingerprint() {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(CachedSettingsPath(), bytes)) return "";
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    char text[64];
    std::snprintf(text, sizeof text, "cache %016llx %zu\n", static_cast<unsigned long long>(hash), bytes.size());
    return text;
}

}  // namespace

bool SaveLastValues(const RenderParams& params) {
    const std::string fingerprint = CacheFingerprint();
    if (fingerprint.empty()) return false;
    const std::string text = fingerprint + ValuesText(params);
    return platform::WriteFileAtomically(LastValuesPath(), text.data(), text.size());
}

LastValues LoadLastValues(RenderParams& params) {
    const std::string fingerprint = CacheFingerprint();
    if (fingerprint.empty()) return LastValues::kNone;
    std::vector<uint8_t> bytes;
    if (platform::ReadWholeFile(LastValuesPath(), bytes)) {
        const std::string text(bytes.begin(), bytes.end());
        std::string error;
        RenderParams exact{};
        if (text.compare(0, fingerprint.size(), fingerprint) == 0 &&
            ParamsFromValuesText(text.substr(fingerprint.size()), exact, error)) {
            params = exact;
            return LastValues::kExact;
        }
    }
    RenderParams cached = params;
    if (!LoadCachedSettings(cached)) return LastValues::kNone;
    params = cached;
    return LastValues::kCached;
}

}  // namespace tw::gimp
