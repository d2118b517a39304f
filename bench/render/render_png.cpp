// render_png: renders a PNG picture through the water renderer without any host, for looking
// at results and for whole-render timings. Also makes contact sheets of several PNGs.
//
//   render_png [options] IN.png OUT.png
//   render_png --sheet OUT.png THUMB_WIDTH COLUMNS IN.png...
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "params/parameter_text.h"
#include "params/render_params.h"
#include "params/settings_precision.h"
#include "render/render_image.h"

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

bool readPng(const char* path, Picture& pic) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        std::fprintf(stderr, "render_png: cannot read %s: %s\n", path, image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    pic.width = static_cast<int>(image.width);
    pic.height = static_cast<int>(image.height);
    pic.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pic.rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "render_png: cannot decode %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

// Opaque pictures are written without their alpha channel, which keeps files smaller.
bool writePng(const char* path, const Picture& pic) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pic.width);
    image.height = static_cast<png_uint_32>(pic.height);
    bool opaque = true;
    for (size_t i = 3; i < pic.rgba.size() && opaque; i += 4) opaque = pic.rgba[i] == 255;
    std::vector<uint8_t> rgb;
    const void* data = pic.rgba.data();
    image.format = PNG_FORMAT_RGBA;
    if (opaque) {
        rgb.reserve(pic.rgba.size() / 4 * 3);
        for (size_t i = 0; i < pic.rgba.size(); i += 4) rgb.insert(rgb.end(), &pic.rgba[i], &pic.rgba[i] + 3);
        data = rgb.data();
        image.format = PNG_FORMAT_RGB;
    }
    if (!png_image_write_to_file(&image, path, 0, data, 0, nullptr)) {
        std::fprintf(stderr, "render_png: cannot write %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

// Box-filtered reduction to `width` pixels across, for thumbnails.
Picture shrink(const Picture& in, int width) {
    Picture out;
    out.width = std::max(1, std::min(width, in.width));
    out.height = std::max(1, static_cast<int>(std::lround(static_cast<double>(in.height) * out.width / in.width)));
    out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const int x0 = x * in.width / out.width, x1 = std::max(x0 + 1, (x + 1) * in.width / out.width);
            const int y0 = y * in.height / out.height, y1 = std::max(y0 + 1, (y + 1) * in.height / out.height);
            double sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 4; ++c) sum[c] += in.rgba[(static_cast<size_t>(sy) * in.width + sx) * 4 + c];
            const double n = static_cast<double>(x1 - x0) * (y1 - y0);
            for (int c = 0; c < 4; ++c)
                out.rgba[(static_cast<size_t>(y) * out.width + x) * 4 + c] = static_cast<uint8_t>(sum[c] / n + 0.5);
        }
    return out;
}

int makeSheet(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: render_png --sheet OUT.png THUMB_WIDTH COLUMNS IN.png...\n");
        return 2;
    }
    const int thumb = std::atoi(argv[3]), columns = std::atoi(argv[4]);
    if (thumb < 8 || columns < 1) {
        std::fprintf(stderr, "render_png: thumbnail width and column count must be positive\n");
        return 2;
    }
    std::vector<Picture> thumbs;
    for (int i = 5; i < argc; ++i) {
        Picture p;
        if (!readPng(argv[i], p)) return 1;
        thumbs.push_back(shrink(p, thumb));
    }
    // Each row is as tall as its tallest thumbnail.
    const int rows = (static_cast<int>(thumbs.size()) + columns - 1) / columns, gap = 4;
    std::vector<int> rowTop(rows + 1, gap);
    for (int r = 0; r < rows; ++r) {
        int tallest = 0;
        for (size_t i = static_cast<size_t>(r) * columns; i < thumbs.size() && i < static_cast<size_t>(r + 1) * columns; ++i)
            tallest = std::max(tallest, thumbs[i].height);
        rowTop[r + 1] = rowTop[r] + tallest + gap;
    }
    Picture sheet;
    sheet.width = columns * thumb + (columns + 1) * gap;
    sheet.height = rowTop[rows];
    sheet.rgba.assign(static_cast<size_t>(sheet.width) * sheet.height * 4, 255);
    for (size_t i = 0; i < thumbs.size(); ++i) {
        const int ox = gap + static_cast<int>(i % columns) * (thumb + gap);
        const int oy = rowTop[i / columns];
        const Picture& t = thumbs[i];
        for (int y = 0; y < t.height; ++y)
            std::memcpy(&sheet.rgba[(static_cast<size_t>(oy + y) * sheet.width + ox) * 4],
                        &t.rgba[static_cast<size_t>(y) * t.width * 4], static_cast<size_t>(t.width) * 4);
    }
    return writePng(argv[2], sheet) ? 0 : 1;
}

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: render_png [options] IN.png OUT.png\n"
                 "       render_png --sheet OUT.png THUMB_WIDTH COLUMNS IN.png...\n"
                 "Renders lying water over IN.png with the plain settings changed by the options.\n"
                 "  --complex            Complex style (default Simple)\n"
                 "  --preview ZOOM       preview pass at 1/ZOOM size with the guides drawn\n"
                 "  --set LABEL=VALUE    any parameter as 'tarnwell apply' takes it, e.g. --set\n"
                 "                       Horizon=30 (repeatable)\n"
                 "  --seed N             noise seed 0..2047\n"
                 "  --pick X,Y           ripple centre as fractions of width and height\n"
                 "  --light A,B,C        light direction as stored in the settings\n"
                 "  --threads N          worker threads (default 1)\n"
                 "  --shrink W           reduce IN.png to W pixels across before rendering\n"
                 "  --repeat N           render N times and report the fastest time\n"
                 "  --raw FILE           also write the renderer's float samples to FILE, unrounded\n"
                 "  --help               this text\n");
}

