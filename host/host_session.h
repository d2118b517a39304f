// The substitute host: a FilterRecord served from an in-memory document, with the handle,
// buffer, progress, abort, pixel-display and advance-state services a plug-in calls, and
// the selector sequence an editor runs. One session is one editor: the plug-in's two kept
// blocks (the parameters handle and the data slot) live here from one run to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/document.h"
#include "hostapi/filter_record.h"
#include "hostapi/host_constants.h"
#include "hostapi/plugin_entry.h"

namespace tw::host {

// What the front end hears during a run. Both calls come on the host's thread.
struct HostEvents {
    void (*progress)(void* context, int32_t done, int32_t total) = nullptr;
    bool (*abort)(void* context) = nullptr;  // true: the user wants the run stopped
    void* context = nullptr;
};

struct RunOptions {
    bool interactive = false;  // send the parameters selector first, as a menu invocation does
    // The editor's window the plug-in's dialogs belong to (platformData's first word: an
    // HWND on Windows); 0 for none.
    intptr_t parent_window = 0;
    // Called once the record is filled, before the first selector: where a front end adds
    // what the session does not serve itself (the scripting descriptors of host/descriptor.h).
    void (*prepare_record)(FilterRecord& record, void* context) = nullptr;
    void* prepare_context = nullptr;
};

// Counts kept for tests and diagnostics.
struct RunStats {
    int advance_calls = 0;
    int continue_calls = 0;
    int progress_calls = 0;
    int display_calls = 0;
    int32_t last_done = 0;
    int32_t last_total = 0;
    // Steady-clock seconds (SteadySeconds) of the first advanceState, of the first that asked
    // for more than one pixel of output (a filter's first tile, after it loaded its source),
    // and of the last; 0 when there was none. For `TARNWELL_TIMINGS`.
    double first_request = 0, first_tile = 0, last_request = 0;
};

// Seconds on a steady clock, for timings.
double SteadySeconds();

struct RunOutcome {
    OSErr result = noErr;      // the plug-in's result code, or the host's own failure
    int16_t selector = -1;     // the selector that reported it (-1: none)
    std::string message;       // extra text: the plug-in's error string or the host's reason
};

// The published meaning of a host result code, for messages ("cancelled" for -128).
std::string DescribeResult(OSErr result);

// The signature this host writes into `hostSig`.
constexpr OSType kHostSignature = FourCC("TWHS");
// Upper bound on continue calls in one run: a plug-in that never empties its rectangles
// is stopped instead of hanging the host.
constexpr int kMaxContinueCalls = 1 << 20;

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // One whole filter run over `document`, which holds the result afterwards. The
    // sequence is (parameters), prepare, start, continue until the rectangles are empty,
    // finish; finish follows only a start that succeeded, as editors do.
    RunOutcome Apply(PluginEntryProc entry, Document& document, const HostEvents& events,
                     const RunOptions& options = {});

    // The steps Apply is made of, for tests and for commands that need other sequences.
    // BeginRun fills the record for `document`; EndRun stores any output still pending.
    void BeginRun(Document& document, const HostEvents& events);
    OSErr CallSelector(PluginEntryProc entry, int16_t selector);
    OSErr AdvanceState();
    void CommitOutput();
    bool RectanglesEmpty() const;
    void EndRun();

    // Whether this host pads (on by default, kept from run to run, as an editor's own
    // property). Without padding it says so in `supportsPadding` and, as a strict editor
    // does, refuses with paramErr any request reaching outside the picture.
    void SetPadding(bool pads);

    FilterRecord& record();
    BigDocumentStruct& big_document();
    intptr_t& data_slot();
    const RunStats& stats() const;
    size_t live_handles() const;
    size_t live_buffers() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw::host
