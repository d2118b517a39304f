// The dialog's part of the memory dots and the preset batch: the ring and the batch's state,
// which settings/ own the rules of. Inside the model only.
#pragma once

#include "settings/memory_dots.h"
#include "settings/preset_refresh.h"

namespace tw {

struct DialogDots {
    MemoryDotRing ring;
    PresetRefreshState refresh;
};

}  // namespace tw
