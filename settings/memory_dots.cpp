#include "settings/memory_dots.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "settings/settings_file.h"

namespace tw {

namespace {

bool ValidDot(int dot) { return dot >= 0 && dot < kMemoryDotCount; }

// The previous current dot goes back to filled; `dot` becomes current.
void MakeCurrent(MemoryDotRing& ring, int dot) {
    for (int32_t& state : ring.state)
        if (state == kDotCurrent) state = kDotFilled;
    ring.state[dot] = kDotCurrent;
}

bool SameWell(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

// What a repaint needs after an operation: the dots whose look changed and whether the
// well's picture did.
struct RingBefore {
    int32_t state[kMemoryDotCount];
    DotKeepFlags keep;
    Picture well;

    explicit RingBefore(const MemoryDotRing& ring) : well(ring.well) {
        std::copy(std::begin(ring.state), std::end(ring.state), state);
        std::copy(std::begin(ring.keep), std::end(ring.keep), keep);
    }
    void Compare(const MemoryDotRing& ring, DotOutcome& outcome) const {
        for (int i = 0; i < kMemoryDotCount; ++i)
            if (state[i] != ring.state[i] || (keep[i] != 0) != (ring.keep[i] != 0)) outcome.repaint_dots |= DotBit(i);
        outcome.repaint_well = !SameWell(well, ring.well);
    }
};

DotOutcome Recall(MemoryDotRing& ring, int dot, DotContext& context) {
    DotOutcome outcome;
    outcome.event = DotEvent::kRecalled;
    outcome.dot = dot;
    outcome.file_ok = RecallDot(ring, dot, context);
    return outcome;
}

// A click on dot `dot` (left or right).
DotOutcome ClickDot(MemoryDotRing& ring, int dot, bool right, bool control, DotContext& context) {
    DotOutcome outcome;
    outcome.dot = dot;
    if (ring.state[dot] == kDotEmpty) {
        ring.keep[dot] = control ? 0 : 1;
        outcome.event = DotEvent::kStored;
        outcome.file_ok = StoreDot(ring, dot, context);
    } else if (right) {
        ClearDot(ring, dot);
        outcome.event = DotEvent::kCleared;
    } else if (control) {
        ring.keep[dot] = 0;
        outcome.event = DotEvent::kUnkept;
    } else {
        outcome = Recall(ring, dot, context);
    }
    return outcome;
}

void Hover(MemoryDotRing& ring, int dot, DotContext& context) {
    if (ring.state[dot] == kDotEmpty) {
        EmptyWell(ring);
    } else if (dot != ring.shown_dot) {
        ShowDotPicture(ring, dot, *context.holder);
        ring.last_dot = ring.shown_dot = dot;
    }
}

}  // namespace

bool StoreDot(MemoryDotRing& ring, int dot, DotContext& context) {
    if (!ValidDot(dot)) return false;
    Picture& holder = *context.holder;
    // An empty preview captures nothing; the holder's picture is stored as it is.
    CapturePicture(context.preview, holder);
    const bool written = WriteSettings(MemoryDotPath(dot), *context.params, &holder, true);
    MakeCurrent(ring, dot);
    // The well shows what the file now holds; when it could not be written, an older file
    // of the same dot must not be shown, so the capture itself is.
    if (!written || !ShowDotPicture(ring, dot, holder)) {
        Picture well;
        if (ScalePicture(holder, well, kWellPictureSide, kWellPictureSide)) ring.well = std::move(well);
    }
    ring.last_dot = ring.shown_dot = dot;
    return written;
}

bool RecallDot(MemoryDotRing& ring, int dot, DotContext& context) {
    if (!ValidDot(dot)) return false;
    RenderParams& params = *context.params;
    char name[32];
    std::snprintf(name, sizeof name, "dot %d", dot + 1);
    SetText(params.settings_name, name);
    const bool read = ReadSettings(MemoryDotPath(dot), params, ReadMode::Full, context.holder);
    MakeCurrent(ring, dot);
    return read;
}

void ClearDot(MemoryDotRing& ring, int dot) {
    if (!ValidDot(dot)) return;
    ring.state[dot] = kDotEmpty;
    ring.keep[dot] = 0;
    EmptyWell(ring);
}

bool ShowDotPicture(MemoryDotRing& ring, int dot, Picture& holder) {
    if (!ValidDot(dot)) return false;
    ResetPictureToRamp(holder);
    RenderParams untouched{};  // a thumbnail-only read changes no value
    bool found = false;
    if (!ReadSettings(MemoryDotPath(dot), untouched, ReadMode::ThumbnailOnly, &holder, &found) || !found)
        return false;
    Picture well;
    if (!ScalePicture(holder, well, kWellPictureSide, kWellPictureSide)) return false;
    ring.well = std::move(well);
    return true;
}

bool EmptyWell(MemoryDotRing& ring) {
    const bool changed = !ring.well.empty() || ring.last_dot != -1 || ring.shown_dot != -1;
    ring.well = Picture{};
    ring.last_dot = ring.shown_dot = -1;
    return changed;
}

DotOutcome OpenDotRing(MemoryDotRing& ring, const DotKeepFlags& keep, DotContext& context) {
    for (int i = 0; i < kMemoryDotCount; ++i) {
        ring.keep[i] = keep[i];
        ring.state[i] = keep[i] != 0 ? kDotFilled : kDotEmpty;
    }
    EmptyWell(ring);

    DotOutcome outcome;
    outcome.repaint_dots = kAllDots;
    outcome.repaint_well = true;
    for (int i = 0; i < kMemoryDotCount; ++i) {
        if (ring.keep[i] != 0) continue;
        outcome.event = DotEvent::kStored;
        outcome.dot = i;
        outcome.file_ok = StoreDot(ring, i, context);
        break;
    }
    return outcome;
}

DotMask ReleaseCurrentDot(MemoryDotRing& ring) {
    DotMask changed = 0;
    for (int i = 0; i < kMemoryDotCount; ++i) {
        if (ring.state[i] != kDotCurrent) continue;
        ring.state[i] = kDotFilled;
        changed |= DotBit(i);
    }
    return changed;
}

DotOutcome HandleDotInput(MemoryDotRing& ring, DotInput input, int dot, bool control, DotContext& context) {
    const RingBefore before(ring);
    DotOutcome outcome;
    switch (input) {
        case DotInput::kLeftClick:
        case DotInput::kRightClick:
            if (ValidDot(dot)) outcome = ClickDot(ring, dot, input == DotInput::kRightClick, control, context);
            break;
        case DotInput::kHover:
            if (ValidDot(dot)) Hover(ring, dot, context);
            break;
        case DotInput::kWellLeftClick:
            if (control) outcome.event = DotEvent::kRefreshRequested;
            else if (ValidDot(ring.last_dot)) outcome = Recall(ring, ring.last_dot, context);
            break;
        case DotInput::kWellRightClick:
            outcome.event = DotEvent::kGalleryRequested;
            break;
    }
    before.Compare(ring, outcome);
    return outcome;
}

int32_t DotPictureId(const MemoryDotRing& ring, int dot, bool pressed) {
    int32_t base = 341;
    if (ValidDot(dot)) {
        const bool kept = ring.keep[dot] != 0;
        if (ring.state[dot] == kDotFilled) base = kept ? 337 : 331;
        if (ring.state[dot] == kDotCurrent) base = kept ? 339 : 333;
    }
    return base + (pressed ? 0 : 1);
}

}  // namespace tw
