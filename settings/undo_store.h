// The dialog's two-slot undo. Undo swaps rather than steps back: after a change it brings
// back the state before it, and a second Undo brings the change back. Each slot holds an
// in-memory copy of the settings and, for the snapshots that ask for it, a settings file
// in the temporary folder ("Tarnwell undo 0" and "Tarnwell undo 1").
#pragma once

#include <string>

#include "params/render_params.h"

namespace tw {

struct UndoSlot {
    RenderParams snapshot;  // only the settings-file fields and the name are used
    bool valid = false;     // the slot holds a snapshot
    bool has_file = false;  // the slot's file was written with it
};

struct UndoStore {
    UndoSlot slots[2];
    int toggle = 0;  // the slot written last; 0 when the dialog is created
};

std::string UndoFilePath(int slot);

// Stores the current settings into the other slot, which becomes the last written. With
// `with_file` it also writes the slot's file, which (as every write of the record does)
// refreshes the legacy mirrors of `params` and sets its version to 45.
void TakeSnapshot(UndoStore& store, RenderParams& params, bool with_file);

// Brings back the slot not written last and makes it the last written. False, changing
// nothing, when that slot holds no snapshot. A slot with a file is also re-read from it; a
// missing file is no harm, the in-memory copy stands.
bool Undo(UndoStore& store, RenderParams& params);

}  // namespace tw
