// A small in-process host for the shell's tests: one document in memory, a FilterRecord
// whose procedures serve it (advanceState with edge replication and subsampling, handles,
// buffers, abort, progress), and counters the tests inspect. One FakeHost at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "hostapi/filter_record.h"
#include "hostapi/plugin_entry.h"
#include "shell/global_state.h"

namespace tw::test {

struct FakeHostOptions {
    int32_t width = 64, height = 64;
    int16_t planes = 3;
    int32_t depth = 8;            // 8, 16 or 32
    int16_t image_mode = 3;       // plugInModeRGBColor
    int16_t filter_case = 1;
    bool mask = false;            // offer a selection mask (filled with mask_value)
    uint8_t mask_value = 255;
    bool big_document = false;    // offer the 32-bit rectangles
    bool buffer_procs = true;     // offer buffer procedures
    char sampling = 1;            // samplingSupport
    bool display_pixels = true;
    // false: a host that cannot pad. It says so in supportsPadding and refuses (paramErr)
    // any request reaching outside the picture.
    bool padding = true;
    // The part of the picture the host asks to filter; empty: the whole picture. Its
    // top-left also becomes floatCoord, as editors set it.
    HostRect filter_rect{0, 0, 0, 0};
    bool platform_data = true;    // offer platformData (its window is always 0)
};

class FakeHost {
public:
    explicit FakeHost(const FakeHostOptions& options = {});
    ~FakeHost();

    FilterRecord& record() { return *record_; }
    intptr_t data_slot = 0;      // the host's slot for the plug-in's data handle
    int16_t result = 0;

    // The entry point called; null calls the shell linked into the test directly.
    PluginEntryProc entry = nullptr;

    // Calls the shell's entry with `selector`, as the host's thread would.
    int16_t Call(int16_t selector);
    // The editor's usual sequence: parameters (when interactive), prepare, start, continue
    // until the rectangles are empty, finish (skipped after a failed start). Returns the
    // first non-zero result.
    int16_t Run(bool interactive);

    // The document: planes interleaved, samples of `depth` bits.
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> mask;
    size_t SampleBytes() const { return options_.depth / 8; }
    size_t PixelOffset(int32_t x, int32_t y) const;
    void SetSample(int32_t x, int32_t y, int32_t plane, double value);  // in host units
    double Sample(int32_t x, int32_t y, int32_t plane) const;
    void FillPattern();  // a picture with no symmetry: channels differ, rows and columns too

    // Counters and switches.
    int advance_calls = 0;
    int refused_requests = 0;     // requests outside the picture refused by a non-padding host
    int advance_fail_at = -1;     // 0-based call that returns advance_error
    int16_t advance_error = -36;
    int abort_calls = 0;
    int abort_after = -1;         // abortProc answers true from this call on
    std::vector<int32_t> progress_done;
    int handles_created = 0, handle_locks = 0, handle_unlocks = 0;
    bool fail_new_handle = false, fail_lock = false;
    int buffers_live = 0, buffers_allocated = 0;
    bool fail_buffers = false;

    void Flush();  // commits the last output buffer into the document

    OSErr Advance();
    const FakeHostOptions& options() const { return options_; }

private:
    FakeHostOptions options_;
    std::unique_ptr<FilterRecord> record_;
    BigDocumentStruct big_{};
    HandleProcs handle_procs_{};
    BufferProcs buffer_procs_{};
    PlatformData platform_{};
    std::vector<uint8_t> in_buffer_, out_buffer_, mask_buffer_;
    HostRect out_rect_{};
    int32_t out_rate_ = 1;
    bool out_pending_ = false;

    void Fill(std::vector<uint8_t>& buffer, const HostRect& rect, int32_t lo, int32_t hi,
              int32_t rate, int32_t& row_bytes);
    bool Inside(const HostRect& rect, int32_t rate) const;
};

FakeHost* CurrentHost();

// Points the plug-in's temporary folder at a new empty folder, so a run starts without the
// cached settings an earlier run left (their file keeps fewer digits than the record).
bool UseFreshTempFolder();

}  // namespace tw::test
