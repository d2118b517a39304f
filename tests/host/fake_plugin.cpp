// A stand-in filter module for testing the tarnwell command without the real plug-in.
// What it does is chosen by the TARNWELL_FAKE_MODE environment variable:
//   invert      inverts the colour planes tile by tile through advanceState (default)
//   wait-abort  polls the abort procedure until it says stop, then returns -128
//   fail-108    start fails with out of memory
//   report      start fails with -30904 and an error string
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "hostapi/filter_record.h"
#include "hostapi/host_constants.h"

namespace {

using namespace tw;

void SetRects(FilterRecord* r, int16_t top, int16_t left, int16_t bottom, int16_t right) {
    r->inRect = r->outRect = r->maskRect = Rect{top, left, bottom, right};
}

template <typename T>
T Invert(T v, int depth) {
    if (depth == 8) return T(255 - v);
    if (depth == 16) return T(32768 - v);
    return T(1.0f - float(v));
}

template <typename T>
void InvertTile(FilterRecord* r, int rows, int cols, int colours) {
    int stride = r->outHiPlane - r->outLoPlane + 1;
    for (int y = 0; y < rows; ++y) {
        auto* row = reinterpret_cast<T*>(static_cast<uint8_t*>(r->outData) + y * r->outRowBytes);
        for (int x = 0; x < cols; ++x) {
            for (int c = 0; c < colours; ++c) row[x * stride + c] = Invert(row[x * stride + c], r->depth);
        }
    }
}

int16_t InvertAll(FilterRecord* r) {
    int colours = r->filterCase >= 4 ? r->inLayerPlanes : r->planes;
    const int tile = 16;
    r->inLoPlane = r->outLoPlane = 0;
    r->inHiPlane = r->outHiPlane = int16_t(r->planes - 1);
    r->autoMask = kTrue;  // let the host apply any selection
    int total = (r->filterRect.bottom - r->filterRect.top) * (r->filterRect.right - r->filterRect.left);
    int done = 0;
    for (int top = r->filterRect.top; top < r->filterRect.bottom; top += tile) {
        for (int left = r->filterRect.left; left < r->filterRect.right; left += tile) {
            int bottom = std::min<int>(top + tile, r->filterRect.bottom);
            int right = std::min<int>(left + tile, r->filterRect.right);
            SetRects(r, int16_t(top), int16_t(left), int16_t(bottom), int16_t(right));
            if (r->abortProc()) return userCanceledErr;
            if (OSErr e = r->advanceState()) return e;
            if (r->depth == 8) InvertTile<uint8_t>(r, bottom - top, right - left, colours);
            else if (r->depth == 16) InvertTile<uint16_t>(r, bottom - top, right - left, colours);
            else InvertTile<float>(r, bottom - top, right - left, colours);
            done += (bottom - top) * (right - left);
            r->progressProc(done, total);
        }
    }
    SetRects(r, 0, 0, 0, 0);
    return noErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* record,
                                                                   intptr_t*, int16_t* result) {
    const char* env = std::getenv("TARNWELL_FAKE_MODE");
    std::string mode = env ? env : "invert";
    auto* r = static_cast<FilterRecord*>(record);
    *result = noErr;
    if (selector != filterSelectorStart) return;
    if (mode == "fail-108") {
        *result = memFullErr;
    } else if (mode == "report") {
        const char text[] = "fake refuses";
        (*r->errorString)[0] = uint8_t(sizeof text - 1);
        std::memcpy(&(*r->errorString)[1], text, sizeof text - 1);
        *result = errReportString;
    } else if (mode == "wait-abort") {
        if (const char* marker = std::getenv("TARNWELL_FAKE_MARKER")) {
            if (std::FILE* f = std::fopen(marker, "w")) std::fclose(f);
        }
        for (int i = 0; i < 3000 && !r->abortProc(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        *result = r->abortProc() ? userCanceledErr : noErr;
    } else {
        *result = InvertAll(r);
    }
}