void printProgress(void*, int done, int total) {
    std::fprintf(stderr, "\r%3d%%", done * 100 / total);
    if (done == total) std::fprintf(stderr, "\r");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--sheet") == 0) return makeSheet(argc, argv);
    tw::RenderParams params;
    std::memset(&params, 0, sizeof params);
    tw::ResetParams(params);
    tw::SetPlainSettings(params);
    params.style = tw::kStyleSimple;
    params.zoom = 1;
    params.render_mode = tw::kRenderFinal;
    int threads = 1, repeat = 1, shrinkTo = 0;
    const char* rawPath = nullptr;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "render_png: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--complex") {
            params.style = tw::kStyleComplex;
        } else if (a == "--preview") {
            params.render_mode = tw::kRenderPreview;
            params.zoom = std::max(1, std::atoi(next()));
        } else if (a == "--set") {
            tw::ParameterTarget target;
            std::string error;
            if (!tw::SetParameterText(params, next(), target, error)) {
                std::fprintf(stderr, "render_png: --set %s\n", error.c_str());
                return 2;
            }
        } else if (a == "--seed") {
            params.seed = std::atoi(next());
        } else if (a == "--pick") {
            if (std::sscanf(next(), "%f,%f", &params.pick_x, &params.pick_y) != 2) {
                std::fprintf(stderr, "render_png: --pick wants X,Y\n");
                return 2;
            }
        } else if (a == "--light") {
            if (std::sscanf(next(), "%f,%f,%f", &params.light_dir[0], &params.light_dir[1], &params.light_dir[2]) != 3) {
                std::fprintf(stderr, "render_png: --light wants A,B,C\n");
                return 2;
            }
        } else if (a == "--threads") {
            threads = std::max(1, std::atoi(next()));
        } else if (a == "--shrink") {
            shrinkTo = std::max(8, std::atoi(next()));
        } else if (a == "--raw") {
            rawPath = next();
        } else if (a == "--repeat") {
            repeat = std::max(1, std::atoi(next()));
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "render_png: unknown option %s (try --help)\n", a.c_str());
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != 2) {
        usage(stderr);
        return 2;
    }
    tw::RoundToSettingsPrecision(params);  // as the plug-in renders them
    Picture in;
    if (!readPng(files[0], in)) return 1;
    if (shrinkTo > 0 && shrinkTo < in.width) in = shrink(in, shrinkTo);
    tw::ImageBuffer* source = tw::createImageBuffer(in.width, in.height, tw::kRgba8);
    if (!source) {
        std::fprintf(stderr, "render_png: out of memory for a %dx%d picture\n", in.width, in.height);
        return 1;
    }
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const uint8_t* p = &in.rgba[(static_cast<size_t>(y) * in.width + x) * 4];
            tw::writePixel(*source, 0, x, y, {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f});
        }
    tw::buildMipChain(*source);

    tw::RenderImageRequest request;
    request.width = (in.width + params.zoom - 1) / params.zoom;
    request.height = (in.height + params.zoom - 1) / params.zoom;
    request.threads = threads;
    if (repeat == 1 && isatty(STDERR_FILENO)) request.progress = printProgress;  // quiet when piped
    std::vector<float> out;
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        tw::renderImage(*source, params, request, out);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::fprintf(stderr, "%dx%d %s %s, %d thread(s): %.3f s, %.2f Mpixel/s\n", request.width, request.height,
                 params.style == tw::kStyleComplex ? "Complex" : "Simple",
                 params.render_mode == tw::kRenderPreview ? "preview" : "final", threads, best,
                 request.width * static_cast<double>(request.height) / best * 1e-6);
    // The PNG rounds to 8 bits; the raw floats show any change in the renderer's arithmetic.
    if (rawPath) {
        FILE* f = std::fopen(rawPath, "wb");
        bool ok = f && std::fwrite(out.data(), sizeof(float), out.size(), f) == out.size();
        if (f && std::fclose(f) != 0) ok = false;
        if (!ok) {
            std::fprintf(stderr, "render_png: cannot write %s\n", rawPath);
            tw::destroyImageBuffer(source);
            return 1;
        }
    }
    Picture result;
    result.width = request.width;
    result.height = request.height;
    result.rgba.resize(out.size());
    for (size_t i = 0; i < out.size(); ++i)
        result.rgba[i] = static_cast<uint8_t>(std::clamp(out[i], 0.0f, 1.0f) * 255.0f + 0.5f);
    tw::destroyImageBuffer(source);
    return writePng(files[1], result) ? 0 : 1;
}
