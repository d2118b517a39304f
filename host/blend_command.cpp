// `tarnwell blend`: the glue modes on their own, over two picture files.
#include "host/blend_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "render/blend_modes.h"

namespace tw::host {
namespace {

const char kBlendHelp[] =
    "Usage: tarnwell blend TOP BOTTOM OUT --mode MODE [options]\n"
    "       tarnwell blend --list\n"
    "\n"
    "Lays the picture TOP over the picture BOTTOM with one of the plug-in's glue (blend)\n"
    "modes and writes the result to OUT, the way the plug-in lays its water over an image:\n"
    "the mode combines the two colours, then the result goes over BOTTOM with TOP's\n"
    "transparency. TOP and BOTTOM must be the same size.\n"
    "\n"
    "OUT has BOTTOM's bit depth; it is grey when both pictures are grey, RGB otherwise,\n"
    "and keeps an alpha channel when BOTTOM has one. Its format follows its extension.\n"
    "\n"
    "Options:\n"
    "  --mode MODE    the mode's name as the dialog lists it (letter case, spaces, '-'\n"
    "                 and '_' do not matter: \"hard light\", hard-light) or its number,\n"
    "                 1 to 69\n"
    "  --list         print the modes with their numbers and stop\n"
    "  --quality N    JPEG quality of OUT, 1 to 100 (default 95)\n"
    "  -q, --quiet    no progress bar (it is shown only when stderr is a terminal)\n"
    "  -h, --help     show this help\n"
    "\n"
    "Pictures: PNG, JPEG and TIFF, 8 or 16-bit (TIFF also 32-bit float), grey or RGB,\n"
    "with or without alpha.\n"
    "\n"
    "Ctrl-C stops the work; nothing is written then. OUT is written under a temporary\n"
    "name and renamed when complete, so it is never left half-written.\n"
    "\n"
    "Exit status: 0 done, 1 failed (unreadable picture, sizes differ), 2 bad command\n"
    "line, 130 cancelled.\n";

struct BlendOptions {
    std::string top, bottom, output;
    int mode = 0;
    long quality = 95;
    bool quiet = false;
};

void PrintModes() {
    const BlendModeInfo* table = blendModeTable();
    for (int i = 0; i < kBlendModeCount; ++i) {
        const BlendModeInfo& row = table[i];
        std::printf("%3d  %s", row.mode, row.name);
        if (std::strcmp(row.name, row.script_name) != 0)
            std::printf("  (recorded actions call it \"%s\")", row.script_name);
        std::printf("\n");
    }
}

std::string UnknownModeMessage(const std::string& text) {
    std::string message = "blend: unknown blend mode '" + text + "'";
    std::vector<std::string> close = closeBlendModeNames(text);
    if (!close.empty()) {
        message += "; did you mean ";
        for (size_t i = 0; i < close.size(); ++i) {
            if (i > 0) message += i + 1 == close.size() ? " or " : ", ";
            message += "'" + close[i] + "'";
        }
        message += "?";
    }
    return message + " (see 'tarnwell blend --list')";
}

// Returns -1 to go on, else the exit status to end with (after --help, --list or an error).
int ParseBlend(const Arguments& arguments, BlendOptions& options) {
    ScannedArguments scanned;
    const OptionTable table{"blend", kBlendHelp, {"--list"}, {"--mode", "--quality"}};
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    options.quiet = scanned.quiet;
    std::optional<std::string> mode_text;
    for (const ScannedOption& option : scanned.options) {
        std::string error;
        if (option.name == "--list") {
            PrintModes();
            return kExitOk;
        }
        if (option.name == "--mode") mode_text = option.value;
        if (option.name == "--quality" && !ParseInteger(option.value, 1, 100, option.name, options.quality, error)) {
            ReportError("blend: " + error);
            return kExitUsage;
        }
    }
    const std::vector<std::string>& positional = scanned.files;
    if (!HasFileCount(scanned, 3, "blend", "TOP, BOTTOM and OUT files", "TOP BOTTOM OUT")) return kExitUsage;
    if (!mode_text) {
        ReportError("blend: which mode? Give --mode NAME or NUMBER (see 'tarnwell blend --list')");
        return kExitUsage;
    }
    std::optional<int> mode = parseBlendMode(*mode_text);
    if (!mode) {
        ReportError(UnknownModeMessage(*mode_text));
        return kExitUsage;
    }
    options.mode = *mode;
    options.top = positional[0];
    options.bottom = positional[1];
    options.output = positional[2];
    return -1;
}

// One pixel of a picture as RGBA floats, nominally 0..1.
void ReadRgba(const Picture& p, size_t index, float rgba[4]) {
    const size_t channels = std::min<size_t>(size_t(p.channels), 4);
    float v[4] = {0, 0, 0, 1};
    for (size_t c = 0; c < channels; ++c) {
        const size_t at = (index * channels + c) * p.SampleBytes();
        if (p.bits == 8) {
            v[c] = float(p.data[at]) / 255.0f;
        } else if (p.bits == 16) {
            uint16_t s;
            std::memcpy(&s, &p.data[at], 2);
            v[c] = float(s) / 65535.0f;
        } else {
            std::memcpy(&v[c], &p.data[at], 4);
        }
    }
    if (channels <= 2) {
        rgba[0] = rgba[1] = rgba[2] = v[0];
        rgba[3] = channels == 2 ? v[1] : 1.0f;
    } else {
        std::copy(v, v + 4, rgba);
        if (channels == 3) rgba[3] = 1.0f;
    }
}

void WriteSample(Picture& p, size_t at, float v) {
    if (p.bits == 32) {
        std::memcpy(&p.data[at * 4], &v, 4);
        return;
    }
    const float full = p.bits == 8 ? 255.0f : 65535.0f;
    const float scaled = std::clamp(std::isnan(v) ? 0.0f : v, 0.0f, 1.0f) * full + 0.5f;
    if (p.bits == 8) {
        p.data[at] = uint8_t(scaled);
    } else {
        const uint16_t s = uint16_t(scaled);
        std::memcpy(&p.data[at * 2], &s, 2);
    }
}

// The blend of one pixel and its place over the bottom, as the plug-in's writer does it.
void ComposePixel(const float top[4], const float bottom[4], int mode, float out[4]) {
    float t[4] = {std::max(top[0], 0.0f), std::max(top[1], 0.0f), std::max(top[2], 0.0f),
                  std::clamp(top[3], 0.0f, 1.0f)};
    if (std::isnan(top[3])) t[3] = 0.0f;
    blendPixel(t, bottom, out, mode);
    const float a = out[3];
    if (a < 1.0f) {
        if (a <= 0.0f) {
            std::copy(bottom, bottom + 4, out);
            return;
        }
        // The over operator: the colour moves from the bottom towards the blend by the
        // share of the top in the combined coverage.
        const float ba = bottom[3];
        const float share = a / (ba + a - ba * a);
        for (int c = 0; c < 3; ++c) out[c] = bottom[c] + (out[c] - bottom[c]) * share;
        out[3] = ba + a * (1.0f - ba);
    }
}

}  // namespace

int BlendPictures(const Picture& top, const Picture& bottom, int mode, Picture& out,
                  std::string& error, ProgressBar* progress) {
    if (top.width != bottom.width || top.height != bottom.height) {
        error = "the pictures differ in size: TOP is " + std::to_string(top.width) + "x" +
                std::to_string(top.height) + ", BOTTOM " + std::to_string(bottom.width) + "x" +
                std::to_string(bottom.height);
        return kExitFailure;
    }
    const bool grey = top.ColourChannels() == 1 && bottom.ColourChannels() == 1;
    const int colour_channels = grey ? 1 : 3;
    const int channels = colour_channels + (bottom.HasAlpha() ? 1 : 0);
    if (!out.Allocate(bottom.width, bottom.height, channels, bottom.bits)) {
        error = "not enough memory for a " + std::to_string(bottom.width) + "x" +
                std::to_string(bottom.height) + " picture";
        return kExitFailure;
    }
    for (int32_t y = 0; y < bottom.height; ++y) {
        if (Interrupted()) return kExitCancelled;
        for (int32_t x = 0; x < bottom.width; ++x) {
            const size_t index = size_t(y) * size_t(bottom.width) + size_t(x);
            float t[4], b[4], result[4];
            ReadRgba(top, index, t);
            ReadRgba(bottom, index, b);
            ComposePixel(t, b, mode, result);
            const size_t at = index * size_t(channels);
            if (grey) {
                WriteSample(out, at, result[1]);  // as a grey host stores it
            } else {
                for (int c = 0; c < 3; ++c) WriteSample(out, at + size_t(c), result[c]);
            }
            if (bottom.HasAlpha()) WriteSample(out, at + size_t(colour_channels), result[3]);
        }
        if (progress) ShowProgress(*progress, y + 1, bottom.height);
    }
    return kExitOk;
}

int RunBlend(const Arguments& arguments) {
    BlendOptions options;
    if (int status = ParseBlend(arguments, options); status >= 0) return status;

    const FileFormat out_format = FormatFromName(options.output);
    if (out_format == FileFormat::Unknown) {
        ReportError("blend: cannot tell the format of '" + options.output +
                    "' (use a .png, .jpg or .tif name)");
        return kExitUsage;
    }
    std::string error;
    Picture top, bottom;
    if (!ReadPicture(options.top, top, error) || !ReadPicture(options.bottom, bottom, error)) {
        ReportError(error);
        return kExitFailure;
    }
    Picture result;
    ProgressBar bar;
    InstallInterruptHandler();
    StartProgress(bar, "blending", options.quiet);
    int status = BlendPictures(top, bottom, options.mode, result, error, &bar);
    EndProgress(bar);
    RemoveInterruptHandler();
    if (status == kExitCancelled) {
        ReportError("blend: cancelled; nothing written");
        return status;
    }
    if (status != kExitOk) {
        ReportError("blend: " + error);
        return status;
    }
    if (std::string why = WhyCannotStore(out_format, result); !why.empty()) {
        ReportError("blend: cannot write '" + options.output + "': " + why);
        return kExitFailure;
    }
    WriteOptions write_options;
    write_options.jpeg_quality = int(options.quality);
    if (!WritePicture(options.output, result, write_options, error)) {
        ReportError(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace tw::host
