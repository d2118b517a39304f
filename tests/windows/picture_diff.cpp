// Compares two pictures sample by sample, for checking the Windows build's renders against
// the Linux build's:
//
//   tw_picture_diff A B [--max N]
//
// Prints the largest difference between corresponding samples (in the files' own units)
// and how many samples differ. Exit status: 0 when the pictures have the same shape and
// no difference exceeds N (default 0), 1 when one does, 2 on unreadable or mismatched files.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/picture.h"

namespace {

double Sample(const tw::host::Picture& p, size_t i) {
    if (p.bits == 8) return p.data[i];
    if (p.bits == 16) {
        uint16_t v;
        std::memcpy(&v, p.data.data() + 2 * i, 2);
        return v;
    }
    float f;
    std::memcpy(&f, p.data.data() + 4 * i, 4);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: tw_picture_diff A B [--max N]\n"
                    "Prints the largest per-sample difference of two pictures of the same shape;\n"
                    "fails when it exceeds N (default 0).\n");
        return 0;
    }
    double allowed = 0;
    if (argc == 5 && std::strcmp(argv[3], "--max") == 0) {
        char* end = nullptr;
        allowed = std::strtod(argv[4], &end);
        if (end == argv[4] || *end != '\0' || allowed < 0) {
            std::fprintf(stderr, "tw_picture_diff: --max needs a number from 0 up, not '%s'\n", argv[4]);
            return 2;
        }
    } else if (argc != 3) {
        std::fprintf(stderr, "usage: tw_picture_diff A B [--max N]\n");
        return 2;
    }
    tw::host::Picture a, b;
    std::string error;
    if (!tw::host::ReadPicture(argv[1], a, error) || !tw::host::ReadPicture(argv[2], b, error)) {
        std::fprintf(stderr, "tw_picture_diff: %s\n", error.c_str());
        return 2;
    }
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.bits != b.bits) {
        std::fprintf(stderr, "tw_picture_diff: the pictures differ in shape (%dx%d, %d channels, %d bits "
                     "against %dx%d, %d channels, %d bits)\n",
                     a.width, a.height, a.channels, a.bits, b.width, b.height, b.channels, b.bits);
        return 2;
    }
    const size_t samples = a.data.size() / a.SampleBytes();
    double largest = 0;
    size_t differing = 0;
    for (size_t i = 0; i < samples; ++i) {
        const double d = std::fabs(Sample(a, i) - Sample(b, i));
        // A NaN on one side only is the largest difference there is.
        const bool nan_mismatch = std::isnan(Sample(a, i)) != std::isnan(Sample(b, i));
        if (d > 0 || nan_mismatch) ++differing;
        if (nan_mismatch) largest = INFINITY;
        else if (d > largest) largest = d;
    }
    std::printf("largest difference %g, %zu of %zu samples differ\n", largest, differing, samples);
    return largest <= allowed ? 0 : 1;
}
