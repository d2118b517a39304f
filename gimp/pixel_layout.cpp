#include "gimp/pixel_layout.h"

#include "host/document.h"

namespace tw::gimp {

int HostDepth(SampleKind kind) {
    switch (kind) {
        case SampleKind::kU8: return 8;
        case SampleKind::kU16: return 16;
        case SampleKind::kFloat: return 32;
    }
    return 8;
}

std::string BablFormatName(const LayerLayout& layout) {
    const char* prime = layout.linear ? "" : "'";
    std::string name;
    if (layout.colour_planes == 1) {
        name = std::string("Y") + prime;
    } else {
        name = std::string("R") + prime + "G" + prime + "B" + prime;
    }
    if (layout.alpha) name += "A";
    switch (layout.kind) {
        case SampleKind::kU8: return name + " u8";
        case SampleKind::kU16: return name + " u16";
        case SampleKind::kFloat: return name + " float";
    }
    return name;
}

void LayerToHost16(const uint16_t* layer, uint16_t* host, size_t count) {
    for (size_t i = 0; i < count; ++i) host[i] = host::FileToHost16(layer[i]);
}

void HostToLayer16(const uint16_t* host, const uint16_t* original, uint16_t* layer, size_t count) {
    for (size_t i = 0; i < count; ++i)
        layer[i] = host[i] == host::FileToHost16(original[i]) ? original[i] : host::HostToFile16(host[i]);
}

}  // namespace tw::gimp
