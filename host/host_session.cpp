// The filter record, the host procedures that need the document (advanceState, progress,
// abort, pixel display) and the selector sequence of one run.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "host/host_window.h"
#include "host/session_impl.h"

namespace tw::host {

HostSession::Impl* gCurrent = nullptr;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

bool IsEmpty(const VRect& r) { return r.bottom <= r.top || r.right <= r.left; }

VRect Widen(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

int16_t Clamp16(int32_t value) { return int16_t(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)); }

Rect Narrow(const VRect& r) {
    return {Clamp16(r.top), Clamp16(r.left), Clamp16(r.bottom), Clamp16(r.right)};
}

// The rectangle the plug-in asked for: the 32-bit one once it said it uses them.
VRect Requested(const HostSession::Impl& s, const Rect& small, const VRect& big) {
    return s.big.PluginUsing32BitCoordinates ? big : Widen(small);
}

Boolean AbortProc() {
    if (!gCurrent || !gCurrent->events.abort) return kFalse;
    return gCurrent->events.abort(gCurrent->events.context) ? kTrue : kFalse;
}

void ProgressProc(int32_t done, int32_t total) {
    if (!gCurrent) return;
    RunStats& stats = gCurrent->stats;
    ++stats.progress_calls;
    stats.last_done = done;
    stats.last_total = total;
    if (gCurrent->events.progress) gCurrent->events.progress(gCurrent->events.context, done, total);
}

// Draws into the device context the plug-in passes (its dialog's, on Windows); counted so
// tests can see the calls.
OSErr DisplayPixelsProc(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column, void* device) {
    if (!gCurrent) return paramErr;
    if (!source || !rect) return paramErr;
    ++gCurrent->stats.display_calls;
    return DrawPixelMap(*source, *rect, row, column, device);
}

OSErr Fetch(HostSession::Impl& s);

// When the requests came, for the timings: whether this one asks for a tile of output.
void NoteRequest(HostSession::Impl& s) {
    const VRect out = Requested(s, s.record.outRect, s.big.outRect32);
    const bool tile = !IsEmpty(out) && (int64_t(out.bottom) - out.top) * (int64_t(out.right) - out.left) > 1;
    RunStats& stats = s.stats;
    stats.last_request = SteadySeconds();
    if (stats.first_request == 0) stats.first_request = stats.last_request;
    if (tile && stats.first_tile == 0) stats.first_tile = stats.last_request;
}

OSErr AdvanceStateProc() {
    if (!gCurrent || !gCurrent->document) return errPlugInHostInsufficient;
    ++gCurrent->stats.advance_calls;
    NoteRequest(*gCurrent);
    gCurrent->owner->CommitOutput();
    return Fetch(*gCurrent);
}

OSErr CheckPlanes(int lo, int hi, int planes) {
    return lo < 0 || hi >= planes ? paramErr : noErr;
}

// A host that does not pad takes only requests inside the picture: at a 16.16 `rate`, the
// last row and column requested must still start inside it (as ScaleDown maps them).
OSErr CheckInside(const HostSession::Impl& s, const VRect& rect, Fixed rate, const Document& doc) {
    if (s.pads) return noErr;
    const bool inside = rect.top >= 0 && rect.left >= 0 &&
                        ((int64_t(rect.bottom) - 1) * rate) >> 16 < doc.height &&
                        ((int64_t(rect.right) - 1) * rate) >> 16 < doc.width;
    return inside ? noErr : paramErr;
}

OSErr Fetch(HostSession::Impl& s) {
    FilterRecord& r = s.record;
    Document& doc = *s.document;
    r.inData = r.outData = r.maskData = nullptr;
    r.inRowBytes = r.outRowBytes = r.maskRowBytes = 0;
    s.out_window.active = false;
    int32_t row_bytes = 0;
    size_t sample = doc.SampleBytes();

    VRect in = Requested(s, r.inRect, s.big.inRect32);
    if (!IsEmpty(in) && r.inLoPlane <= r.inHiPlane) {
        if (OSErr e = CheckPlanes(r.inLoPlane, r.inHiPlane, doc.Planes())) return e;
        if (r.inputRate <= 0) return paramErr;
        if (OSErr e = CheckInside(s, in, r.inputRate, doc)) return e;
        const uint8_t* original = s.source_kept ? s.source.data() : doc.pixels.data();
        PlaneSource picture{original, doc.width, doc.height, doc.Planes(), doc.depth};
        OSErr e = FillRequest(picture, in, r.inLoPlane, r.inHiPlane, r.inputRate, r.inputPadding,
                              s.in_buffer, s.column_map, row_bytes);
        if (e) return e;
        r.inData = s.in_buffer.data();
        r.inRowBytes = row_bytes;
        r.inColumnBytes = int32_t(sample) * (r.inHiPlane - r.inLoPlane + 1);
        r.inPlaneBytes = int32_t(sample);
    }

    VRect out = Requested(s, r.outRect, s.big.outRect32);
    if (!IsEmpty(out) && r.outLoPlane <= r.outHiPlane) {
        if (OSErr e = CheckPlanes(r.outLoPlane, r.outHiPlane, doc.Planes())) return e;
        if (OSErr e = CheckInside(s, out, Fixed(0x10000), doc)) return e;
        // Output will change the document from here on: keep the picture as it was first,
        // for the input requests and the selection's blending.
        if (!s.source_kept) {
            try {
                s.source = doc.pixels;
            } catch (const std::bad_alloc&) {
                return memFullErr;
            }
            s.source_kept = true;
        }
        PlaneSource target{doc.pixels.data(), doc.width, doc.height, doc.Planes(), doc.depth};
        OSErr e = FillRequest(target, out, r.outLoPlane, r.outHiPlane, Fixed(0x10000),
                              r.outputPadding, s.out_buffer, s.column_map, row_bytes);
        if (e) return e;
        r.outData = s.out_buffer.data();
        r.outRowBytes = row_bytes;
        r.outColumnBytes = int32_t(sample) * (r.outHiPlane - r.outLoPlane + 1);
        r.outPlaneBytes = int32_t(sample);
        s.out_window = {true, out, r.outLoPlane, r.outHiPlane, row_bytes};
    }

    VRect mask = Requested(s, r.maskRect, s.big.maskRect32);
    if (doc.HasMask() && !IsEmpty(mask)) {
        if (r.maskRate <= 0) return paramErr;
        if (OSErr e = CheckInside(s, mask, r.maskRate, doc)) return e;
        PlaneSource selection{doc.mask.data(), doc.width, doc.height, 1, 8};
        OSErr e = FillRequest(selection, mask, 0, 0, r.maskRate, r.maskPadding, s.mask_buffer,
                              s.column_map, row_bytes);
        if (e) return e;
        r.maskData = s.mask_buffer.data();
        r.maskRowBytes = row_bytes;
    }
    return noErr;
}

void FillRecord(HostSession::Impl& s, const Document& doc) {
    FilterRecord& r = s.record;
    Handle kept_parameters = r.parameters;
    r = FilterRecord{};
    r.parameters = kept_parameters;

    VRect whole{0, 0, doc.height, doc.width};
    s.big = BigDocumentStruct{};
    s.big.imageSize32 = {doc.height, doc.width};
    s.big.filterRect32 = whole;
    s.big.wholeSize32 = {doc.height, doc.width};

    r.abortProc = AbortProc;
    r.progressProc = ProgressProc;
    r.imageSize = {Clamp16(doc.height), Clamp16(doc.width)};
    r.planes = int16_t(doc.Planes());
    r.filterRect = Narrow(whole);
    r.background = {65535, 65535, 65535};
    r.foreground = {0, 0, 0};
    std::memset(r.backColor, 255, sizeof r.backColor);
    r.maxSpace = int32_t(kBufferBudget);
    r.inHiPlane = r.outHiPlane = -1;  // nothing requested yet
    r.haveMask = doc.HasMask() ? kTrue : kFalse;
    r.autoMask = r.haveMask;  // the host masks output unless the plug-in takes it over
    r.hostSig = kHostSignature;
    r.imageMode = doc.ImageMode();
    r.imageHRes = r.imageVRes = Fixed(72 << 16);
    r.wholeSize = r.imageSize;
    r.platformData = &s.platform_data;
    r.bufferProcs = &s.buffer_procs;
    r.displayPixels = DisplayPixelsProc;
    r.handleProcs = &s.handle_procs;
    r.filterCase = doc.FilterCase();
    r.advanceState = AdvanceStateProc;
    r.supportsPadding = s.pads ? kTrue : kFalse;
    r.inputPadding = r.outputPadding = r.maskPadding = plugInDoesNotWantPadding;
    r.samplingSupport = hostSupportsIntegralSampling;
    r.inputRate = r.maskRate = Fixed(0x10000);

    int16_t colour = int16_t(doc.colour_planes);
    int16_t layer = doc.transparency ? colour : 0;
    int16_t transparency = doc.transparency ? 1 : 0;
    int16_t flat = doc.transparency ? 0 : int16_t(doc.Planes());
    r.inLayerPlanes = r.outLayerPlanes = r.absLayerPlanes = layer;
    r.inTransparencyMask = r.outTransparencyMask = r.absTransparencyMask = transparency;
    r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes = flat;

    s.error_string[0] = 0;
    r.errorString = &s.error_string;
    r.sSPBasic = &s.basic_suite;
    r.depth = doc.depth;
    r.bigDocumentData = &s.big;
    r.maxSpace64 = kBufferBudget;
}

std::string ErrorStringText(const Str255& text) {
    return std::string(reinterpret_cast<const char*>(text) + 1, text[0]);
}

}  // namespace

