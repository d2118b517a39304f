// The in-process host of the shell's tests.
#include "fake_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include "hostapi/host_constants.h"
#include "shell/host_access.h"
#include "shell/plugin_shell.h"

namespace tw::test {
namespace {

FakeHost* gHost = nullptr;

// The plug-in keeps files (cached settings, the memory-dot map) in the temporary folder.
// Tests get a folder of their own, so a user's files neither leak in nor get overwritten.
const bool gPrivateTemp = UseFreshTempFolder();

struct HandleBox {
    char* data;
    int32_t size;
};

Handle NewHandle(int32_t size) {
    if (gHost->fail_new_handle) return nullptr;
    auto* box = new HandleBox{static_cast<char*>(std::malloc(size_t(size))), size};
    // Fresh host memory is not zeroed; make that visible to the shell.
    std::memset(box->data, 0xA5, size_t(size));
    ++gHost->handles_created;
    return reinterpret_cast<Handle>(box);
}
void DisposeHandle(Handle h) {
    auto* box = reinterpret_cast<HandleBox*>(h);
    std::free(box->data);
    delete box;
}
int32_t HandleSize(Handle h) { return reinterpret_cast<HandleBox*>(h)->size; }
Ptr LockHandle(Handle h, Boolean) {
    ++gHost->handle_locks;
    return gHost->fail_lock ? nullptr : reinterpret_cast<HandleBox*>(h)->data;
}
void UnlockHandle(Handle) { ++gHost->handle_unlocks; }

OSErr AllocateBuffer(int32_t size, BufferID* id) {
    if (gHost->fail_buffers) return -108;
    *id = reinterpret_cast<BufferID>(std::malloc(size_t(size)));
    ++gHost->buffers_live;
    ++gHost->buffers_allocated;
    return 0;
}
Ptr LockBuffer(BufferID id, Boolean) { return reinterpret_cast<Ptr>(id); }
void UnlockBuffer(BufferID) {}
void FreeBuffer(BufferID id) {
    std::free(id);
    --gHost->buffers_live;
}
int32_t BufferSpace() { return 1 << 30; }

Boolean TestAbort() {
    const int call = gHost->abort_calls++;
    return gHost->abort_after >= 0 && call >= gHost->abort_after ? 1 : 0;
}
void Progress(int32_t done, int32_t total) {
    gHost->progress_done.push_back(total == 1000 ? done : done * 10);
}
OSErr AdvanceState() { return gHost->Advance(); }
OSErr DisplayPixels(const PSPixelMap*, const VRect*, int32_t, int32_t, void*) { return 0; }

}  // namespace

FakeHost* CurrentHost() { return gHost; }

// The folders made for the plug-in's scratch files, removed when the test program ends.
struct TempFolders {
    std::vector<std::string> paths;
    ~TempFolders() {
        std::error_code ignored;
        for (const std::string& path : paths) std::filesystem::remove_all(path, ignored);
    }
};

bool UseFreshTempFolder() {
    static TempFolders made;
    char folder[] = "/tmp/tarnwell-shell-test-XXXXXX";
    if (mkdtemp(folder) == nullptr) return false;
    made.paths.push_back(folder);
    return setenv("TARNWELL_TEMP", folder, 1) == 0;
}

FakeHost::FakeHost(const FakeHostOptions& options) : options_(options) {
    gHost = this;
    record_ = std::make_unique<FilterRecord>();
    std::memset(static_cast<void*>(record_.get()), 0, sizeof(FilterRecord));
    FilterRecord& r = *record_;
    pixels.assign(size_t(options.width) * options.height * options.planes * SampleBytes(), 0);
    if (options.mask) mask.assign(size_t(options.width) * options.height, options.mask_value);

    handle_procs_ = {1, 8, NewHandle, DisposeHandle, HandleSize, nullptr,
                     LockHandle, UnlockHandle, nullptr, nullptr};
    buffer_procs_ = {2, 8, AllocateBuffer, LockBuffer, UnlockBuffer, FreeBuffer, BufferSpace,
                     nullptr, nullptr, nullptr};
    r.handleProcs = &handle_procs_;
    r.bufferProcs = options.buffer_procs ? &buffer_procs_ : nullptr;
    r.abortProc = TestAbort;
    r.progressProc = Progress;
    r.advanceState = AdvanceState;
    r.displayPixels = options.display_pixels ? DisplayPixels : nullptr;
    r.platformData = options.platform_data ? &platform_ : nullptr;
    r.hostSig = FourCC("TEST");
    r.planes = options.planes;
    r.imageMode = options.image_mode;
    r.depth = options.depth;
    r.filterCase = options.filter_case;
    r.inLayerPlanes = options.planes == 2 || options.planes == 4 ? int16_t(options.planes - 1) : 0;
    r.haveMask = options.mask ? 1 : 0;
    r.maskData = nullptr;
    r.samplingSupport = options.sampling;
    r.maxSpace = 1 << 30;
    r.supportsPadding = options.padding ? 1 : 0;
    const HostRect filter = options.filter_rect.empty()
                                ? HostRect{0, 0, options.height, options.width}
                                : options.filter_rect;
    auto narrow = [](int32_t v) { return int16_t(std::min(v, 32767)); };
    r.filterRect = {narrow(filter.top), narrow(filter.left), narrow(filter.bottom),
                    narrow(filter.right)};
    r.floatCoord = {narrow(filter.top), narrow(filter.left)};
    r.imageSize = {narrow(options.height), narrow(options.width)};
    r.wholeSize = r.imageSize;
    if (options.big_document) {
        big_.filterRect32 = {filter.top, filter.left, filter.bottom, filter.right};
        big_.floatCoord32 = {filter.top, filter.left};
        big_.imageSize32 = {options.height, options.width};
        big_.wholeSize32 = big_.imageSize32;
        r.bigDocumentData = &big_;
    }
}

FakeHost::~FakeHost() {
    FilterRecord& r = *record_;
    if (r.parameters != nullptr) DisposeHandle(r.parameters);
    if (data_slot != 0) DisposeHandle(reinterpret_cast<Handle>(data_slot));
    gHost = nullptr;
}

int16_t FakeHost::Call(int16_t selector) {
    result = 0;
    if (entry != nullptr) entry(selector, record_.get(), &data_slot, &result);
    else PluginDispatch(selector, record_.get(), &data_slot, &result);
    return result;
}

int16_t FakeHost::Run(bool interactive) {
    int16_t first = 0;
    auto note = [&](int16_t r) {
        if (first == 0) first = r;
        return r;
    };
    if (interactive && note(Call(filterSelectorParameters)) != 0) return first;
    if (note(Call(filterSelectorPrepare)) != 0) return first;
    if (note(Call(filterSelectorStart)) != 0) {
        // Like the editors this host copies, it sends no finish after a failed start.
        Flush();
        return first;
    }
    for (int i = 0; i < 100; ++i) {
        if (note(Call(filterSelectorContinue)) != 0) break;
        if (GetInRect(*record_).empty() && GetOutRect(*record_).empty()) break;
    }
    Flush();
    Call(filterSelectorFinish);
    return first;
}

size_t FakeHost::PixelOffset(int32_t x, int32_t y) const {
    return (size_t(y) * options_.width + x) * options_.planes * SampleBytes();
}

void FakeHost::SetSample(int32_t x, int32_t y, int32_t plane, double value) {
    uint8_t* at = pixels.data() + PixelOffset(x, y) + plane * SampleBytes();
    if (options_.depth == 8) *at = uint8_t(value);
    else if (options_.depth == 16) {
        const uint16_t v = uint16_t(value);
        std::memcpy(at, &v, 2);
    } else {
        const float v = float(value);
        std::memcpy(at, &v, 4);
    }
}

double FakeHost::Sample(int32_t x, int32_t y, int32_t plane) const {
    const uint8_t* at = pixels.data() + PixelOffset(x, y) + plane * SampleBytes();
    if (options_.depth == 8) return *at;
    if (options_.depth == 16) {
        uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    float v;
    std::memcpy(&v, at, 4);
    return v;
}

void FakeHost::FillPattern() {
    const double full = options_.depth == 8 ? 255 : options_.depth == 16 ? 32768 : 1.0;
    for (int32_t y = 0; y < options_.height; ++y)
        for (int32_t x = 0; x < options_.width; ++x)
            for (int32_t p = 0; p < options_.planes; ++p) {
                const double t = ((x * (3 + p) + y * (7 - p) + p * 50) % 97) / 96.0;
                double v = t * full;
                if (options_.depth != 32) v = double(int(v));
                SetSample(x, y, p, v);
            }
}

void FakeHost::Fill(std::vector<uint8_t>& buffer, const HostRect& rect, int32_t lo, int32_t hi,
                    int32_t rate, int32_t& row_bytes) {
    const int32_t n = hi - lo + 1;
    const size_t bytes = SampleBytes();
    row_bytes = int32_t(rect.width() * n * bytes);
    buffer.assign(size_t(row_bytes) * rect.height(), 0);
    for (int32_t y = rect.top; y < rect.bottom; ++y)
        for (int32_t x = rect.left; x < rect.right; ++x) {
            // Edge replication outside the document.
            const int32_t sx = std::clamp(x * rate, 0, options_.width - 1);
            const int32_t sy = std::clamp(y * rate, 0, options_.height - 1);
            uint8_t* dst = buffer.data() + size_t(y - rect.top) * row_bytes +
                           size_t(x - rect.left) * n * bytes;
            std::memcpy(dst, pixels.data() + PixelOffset(sx, sy) + lo * bytes, n * bytes);
        }
}

bool FakeHost::Inside(const HostRect& rect, int32_t rate) const {
    // Sample c is pixel c * rate: the last row and column asked for must exist.
    return rect.top >= 0 && rect.left >= 0 && int64_t(rect.bottom - 1) * rate < options_.height &&
           int64_t(rect.right - 1) * rate < options_.width;
}

void FakeHost::Flush() {
    if (!out_pending_) return;
    out_pending_ = false;
    FilterRecord& r = *record_;
    const int32_t n = r.outHiPlane - r.outLoPlane + 1;
    const size_t bytes = SampleBytes();
    const size_t row_bytes = size_t(out_rect_.width()) * n * bytes;
    // Only full-resolution output lands in the document.
    if (out_rate_ != 1) return;
    for (int32_t y = std::max(out_rect_.top, 0); y < std::min(out_rect_.bottom, options_.height); ++y)
        for (int32_t x = std::max(out_rect_.left, 0); x < std::min(out_rect_.right, options_.width); ++x)
            std::memcpy(pixels.data() + PixelOffset(x, y) + r.outLoPlane * bytes,
                        out_buffer_.data() + size_t(y - out_rect_.top) * row_bytes +
                            size_t(x - out_rect_.left) * n * bytes,
                        n * bytes);
}

OSErr FakeHost::Advance() {
    const int call = advance_calls++;
    Flush();
    if (call == advance_fail_at) return advance_error;
    FilterRecord& r = *record_;
    const int32_t rate = std::max(r.inputRate >> 16, 1);
    const HostRect in = GetInRect(r), out = GetOutRect(r);
    r.inData = nullptr;
    r.outData = nullptr;
    r.maskData = nullptr;
    if (!options_.padding) {
        const bool mask_outside = r.haveMask && !GetMaskRect(r).empty() &&
                                  !Inside(GetMaskRect(r), std::max(r.maskRate >> 16, 1));
        if ((!in.empty() && !Inside(in, rate)) || (!out.empty() && !Inside(out, 1)) || mask_outside) {
            ++refused_requests;
            return -50;  // paramErr
        }
    }
    if (!in.empty()) {
        Fill(in_buffer_, in, r.inLoPlane, r.inHiPlane, rate, r.inRowBytes);
        r.inData = in_buffer_.data();
    }
    if (!out.empty()) {
        Fill(out_buffer_, out, r.outLoPlane, r.outHiPlane, rate, r.outRowBytes);
        r.outData = out_buffer_.data();
        out_rect_ = out;
        out_rate_ = rate;
        out_pending_ = true;
    }
    if (r.haveMask) {
        const HostRect m = GetMaskRect(r);
        if (!m.empty()) {
            mask_buffer_.assign(size_t(m.width()) * m.height(), 0);
            for (int32_t y = m.top; y < m.bottom; ++y)
                for (int32_t x = m.left; x < m.right; ++x) {
                    const int32_t sx = std::clamp(x * rate, 0, options_.width - 1);
                    const int32_t sy = std::clamp(y * rate, 0, options_.height - 1);
                    mask_buffer_[size_t(y - m.top) * m.width() + (x - m.left)] =
                        mask[size_t(sy) * options_.width + sx];
                }
            r.maskData = mask_buffer_.data();
            r.maskRowBytes = m.width();
        }
    }
    return 0;
}

}  // namespace tw::test
