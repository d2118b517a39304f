// How a GIMP drawable's pixels meet the host's document: which sample type the plug-in
// gets for each precision, the babl format (in the layer's own encoding, so nothing is
// converted on the way) and the 16-bit range change the host's 0..32768 samples need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw::gimp {

// What the plug-in is handed: 8-bit and 16-bit integers as such, everything else (32-bit
// integer, half, float, double) as 32-bit float, which keeps values above 1.0.
enum class SampleKind : uint8_t {
    kU8,     // host depth 8
    kU16,    // host depth 16, samples 0..32768
    kFloat,  // host depth 32
};

struct LayerLayout {
    int colour_planes = 3;   // 1 grey, 3 RGB
    bool alpha = false;
    SampleKind kind = SampleKind::kU8;
    bool linear = false;     // linear light rather than perceptual (gamma) encoding
};

int HostDepth(SampleKind kind);
// "R'G'B'A u16", "Y float", "RGB u8": the layer's encoding at the host's sample type. The
// caller puts it in the drawable's colour space.
std::string BablFormatName(const LayerLayout& layout);

// 16-bit samples between the layer's 0..65535 and the host's 0..32768, rounding to the
// nearest value as the command line's file reader does.
void LayerToHost16(const uint16_t* layer, uint16_t* host, size_t count);
// The way back. Where the plug-in left a sample as it was (its host value still equals
// the host value of `original`), the layer's own value is kept, so pixels the filter does
// not touch lose nothing to the host's narrower range.
void HostToLayer16(const uint16_t* host, const uint16_t* original, uint16_t* layer, size_t count);

}  // namespace tw::gimp
