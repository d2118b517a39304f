// The ring of 25 memory dots around the picture well. A dot is a quick-save slot: an
// ordinary settings file with its picture in the temporary folder (MemoryDotPath), so dots
// outlive the dialog; the keep flags (the map file, dot_map.h) say which dots show as
// filled at the next start. The ring decides everything a click or a hover does and reports
// what changed; the dialog records undo states, renders, shows names and repaints from
// that report, and draws nothing that the ring has not told it about.
#pragma once

#include <cstdint>

#include "params/render_params.h"
#include "settings/dot_map.h"
#include "settings/picture.h"

namespace tw {

constexpr int kScratchDot = 25;       // the batch refresh's copy of the user's settings
constexpr int kWellPictureSide = 88;  // the well shows a dot's picture at 88 x 88

// What a dot shows.
enum DotState : int32_t {
    kDotEmpty = 0,    // nothing stored in this run (its file may still be on disk)
    kDotFilled = 1,   // holds settings
    kDotCurrent = 2,  // holds the settings last stored or recalled; at most one dot is current
};

struct MemoryDotRing {
    int32_t state[kMemoryDotCount] = {};  // DotState per dot
    DotKeepFlags keep = {};               // non-zero: show filled at the next start
    int32_t last_dot = -1;   // the dot the well refers to: a left click on the well recalls it
    int32_t shown_dot = -1;  // the dot whose picture the well shows
    Picture well;            // 88 x 88 while the well shows a picture, else empty
};

// What the dot operations work on, all owned by the dialog. `holder` is the settings
// picture holder that Save, Load and the preset browser share (it starts as the ramp);
// `preview` is the picture a store captures, the preview as the dialog shows it. An empty
// preview (no preview in this host) captures nothing, and the holder's picture is stored.
struct DotContext {
    RenderParams* params = nullptr;
    Picture* holder = nullptr;
    PlanarView preview;
};

// Bit i set: dot i must be repainted.
using DotMask = uint32_t;
constexpr DotMask DotBit(int dot) { return DotMask{1} << dot; }
constexpr DotMask kAllDots = (DotMask{1} << kMemoryDotCount) - 1;

// ---- The operations ---------------------------------------------------------------------

// Captures the preview into the holder, writes dot file `dot` with its picture, makes the dot
// current (the previous current dot becomes filled) and shows its picture in the well; last
// and shown dot become `dot`. The keep flag is the caller's. False when the file could not
// be written: the dot is still shown filled and current, the well then shows the capture.
// Also false, doing nothing, for a dot outside 0..24.
bool StoreDot(MemoryDotRing& ring, int dot, DotContext& context);

// Names the settings "dot N" (N = dot + 1), reads dot file `dot` in full over the current
// settings (no reset to the plain settings first: fields an older file lacks keep their
// values) and makes the dot current. The well keeps its picture. False when the file could
// not be read: the settings are then unchanged but still renamed, and the dot still current.
// Ignored (false, nothing changes) for a dot outside 0..24.
bool RecallDot(MemoryDotRing& ring, int dot, DotContext& context);

// The dot shows empty and is not kept; the well is emptied and refers to no dot. The file
// stays on disk.
void ClearDot(MemoryDotRing& ring, int dot);

// Resets the holder to its ramp, then reads only the picture of dot file `dot` into it; when
// the file has one, the well shows it at 88 x 88. False when the file is missing or has no
// picture: the well is then unchanged.
bool ShowDotPicture(MemoryDotRing& ring, int dot, Picture& holder);

// The well shows nothing and refers to no dot. True when that changed anything.
bool EmptyWell(MemoryDotRing& ring);

// ---- What the dialog runs -----------------------------------------------------------------

// Which thing happened.
enum class DotEvent : int32_t {
    kNothing,           // nothing changed that needs an undo state, a render or a name
    kStored,            // the settings were stored in `dot`
    kRecalled,          // `dot`'s settings were read into the record (name "dot N")
    kCleared,           // `dot` now shows empty and is not kept
    kUnkept,            // `dot` stays filled for now but is not kept for the next start
    kGalleryRequested,  // the dialog should write the memory-dots page
    kRefreshRequested,  // the dialog should run the batch picture refresh
};

struct DotOutcome {
    DotEvent event = DotEvent::kNothing;
    int32_t dot = -1;         // the dot the event is about, or -1
    bool file_ok = true;      // kStored: the file was written; kRecalled: it was read
    DotMask repaint_dots = 0;
    bool repaint_well = false;
};

// The dialog opens: every dot shows empty and the well is emptied; the dots whose `keep` flag
// is set show filled; then the opening settings are stored into the first dot that is not
// kept (it stays not kept, so it shows filled only until the next start). With all 25 kept
// nothing is stored (event kNothing). Every dot and the well are to be repainted.
DotOutcome OpenDotRing(MemoryDotRing& ring, const DotKeepFlags& keep, DotContext& context);

// After a command other than a dot click that recorded an undo state (and after Undo), the
// settings no longer match the current dot: it goes back to filled. Returns the dots to
// repaint (none when no dot was current).
DotMask ReleaseCurrentDot(MemoryDotRing& ring);

// The user's actions on the ring and the well.
enum class DotInput : int32_t {
    kLeftClick,       // on dot `dot`
    kRightClick,      // on dot `dot`
    kHover,           // the pointer moved over dot `dot` with nothing captured
    kWellLeftClick,
    kWellRightClick,
};

// One user action, with Control as it was held at the press:
//   left or right click on an empty dot   keep = 1 (0 with Control), then StoreDot
//   left click on a filled dot            RecallDot (Control: keep = 0 only, event kUnkept)
//   right click on a filled dot           ClearDot
//   hover over an empty dot               the well is emptied
//   hover over a filled dot not shown     ShowDotPicture; last and shown dot = that dot
//   left click on the well                RecallDot (last dot); nothing when there is none
//                                         (Control: kRefreshRequested)
//   right click on the well               kGalleryRequested
// A dot index outside 0..24 does nothing.
DotOutcome HandleDotInput(MemoryDotRing& ring, DotInput input, int dot, bool control, DotContext& context);

// The resource id of the picture dot `dot` is drawn with: a base by state and keep flag
// (filled 331 or 337 when kept, current 333 or 339, empty 341), plus 0 while the dot is
// pressed under the pointer, else 1.
int32_t DotPictureId(const MemoryDotRing& ring, int dot, bool pressed);

}  // namespace tw
