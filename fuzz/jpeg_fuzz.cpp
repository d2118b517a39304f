// libFuzzer target: any bytes decoded as a JPEG stream into grey and colour targets.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/jpeg_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> pixels(64 * 48 * 4);
    tw::PixelTarget colour{pixels.data(), 64, 48, 4, 0};
    tw::DecodeJpeg(colour, data, size);
    tw::PixelTarget grey{pixels.data(), 37, 21, 1, 0};
    tw::DecodeJpeg(grey, data, size);
    int w = 0, h = 0;
    tw::JpegDimensions(data, size, w, h);
    return 0;
}