HostSession::Impl::~Impl() {
    ReleaseAllMemory(*this);
    if (gCurrent == this) gCurrent = nullptr;
}

HostSession::HostSession() : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    InstallMemoryProcs(*impl_);
}

HostSession::~HostSession() = default;

FilterRecord& HostSession::record() { return impl_->record; }
BigDocumentStruct& HostSession::big_document() { return impl_->big; }
intptr_t& HostSession::data_slot() { return impl_->data_slot; }
void HostSession::SetPadding(bool pads) {
    impl_->pads = pads;
    impl_->record.supportsPadding = pads ? kTrue : kFalse;
}
const RunStats& HostSession::stats() const { return impl_->stats; }
size_t HostSession::live_handles() const { return impl_->handles.size(); }
size_t HostSession::live_buffers() const { return impl_->buffers.size(); }

void HostSession::BeginRun(Document& document, const HostEvents& events) {
    Impl& s = *impl_;
    s.document = &document;
    std::vector<uint8_t>().swap(s.source);
    s.source_kept = false;
    s.events = events;
    s.stats = RunStats{};
    s.out_window = BufferWindow{};
    FillRecord(s, document);
    gCurrent = &s;
}

OSErr HostSession::CallSelector(PluginEntryProc entry, int16_t selector) {
    Impl& s = *impl_;
    Impl* previous = gCurrent;
    gCurrent = &s;
    int16_t result = noErr;
    if (selector == filterSelectorAbout) {
        AboutRecord about{};
        about.platformData = &s.platform_data;
        about.sSPBasic = &s.basic_suite;
        entry(selector, &about, &s.data_slot, &result);
    } else {
        entry(selector, &s.record, &s.data_slot, &result);
    }
    gCurrent = previous ? previous : &s;
    return result;
}

