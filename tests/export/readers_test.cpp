// The files checked by independent readers, when they are installed: psd-tools and
// ImageMagick for the PSD documents at every depth, OpenSP against the HTML 4.01
// Transitional DTD and tidy for the pages, djpeg, jpeginfo and exiftool for the gallery
// pictures. Each test says which package it needs when the reader is missing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "export/gallery.h"
#include "export/psd_export.h"
#include "settings/settings_file.h"
#include "test_pictures.h"

namespace tw {
namespace {

struct Ran {
    int status = -1;
    std::string output;  // stdout and stderr together
};

Ran RunShell(const std::string& command) {
    Ran ran;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return ran;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) ran.output.append(buffer, n);
    const int status = pclose(pipe);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

bool Have(const std::string& probe) { return RunShell(probe).status == 0; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kSgmlCatalog[] = "/usr/share/xml/w3c-sgml-lib/schema/dtd/sgml.soc";

// The colour of the test picture: odd size, no symmetry, alpha from clear to opaque.
PixelRgba Source(int32_t x, int32_t y) {
    return {float(x) / 18, float(y) / 12, float((x * 5 + y * 3) % 17) / 16, float(x + y) / 30};
}

std::string WriteTestPsd(const test::ScratchFolder& folder, int32_t format, const char* name) {
    std::unique_ptr<ImageBuffer, void (*)(ImageBuffer*)> image(
        test::MakePicture(19, 13, format, Source), destroyImageBuffer);
    PsdExportRequest request;
    request.image = image.get();
    request.glue_mode = 3;
    std::string error;
    const std::string path = folder / name;
    EXPECT_TRUE(ExportPsd(path, request, error)) << error;
    return path;
}

// Prints the size, depth, channel count, layers and a few pixels as psd-tools reads them;
// any warning it logs fails the read.
constexpr char kPsdToolsScript[] = R"(
import sys, logging
class Strict(logging.Handler):
    def emit(self, record): raise SystemExit('psd-tools warned: ' + record.getMessage())
logging.getLogger('psd_tools').addHandler(Strict(level=logging.WARNING))
from psd_tools import PSDImage
psd = PSDImage.open(sys.argv[1])
layers = list(psd)
print(psd.width, psd.height, psd.depth, psd.channels, len(layers), layers[0].name)
layer = layers[0].numpy()
merged = psd.numpy()
for x, y in ((0, 0), (18, 0), (5, 7), (9, 12), (18, 12)):
    print(' '.join('%.6f' % float(v) for v in list(layer[y][x]) + list(merged[y][x][:3])))
)";

// ag-psd, the npm package, installed under the build folder (never committed):
//   npm install --prefix <build>/npm ag-psd
// or wherever TARNWELL_AG_PSD points. The script prints what psd-tools' script prints,
// samples scaled to 0..1.
constexpr char kAgPsdScript[] = R"(
const fs = require('fs');
const { readPsd, initializeCanvas } = require(process.argv[2]);
const imageData = (width, height) => ({ width, height, data: new Uint8ClampedArray(width * height * 4) });
initializeCanvas((width, height) => ({ width, height, getContext: () => ({ createImageData: imageData, putImageData() {} }) }), imageData);
const psd = readPsd(fs.readFileSync(process.argv[3]), { useImageData: true, throwForMissingFeatures: true });
const layer = psd.children[0];
console.log(psd.width, psd.height, psd.bitsPerChannel, psd.channels, psd.children.length, layer.name);
const scale = psd.bitsPerChannel == 8 ? 255 : psd.bitsPerChannel == 16 ? 65535 : 1;
for (const [x, y] of [[0, 0], [18, 0], [5, 7], [9, 12], [18, 12]]) {
  const i = (y * layer.imageData.width + x) * 4;
  const l = layer.imageData.data, m = psd.imageData.data;
  console.log([l[i], l[i + 1], l[i + 2], l[i + 3], m[i], m[i + 1], m[i + 2]].map(v => (v / scale).toFixed(6)).join(' '));
}
)";

std::string AgPsdModule() {
    if (const char* path = std::getenv("TARNWELL_AG_PSD")) return path;
    return std::string(TARNWELL_BIN_DIR) + "/../npm/node_modules/ag-psd";
}

// Runs `command` over a test document and compares what it printed with the picture.
void CheckReader(const std::string& command, int32_t format, int depth, double tolerance) {
    test::ScratchFolder folder("reader");
    const std::string psd = WriteTestPsd(folder, format, "t.psd");
    const Ran ran = RunShell(command + " " + Quote(psd));
    ASSERT_EQ(ran.status, 0) << ran.output;
    std::istringstream lines(ran.output);
    int width, height, read_depth, channels, layers;
    std::string name_a, name_b;
    lines >> width >> height >> read_depth >> channels >> layers >> name_a >> name_b;
    EXPECT_EQ(width, 19);
    EXPECT_EQ(height, 13);
    EXPECT_EQ(read_depth, depth);
    EXPECT_EQ(channels, depth == 16 ? 4 : 3);
    EXPECT_EQ(layers, 1);
    EXPECT_EQ(name_a + " " + name_b, "layer 1");
    for (auto [x, y] : {std::pair{0, 0}, {18, 0}, {5, 7}, {9, 12}, {18, 12}}) {
        double v[7];
        for (double& value : v) lines >> value;
        ASSERT_TRUE(lines) << ran.output;
        const PixelRgba s = Source(x, y);
        // The picture itself stores values on its own grid: compare with what it holds.
        EXPECT_NEAR(v[0], s.r, tolerance) << x << "," << y;
        EXPECT_NEAR(v[1], s.g, tolerance);
        EXPECT_NEAR(v[2], s.b, tolerance);
        EXPECT_NEAR(v[3], s.a, tolerance);  // the layer keeps its transparency
        if (depth == 32) {
            EXPECT_NEAR(v[4], s.r, tolerance);  // float copies are not composited
        } else {
            const double bg = ((x ^ y) & 8) == 0 ? 1.0 : 0.8;
            EXPECT_NEAR(v[4], bg + (s.r - bg) * s.a, 2.5 / 255) << x << "," << y;
        }
    }
}

std::string PsdToolsCommand(const test::ScratchFolder& folder) {
    std::ofstream(folder / "read.py") << kPsdToolsScript;
    return std::string(kPython) + " " + Quote(folder / "read.py");
}

TEST(PsdReaders, PsdToolsReadsEveryDepth) {
    if (!Have(std::string(kPython) + " -c 'import psd_tools'"))
        GTEST_SKIP() << "psd-tools is not installed (Debian package python3-psd-tools)";
    test::ScratchFolder scripts("psdtools");
    const std::string command = PsdToolsCommand(scripts);
    CheckReader(command, kRgba8, 8, 0.6 / 255);
    CheckReader(command, kRgba16, 16, 1.0 / 32768);
    CheckReader(command, kRgbaFloat, 32, 1e-6);
}

TEST(PsdReaders, AgPsdReadsEveryDepth) {
    const std::string module = AgPsdModule();
    if (!Have("command -v node") || !std::ifstream(module + "/package.json").good())
        GTEST_SKIP() << "ag-psd is not installed; run: npm install --prefix "
                     << TARNWELL_BIN_DIR << "/../npm ag-psd (or set TARNWELL_AG_PSD)";
    test::ScratchFolder scripts("agpsd");
    std::ofstream(scripts / "read.js") << kAgPsdScript;
    const std::string command = "node " + Quote(scripts / "read.js") + " " + Quote(module);
    CheckReader(command, kRgba8, 8, 0.6 / 255);
    CheckReader(command, kRgba16, 16, 1.0 / 32768);
    CheckReader(command, kRgbaFloat, 32, 1e-6);
}

// ImageMagick: the flattened copy is image 0, the layer image 1.
std::string ImageMagick() {
    for (const char* candidate : {"/usr/bin/convert", "convert"})
        if (RunShell(std::string(candidate) + " -version").output.find("ImageMagick") != std::string::npos)
            return candidate;
    return "";
}

TEST(PsdReaders, ImageMagickConvertsLayerAndMergedImage) {
    const std::string convert = ImageMagick();
    if (convert.empty()) GTEST_SKIP() << "ImageMagick is not installed (Debian package imagemagick)";
    test::ScratchFolder folder("magick");
    for (auto [format, name] : {std::pair{kRgba8, "8.psd"}, {kRgba16, "16.psd"}, {kRgbaFloat, "32.psd"}}) {
        const std::string psd = WriteTestPsd(folder, format, name);
        for (int index : {0, 1}) {
            const std::string png = folder / (std::string(name) + std::to_string(index) + ".png");
            const Ran ran = RunShell(convert + " " + Quote(psd + "[" + std::to_string(index) + "]") + " " + Quote(png));
            EXPECT_EQ(ran.status, 0) << name << ": " << ran.output;
            EXPECT_TRUE(ran.output.empty()) << name << ": " << ran.output;
            const Ran size = RunShell(convert + " " + Quote(png) + " -format '%w %h' info:");
            EXPECT_EQ(size.output, "19 13") << name;
        }
    }
}

void WritePresetFolder(const test::ScratchFolder& source) {
    RenderParams params{};
    ResetParams(params);
    Picture picture;
    ASSERT_TRUE(AllocatePicture(picture, kPictureSide, kPictureSide));
    for (int i = 0; i < 7; ++i) {
        for (size_t b = 0; b < picture.rgb.size(); ++b) picture.rgb[b] = uint8_t(b * (i + 1));
        const std::string names[7] = {"a&b", "calm lake", "x<y>", std::string("caf\xe9"), "5", "6", "7"};
        ASSERT_TRUE(WriteSettings(source / (names[i] + ".q8r"), params, &picture, i != 3));
    }
}

TEST(GalleryReaders, PageIsValidHtml401Transitional) {
    const bool sgml = Have("command -v onsgmls") && std::ifstream(kSgmlCatalog).good();
    const bool tidy = Have("command -v tidy");
    if (!sgml && !tidy)
        GTEST_SKIP() << "neither OpenSP nor tidy is installed (Debian packages opensp, w3c-sgml-lib, tidy)";
    test::ScratchFolder source("readers-presets"), out("readers-page");
    WritePresetFolder(source);
    GalleryReport report;
    const std::string page = out / "Tarnwell presets.html";
    ASSERT_TRUE(WritePresetsPage(source.path(), page, report)) << report.error;
    ASSERT_EQ(report.cells, 7);
    if (sgml) {
        const Ran ran = RunShell("onsgmls -s -c " + Quote(kSgmlCatalog) + " " + Quote(page));
        EXPECT_EQ(ran.status, 0) << ran.output;
        EXPECT_TRUE(ran.output.empty()) << ran.output;
    }
    if (tidy) {
        const Ran ran = RunShell("tidy -q -e " + Quote(page));
        EXPECT_LT(ran.status, 2) << ran.output;  // 1 means warnings only
        EXPECT_EQ(ran.output.find("Error"), std::string::npos) << ran.output;
    }
}

TEST(GalleryReaders, PicturesAreStrictJpegWithReadableMetadata) {
    const bool djpeg = Have("command -v djpeg"), jpeginfo = Have("command -v jpeginfo"),
               exiftool = Have("command -v exiftool");
    if (!djpeg && !jpeginfo && !exiftool)
        GTEST_SKIP() << "no JPEG checker is installed (Debian packages libjpeg-turbo-progs, jpeginfo, "
                        "libimage-exiftool-perl)";
    test::ScratchFolder source("readers-jpeg"), out("readers-jpeg-page");
    WritePresetFolder(source);
    GalleryReport report;
    ASSERT_TRUE(WritePresetsPage(source.path(), out / "p.html", report)) << report.error;
    // "caf\xe9" (Latin-1) is stored under its folded name, and carries no picture.
    for (const std::string name : {"a&b.jpg", "calm lake.jpg", "caf\x89.jpg"}) {
        const std::string jpeg = out / ("web_images/" + name);
        if (djpeg) {
            const Ran ran = RunShell("djpeg -strict " + Quote(jpeg) + " > /dev/null");
            EXPECT_EQ(ran.status, 0) << name << ": " << ran.output;
        }
        if (jpeginfo) {
            const Ran ran = RunShell("jpeginfo -c " + Quote(jpeg));
            EXPECT_EQ(ran.status, 0) << ran.output;
            EXPECT_NE(ran.output.find("128 x  128"), std::string::npos) << ran.output;
            EXPECT_NE(ran.output.find("OK"), std::string::npos) << ran.output;
        }
        if (exiftool) {
            const Ran ran = RunShell("exiftool -a -G1 " + Quote(jpeg));
            EXPECT_EQ(ran.status, 0) << ran.output;
            EXPECT_EQ(ran.output.find("Warning"), std::string::npos) << ran.output;
            EXPECT_NE(ran.output.find("Comment                         : https://www.quillmoth.info/"),
                      std::string::npos) << ran.output;
            EXPECT_NE(ran.output.find("Software                        : Tarnwell"), std::string::npos);
            EXPECT_NE(ran.output.find("Caption-Abstract                : Made with Tarnwell"),
                      std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tw
