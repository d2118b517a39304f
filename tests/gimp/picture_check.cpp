// Checks on pictures for the GIMP tests, which compare what GIMP exported with what
// `tarnwell apply` wrote:
//
//   tw_picture_check same A B [--tolerance T] [--rect X,Y,W,H]
//       every sample of A within T of B's (inside the rectangle when given)
//   tw_picture_check differ A B [--rect X,Y,W,H]
//       at least a tenth of the pixels differ (inside the rectangle)
//   tw_picture_check between LOW MID HIGH [--tolerance T]
//       every sample of MID lies between LOW's and HIGH's
//
// Samples are compared as fractions of the file's range (0..1 for 8 and 16-bit, the value
// itself for float), so one tolerance reads the same at every depth. Prints what it found;
// exit status 0 when the check holds, 1 when it does not, 2 on unreadable or mismatched files.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/picture.h"

namespace {

using tw::host::Picture;

struct Rect {
    int x = 0, y = 0, w = -1, h = -1;  // w < 0: the whole picture
};

double Sample(const Picture& p, size_t i) {
    if (p.bits == 8) return p.data[i] / 255.0;
    if (p.bits == 16) {
        uint16_t v;
        std::memcpy(&v, p.data.data() + 2 * i, 2);
        return v / 65535.0;
    }
    float f;
    std::memcpy(&f, p.data.data() + 4 * i, 4);
    return f;
}

bool Load(const char* path, Picture& p) {
    std::string error;
    if (tw::host::ReadPicture(path, p, error)) return true;
    std::fprintf(stderr, "tw_picture_check: %s\n", error.c_str());
    return false;
}

bool SameShape(const Picture& a, const Picture& b) {
    if (a.width == b.width && a.height == b.height && a.channels == b.channels) return true;
    std::fprintf(stderr, "tw_picture_check: %dx%d with %d channels against %dx%d with %d channels\n", a.width,
                 a.height, a.channels, b.width, b.height, b.channels);
    return false;
}

// Calls visit(pixel index) for every pixel inside the rectangle.
template <typename Visit>
void ForEachPixel(const Picture& p, Rect r, Visit visit) {
    if (r.w < 0) r = Rect{0, 0, p.width, p.height};
    for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, p.height); ++y)
        for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, p.width); ++x) visit(size_t(y) * size_t(p.width) + size_t(x));
}

int Same(const Picture& a, const Picture& b, double tolerance, Rect rect) {
    double worst = 0;
    long differing = 0;
    const size_t c = size_t(a.channels);
    ForEachPixel(a, rect, [&](size_t px) {
        for (size_t s = 0; s < c; ++s) {
            const double d = std::fabs(Sample(a, px * c + s) - Sample(b, px * c + s));
            if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
            differing += d > 0;
        }
    });
    std::printf("largest difference %.9g, %ld samples differ (tolerance %.9g)\n", worst, differing, tolerance);
    return worst <= tolerance ? 0 : 1;
}

int Differ(const Picture& a, const Picture& b, Rect rect) {
    long pixels = 0, changed = 0;
    const size_t c = size_t(a.channels);
    ForEachPixel(a, rect, [&](size_t px) {
        ++pixels;
        for (size_t s = 0; s < c; ++s)
            if (Sample(a, px * c + s) != Sample(b, px * c + s)) {
                ++changed;
                break;
            }
    });
    std::printf("%ld of %ld pixels differ\n", changed, pixels);
    return pixels > 0 && changed * 10 >= pixels ? 0 : 1;
}

int Between(const Picture& low, const Picture& mid, const Picture& high, double tolerance) {
    long outside = 0;
    const size_t c = size_t(mid.channels);
    ForEachPixel(mid, Rect{}, [&](size_t px) {
        for (size_t s = 0; s < c; ++s) {
            const double a = Sample(low, px * c + s), m = Sample(mid, px * c + s), b = Sample(high, px * c + s);
            if (m < std::min(a, b) - tolerance || m > std::max(a, b) + tolerance) ++outside;
        }
    });
    std::printf("%ld samples outside their range (tolerance %.9g)\n", outside, tolerance);
    return outside == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    double tolerance = 0;
    Rect rect;
    std::string mode = argc > 1 ? argv[1] : "";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--tolerance" && i + 1 < argc) {
            tolerance = std::atof(argv[++i]);
        } else if (arg == "--rect" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &rect.x, &rect.y, &rect.w, &rect.h) != 4) return 2;
        } else {
            files.push_back(arg);
        }
    }
    const size_t wanted = mode == "between" ? 3 : 2;
    if ((mode != "same" && mode != "differ" && mode != "between") || files.size() != wanted) {
        std::fprintf(stderr, "usage: tw_picture_check same|differ A B [--tolerance T] [--rect X,Y,W,H]\n"
                             "       tw_picture_check between LOW MID HIGH [--tolerance T]\n");
        return 2;
    }
    std::vector<Picture> p(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        if (!Load(files[i].c_str(), p[i]) || !SameShape(p[0], p[i])) return 2;
    if (mode == "same") return Same(p[0], p[1], tolerance, rect);
    if (mode == "differ") return Differ(p[0], p[1], rect);
    return Between(p[0], p[1], p[2], tolerance);
}
