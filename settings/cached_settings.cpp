#include "settings/cached_settings.h"

#include "platform/platform.h"
#include "settings/settings_file.h"

namespace tw {

std::string CachedSettingsPath() { return platform::JoinPath(platform::TempFolder(), "Tarnwell cached settings D"); }

bool LoadCachedSettings(RenderParams& params) {
    return ReadSettings(CachedSettingsPath(), params, ReadMode::Full, nullptr);
}

bool SaveCachedSettings(RenderParams& params) { return WriteSettings(CachedSettingsPath(), params, nullptr, false); }

}  // namespace tw
