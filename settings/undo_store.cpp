#include "settings/undo_store.h"

#include "platform/platform.h"
#include "settings/settings_file.h"

namespace tw {

std::string UndoFilePath(int slot) {
    return platform::JoinPath(platform::TempFolder(), slot == 0 ? "Tarnwell undo 0" : "Tarnwell undo 1");
}

void TakeSnapshot(UndoStore& store, RenderParams& params, bool with_file) {
    store.toggle ^= 1;
    UndoSlot& slot = store.slots[store.toggle];
    CopySettingsFields(params, slot.snapshot);
    slot.has_file = with_file;
    if (with_file) WriteSettings(UndoFilePath(store.toggle), params, nullptr, false);  // a failed write is skipped
    slot.valid = true;
}

bool Undo(UndoStore& store, RenderParams& params) {
    const int other = store.toggle ^ 1;
    const UndoSlot& slot = store.slots[other];
    if (!slot.valid) return false;
    CopySettingsFields(slot.snapshot, params);
    if (slot.has_file) ReadSettings(UndoFilePath(other), params, ReadMode::Full, nullptr);
    store.toggle = other;
    return true;
}

}  // namespace tw
