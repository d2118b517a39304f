// Inside the substitute host: the session's state, shared by its source files. Not for
// use outside host/.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "host/host_session.h"

namespace tw::host {

// A movable block as the handle procedures hand it out. The data pointer comes first, so
// the Handle (a pointer to this record) dereferences to the block's bytes as plug-ins expect.
struct HostHandle {
    char* data = nullptr;
    int32_t size = 0;
    int32_t capacity = 0;
    int lock_count = 0;
};

struct HostBuffer {
    uint8_t* data = nullptr;
    int64_t size = 0;
};

// Where one buffer handed to the plug-in came from, so its content can be stored back
// even after the plug-in has moved on to other rectangles.
struct BufferWindow {
    bool active = false;
    VRect rect{};      // requested rectangle (reduced coordinates when the rate is not 1)
    int lo_plane = 0;
    int hi_plane = -1;
    int32_t row_bytes = 0;
};

// The pixels one request reads from: interleaved samples of `planes` planes.
struct PlaneSource {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int planes = 0;
    int depth = 8;
};

struct HostSession::Impl {
    FilterRecord record{};
    BigDocumentStruct big{};
    HandleProcs handle_procs{};
    BufferProcs buffer_procs{};
    SPBasicSuite basic_suite{};
    PlatformData platform_data{};
    Str255 error_string{};
    intptr_t data_slot = 0;

    std::set<HostHandle*> handles;
    std::set<HostBuffer*> buffers;
    int64_t buffer_bytes = 0;

    Document* document = nullptr;
    // The picture as it was when the run began, copied only when the plug-in first asks for
    // an output buffer: a run that only reads (an export's source loading) needs no copy.
    std::vector<uint8_t> source;
    bool source_kept = false;  // `source` holds that copy; until then the document is it
    HostEvents events;
    RunStats stats;

    std::vector<uint8_t> in_buffer, out_buffer, mask_buffer;
    BufferWindow out_window;
    std::vector<int32_t> column_map;  // reused per request: no allocation per pixel

    HostSession* owner = nullptr;
    bool pads = true;  // edge padding offered; off: requests must stay inside the picture

    ~Impl();
};

// The session the host's procedures serve. The interface passes no context to them, so
// exactly one session is current while a plug-in runs (editors are the same).
extern HostSession::Impl* gCurrent;

// Largest buffer one request may ask for; beyond it advanceState reports out of memory
// instead of trying to allocate whatever a wild rectangle implies.
constexpr int64_t kMaxRequestBytes = int64_t(1) << 31;
// Memory the buffer procedures offer in all.
constexpr int64_t kBufferBudget = int64_t(1) << 30;

void InstallMemoryProcs(HostSession::Impl& impl);
void ReleaseAllMemory(HostSession::Impl& impl);

// Fills `buffer` with the rectangle `rect` (in coordinates reduced by `rate`) of planes
// lo..hi of `source`, padding outside the picture as `padding` asks, and sets `row_bytes`
// to the stride used. Returns noErr or the host code of the failure.
OSErr FillRequest(const PlaneSource& source, const VRect& rect, int lo, int hi, Fixed rate,
                  int16_t padding, std::vector<uint8_t>& buffer, std::vector<int32_t>& column_map,
                  int32_t& row_bytes);

}  // namespace tw::host