OSErr HostSession::AdvanceState() {
    gCurrent = impl_.get();
    return AdvanceStateProc();
}

bool HostSession::RectanglesEmpty() const {
    const Impl& s = *impl_;
    const FilterRecord& r = s.record;
    bool mask_empty = !r.haveMask || IsEmpty(Requested(s, r.maskRect, s.big.maskRect32));
    return IsEmpty(Requested(s, r.inRect, s.big.inRect32)) &&
           IsEmpty(Requested(s, r.outRect, s.big.outRect32)) && mask_empty;
}

void HostSession::EndRun() {
    Impl& s = *impl_;
    CommitOutput();
    FilterRecord& r = s.record;
    r.inData = r.outData = r.maskData = nullptr;
    s.document = nullptr;
    // The picture-sized scratch is given back; the kept blocks stay.
    std::vector<uint8_t>().swap(s.source);
    s.source_kept = false;
    std::vector<uint8_t>().swap(s.in_buffer);
    std::vector<uint8_t>().swap(s.out_buffer);
    std::vector<uint8_t>().swap(s.mask_buffer);
    std::vector<int32_t>().swap(s.column_map);
}

RunOutcome HostSession::Apply(PluginEntryProc entry, Document& document, const HostEvents& events,
                              const RunOptions& options) {
    Impl& s = *impl_;
    RunOutcome outcome;
    auto fail = [&](OSErr result, int16_t selector) {
        outcome.result = result;
        outcome.selector = selector;
        if (result == errReportString) outcome.message = ErrorStringText(s.error_string);
    };
    s.platform_data.hwnd = options.parent_window;
    BeginRun(document, events);
    if (options.prepare_record) options.prepare_record(s.record, options.prepare_context);
    OSErr result = noErr;
    if (options.interactive) result = CallSelector(entry, filterSelectorParameters);
    if (result) fail(result, filterSelectorParameters);
    if (!result) {
        result = CallSelector(entry, filterSelectorPrepare);
        if (result) fail(result, filterSelectorPrepare);
    }
    if (!result) {
        result = CallSelector(entry, filterSelectorStart);
        CommitOutput();
        if (result) {
            fail(result, filterSelectorStart);
        } else {
            // The classic protocol: the host serves the rectangles the plug-in left set,
            // calls continue, and repeats until they are empty.
            int calls = 0;
            while (!RectanglesEmpty()) {
                if (events.abort && events.abort(events.context)) {
                    fail(userCanceledErr, filterSelectorContinue);
                    break;
                }
                if (++calls > kMaxContinueCalls) {
                    fail(errPlugInHostInsufficient, filterSelectorContinue);
                    outcome.message = "the plug-in did not finish after " +
                                      std::to_string(kMaxContinueCalls) + " continue calls";
                    break;
                }
                OSErr fetched = Fetch(s);
                if (fetched) {
                    fail(fetched, filterSelectorContinue);
                    break;
                }
                ++s.stats.continue_calls;
                OSErr step = CallSelector(entry, filterSelectorContinue);
                CommitOutput();
                if (step) {
                    fail(step, filterSelectorContinue);
                    break;
                }
            }
            // Finish always follows a successful start, even when continue failed.
            OSErr finished = CallSelector(entry, filterSelectorFinish);
            if (finished && !outcome.result) fail(finished, filterSelectorFinish);
        }
    }
    EndRun();
    return outcome;
}

std::string DescribeResult(OSErr result) {
    switch (result) {
        case noErr: return "success";
        case userCanceledErr: return "cancelled";
        case memFullErr: return "out of memory";
        case filterBadParameters: return "bad filter parameters";
        case filterBadMode: return "the filter does not work in this image mode";
        case paramErr: return "bad parameter";
        case nilHandleErr: return "a memory block is missing";
        case readErr: return "read error";
        case writErr: return "write error";
        case openErr: return "cannot open a file";
        case dskFulErr: return "disk full";
        case ioErr: return "input/output error";
        case eofErr: return "unexpected end of file";
        case fnfErr: return "file not found";
        case errMissingParameter: return "a required parameter is missing";
        case errPlugInHostInsufficient: return "the host does not offer what the plug-in needs";
        case errPlugInPropertyUndefined: return "a host property is undefined";
        case errReportString: return "the plug-in reported an error";
        case errHostVersionIncompatible: return "the host version is incompatible";
        default: break;
    }
    if (result > 0) return "the plug-in stopped and reported the reason itself";
    return "error " + std::to_string(result);
}

}  // namespace tw::host
