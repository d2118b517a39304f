// Reading and writing a parameter's value through its row, whatever its kind.
#include "params/parameter_table.h"

#include <strings.h>

namespace tw {
namespace {

enum class Storage { kFloat, kInteger, kColour };

Storage StorageOf(ParameterKind kind) {
    switch (kind) {
    case ParameterKind::kStyle:
    case ParameterKind::kGlue:
    case ParameterKind::kSeed: return Storage::kInteger;
    case ParameterKind::kColour: return Storage::kColour;
    default: return Storage::kFloat;
    }
}

}  // namespace

const void* ParameterComponentAddress(const RenderParams& p, const ParameterInfo& row, int c) {
    switch (row.kind) {
    case ParameterKind::kSlider: return &(p.*row.field);
    case ParameterKind::kStyle:
    case ParameterKind::kGlue:
    case ParameterKind::kSeed: return &(p.*row.integer);
    case ParameterKind::kColour: {
        const Rgb16& colour = p.*row.colour;
        return c == 0 ? &colour.r : c == 1 ? &colour.g : &colour.b;
    }
    case ParameterKind::kPoint: return &(p.*row.point[c]);
    case ParameterKind::kDirection: return &(p.*row.vector)[c];
    }
    return nullptr;
}

double ParameterComponent(const RenderParams& p, const ParameterInfo& row, int c) {
    const void* at = ParameterComponentAddress(p, row, c);
    switch (StorageOf(row.kind)) {
    case Storage::kInteger: return *static_cast<const int32_t*>(at);
    case Storage::kColour: return *static_cast<const uint16_t*>(at);
    case Storage::kFloat: break;
    }
    return *static_cast<const float*>(at);
}

void SetParameterComponent(RenderParams& p, const ParameterInfo& row, int c, double value) {
    void* at = const_cast<void*>(ParameterComponentAddress(p, row, c));
    switch (StorageOf(row.kind)) {
    case Storage::kInteger: *static_cast<int32_t*>(at) = static_cast<int32_t>(value); return;
    case Storage::kColour: *static_cast<uint16_t*>(at) = static_cast<uint16_t>(value); return;
    case Storage::kFloat: *static_cast<float*>(at) = static_cast<float>(value); return;
    }
}

void SetPlainValue(RenderParams& p, const ParameterInfo& row) {
    for (int c = 0; c < row.components; ++c) SetParameterComponent(p, row, c, row.plain[c]);
}

const SliderInfo* FindSlider(const char* label) {
    for (const SliderInfo& s : kSliders)
        if (::strcasecmp(s.label, label) == 0) return &s;
    return nullptr;
}

}  // namespace tw
