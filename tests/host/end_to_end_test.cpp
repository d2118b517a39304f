// The tarnwell command from the outside: exit statuses, messages, written files, Ctrl-C,
// with a stand-in plug-in module and, once it is built, the real one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/document.h"
#include "host/picture.h"
#include "platform/platform.h"
#include "tests/host/test_support.h"

namespace tw::host {
namespace {

using testing::PatternPicture;
using testing::ScratchPath;

const std::string kBin = TARNWELL_BIN_DIR;
const std::string kTarnwell = kBin + "/tarnwell";
const std::string kFakePlugin = kBin + "/FakePlugin.so";
const std::string kRealPlugin = kBin + "/Tarnwell.so";

struct Ran {
    int status = -1;  // exit status, or 128 + signal
    std::string errors;
};

// Starts tarnwell with `arguments` and the given fake mode; `while_running` runs in the
// parent with the child's pid before it is waited for.
Ran RunTarnwell(const std::vector<std::string>& arguments, const std::string& mode = "invert",
                void (*while_running)(pid_t) = nullptr) {
    std::string err_path = ScratchPath("stderr.txt");
    pid_t child = fork();
    if (child == 0) {
        std::FILE* err = std::freopen(err_path.c_str(), "w", stderr);
        if (!err) _exit(99);
        setenv("TARNWELL_FAKE_MODE", mode.c_str(), 1);
        setenv("TARNWELL_FAKE_MARKER", ScratchPath("started").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(kTarnwell.c_str())};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kTarnwell.c_str(), argv.data());
        _exit(98);
    }
    if (while_running) while_running(child);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    Ran ran;
    ran.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    std::ifstream in(err_path);
    std::stringstream text;
    text << in.rdbuf();
    ran.errors = text.str();
    return ran;
}

std::string Saved(const std::string& name, const Picture& picture) {
    std::string path = ScratchPath(name);
    std::string error;
    EXPECT_TRUE(WritePicture(path, picture, {}, error)) << error;
    return path;
}

Picture Load(const std::string& path) {
    Picture picture;
    std::string error;
    EXPECT_TRUE(ReadPicture(path, picture, error)) << error;
    return picture;
}

TEST(Command, HelpDescribesEveryOption) {
    Ran ran = RunTarnwell({"--help"});
    EXPECT_EQ(ran.status, 0);
    ran = RunTarnwell({"apply", "--help"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(ran.errors.empty());
}

TEST(Command, BadCommandLinesExitWithUsageStatusAndOneLine) {
    std::string in = Saved("usage-in.png", PatternPicture(8, 8, 3, 8));
    std::string out = ScratchPath("usage-out.png");
    struct Case { std::vector<std::string> args; const char* says; };
    for (const Case& c : {Case{{"frobnicate"}, "unknown command"},
                          Case{{"apply", in}, "needs an input and an output"},
                          Case{{"apply", in, out, "--sparkle"}, "unknown option '--sparkle'"},
                          Case{{"apply", in, out, "--quality", "101"}, "1 to 100"},
                          Case{{"apply", in, out, "--threads=0"}, "1 to 1024"},
                          Case{{"apply", in, out, "--quality", "9x"}, "got '9x'"},
                          Case{{"apply", in, ScratchPath("out.bmp")}, ".png, .jpg or .tif"},
                          Case{{"apply", in, out, "--mask"}, "needs a value"},
                          // This build has no windows: the message says where the dialog is.
                          Case{{"apply", in, out, "--dialog"}, "--dialog needs the Windows build"},
                          Case{{"apply", "--dialog", in, out}, "windows-run.sh build/windows/bin/tarnwell.exe apply --dialog"}}) {
        Ran ran = RunTarnwell(c.args);
        EXPECT_EQ(ran.status, 2) << c.says;
        EXPECT_NE(ran.errors.find(c.says), std::string::npos) << ran.errors;
        EXPECT_EQ(std::count(ran.errors.begin(), ran.errors.end(), '\n'), 1) << ran.errors;
    }
    EXPECT_FALSE(platform::FileExists(out));
}

TEST(Command, BadInputFailsWithoutWritingAnything) {
    std::string out = ScratchPath("bad-out.png");
    std::string good = Saved("bad-good.png", PatternPicture(8, 8, 3, 8));
    std::vector<uint8_t> bytes;
    platform::ReadWholeFile(good, bytes);
    bytes.resize(bytes.size() / 2);
    std::string cut = ScratchPath("bad-cut.png");
    platform::WriteFileAtomically(cut, bytes.data(), bytes.size());
    std::string text = ScratchPath("bad-text.png");
    platform::WriteFileAtomically(text, "not a picture", 13);

    struct Case { std::vector<std::string> args; const char* says; };
    for (const Case& c : {Case{{"apply", ScratchPath("absent.png"), out}, "No such file"},
                          Case{{"apply", cut, out}, "truncated"},
                          Case{{"apply", text, out}, "not a PNG, JPEG or TIFF"},
                          Case{{"apply", good, out, "--mask", good}, "greyscale"},
                          Case{{"apply", good, out, "--plugin", text}, "cannot load the plug-in"},
                          Case{{"apply", good, out, "--plugin", ScratchPath("none.so")}, "cannot find"}}) {
        Ran ran = RunTarnwell(c.args, "invert");
        EXPECT_EQ(ran.status, 1) << c.says;
        EXPECT_NE(ran.errors.find(c.says), std::string::npos) << ran.errors;
        EXPECT_FALSE(platform::FileExists(out)) << c.says;
    }
    Ran ran = RunTarnwell({"apply", Saved("deep.png", PatternPicture(4, 4, 3, 16)), ScratchPath("deep.jpg")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("JPEG holds only 8-bit"), std::string::npos) << ran.errors;
}

TEST(Command, PluginFailuresAreReportedWithTheirMeaning) {
    std::string in = Saved("fail-in.png", PatternPicture(8, 8, 3, 8));
    std::string out = ScratchPath("fail-out.png");
    Ran ran = RunTarnwell({"apply", in, out, "--plugin", kFakePlugin}, "fail-108");
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("out of memory (code -108)"), std::string::npos) << ran.errors;
    ran = RunTarnwell({"apply", in, out, "--plugin", kFakePlugin}, "report");
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("fake refuses"), std::string::npos) << ran.errors;
    EXPECT_FALSE(platform::FileExists(out));
}

// Every supported kind of picture goes through the whole path: file, document, advance
// state, the plug-in's writes, document, file. The stand-in inverts the colour planes.
TEST(Command, StandInPluginSeesAndChangesEveryKindOfPicture) {
    struct Case { const char* name; int channels, bits; };
    for (Case c : {Case{"rgb8.png", 3, 8}, Case{"rgba8.png", 4, 8}, Case{"grey8.png", 1, 8},
                   Case{"rgb16.png", 3, 16}, Case{"greya16.tif", 2, 16}, Case{"rgbf.tif", 3, 32}}) {
        Picture original = PatternPicture(37, 21, c.channels, c.bits);
        std::string in = Saved(std::string("in-") + c.name, original);
        std::string out = ScratchPath(std::string("out-") + c.name);
        Ran ran = RunTarnwell({"apply", in, out, "--plugin", kFakePlugin});
        ASSERT_EQ(ran.status, 0) << c.name << ": " << ran.errors;
        Picture result = Load(out);
        ASSERT_EQ(result.width, 37);
        ASSERT_EQ(result.height, 21);
        ASSERT_EQ(result.channels, c.channels);
        ASSERT_EQ(result.bits, c.bits);
        Document before, after;
        std::string error;
        DocumentFromPicture(original, before, error);
        DocumentFromPicture(result, after, error);
        size_t samples = size_t(37 * 21 * c.channels);
        int colours = original.ColourChannels();
        for (size_t i = 0; i < samples; ++i) {
            bool colour = int(i % size_t(c.channels)) < colours;
            if (c.bits == 8) {
                uint8_t want = colour ? uint8_t(255 - before.pixels[i]) : before.pixels[i];
                ASSERT_EQ(after.pixels[i], want) << c.name << " sample " << i;
            } else if (c.bits == 16) {
                auto* b = reinterpret_cast<const uint16_t*>(before.pixels.data());
                auto* a = reinterpret_cast<const uint16_t*>(after.pixels.data());
                ASSERT_EQ(a[i], colour ? 32768 - b[i] : b[i]) << c.name << " sample " << i;
            } else {
                auto* b = reinterpret_cast<const float*>(before.pixels.data());
                auto* a = reinterpret_cast<const float*>(after.pixels.data());
                ASSERT_EQ(a[i], colour ? 1.0f - b[i] : b[i]) << c.name << " sample " << i;
            }
        }
    }
}

TEST(Command, MaskLimitsTheChange) {
    Picture grey = PatternPicture(4, 1, 1, 8);
    Picture mask;
    mask.Allocate(4, 1, 1, 8);
    mask.data = {0, 255, 0, 255};
    std::string in = Saved("masked-in.png", grey);
    std::string mask_path = Saved("mask.png", mask);
    std::string out = ScratchPath("masked-out.png");
    Ran ran = RunTarnwell({"apply", in, out, "--mask", mask_path, "--plugin", kFakePlugin, "-q"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    Picture result = Load(out);
    EXPECT_EQ(result.data[0], grey.data[0]);
    EXPECT_EQ(result.data[1], 255 - grey.data[1]);
    EXPECT_EQ(result.data[2], grey.data[2]);
}

void InterruptOnceStarted(pid_t child) {
    std::string marker = ScratchPath("started");
    for (int i = 0; i < 500 && !platform::FileExists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGINT);
}

TEST(Command, CtrlCStopsTheRenderAndWritesNothing) {
    platform::RemoveFile(ScratchPath("started"));
    std::string in = Saved("cancel-in.png", PatternPicture(8, 8, 3, 8));
    std::string out = ScratchPath("cancel-out.png");
    Ran ran = RunTarnwell({"apply", in, out, "--plugin", kFakePlugin}, "wait-abort", InterruptOnceStarted);
    EXPECT_EQ(ran.status, 130) << ran.errors;
    EXPECT_NE(ran.errors.find("cancelled"), std::string::npos) << ran.errors;
    EXPECT_FALSE(platform::FileExists(out));
    EXPECT_FALSE(platform::FileExists(out + ".partial"));
}

// The real plug-in, run exactly as a user runs it (found beside the command).
TEST(RealPlugin, DrawsWaterAndKeepsSizeModeAndDepthOfEveryKindOfPicture) {
    if (!platform::FileExists(kRealPlugin)) GTEST_SKIP() << "Tarnwell.so is not built in " << kBin;
    struct Case { const char* name; int channels, bits; };
    for (Case c : {Case{"rgb8.png", 3, 8}, Case{"rgba8.png", 4, 8}, Case{"grey8.png", 1, 8},
                   Case{"rgb16.png", 3, 16}, Case{"rgbf.tif", 3, 32}}) {
        Picture original = PatternPicture(70, 45, c.channels, c.bits);
        if (c.bits == 32) {
            // Keep float samples in the picture range the plug-in works in.
            auto* f = reinterpret_cast<float*>(original.data.data());
            for (size_t i = 0; i < original.data.size() / 4; ++i) f[i] = (f[i] + 1.0f) / 4.0f;
        }
        std::string in = Saved(std::string("real-in-") + c.name, original);
        std::string out = ScratchPath(std::string("real-out-") + c.name);
        Ran ran = RunTarnwell({"apply", in, out});
        ASSERT_EQ(ran.status, 0) << c.name << ": " << ran.errors;
        Picture result = Load(out);
        EXPECT_EQ(result.width, original.width) << c.name;
        EXPECT_EQ(result.height, original.height) << c.name;
        EXPECT_EQ(result.channels, original.channels) << c.name;
        EXPECT_EQ(result.bits, original.bits) << c.name;
        EXPECT_FALSE(result.data == original.data) << c.name << ": no water was drawn";
    }
}

TEST(RealPlugin, LeavesUnselectedPixelsAlone) {
    if (!platform::FileExists(kRealPlugin)) GTEST_SKIP() << "Tarnwell.so is not built in " << kBin;
    Picture original = PatternPicture(80, 60, 3, 8);
    Picture mask;
    ASSERT_TRUE(mask.Allocate(80, 60, 1, 8));
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 40; x < 80; ++x) mask.data[size_t(y * 80 + x)] = 255;  // right half selected
    std::string out = ScratchPath("real-masked.png");
    Ran ran = RunTarnwell({"apply", Saved("real-masked-in.png", original), out, "--mask",
                           Saved("real-mask.png", mask)});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    Picture result = Load(out);
    ASSERT_EQ(result.data.size(), original.data.size());
    bool right_changed = false;
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 80; ++x) {
            for (int c = 0; c < 3; ++c) {
                size_t i = size_t((y * 80 + x) * 3 + c);
                if (x < 40) ASSERT_EQ(result.data[i], original.data[i]) << x << "," << y;
                else right_changed = right_changed || result.data[i] != original.data[i];
            }
        }
    }
    EXPECT_TRUE(right_changed);
}

// An editor that cannot pad (--no-padding) refuses every request reaching outside the
// picture; the plug-in then asks only inside it and repeats the edges itself.
TEST(RealPlugin, HostWithoutPaddingGetsTheSamePicture) {
    if (!platform::FileExists(kRealPlugin)) GTEST_SKIP() << "Tarnwell.so is not built in " << kBin;
    struct Case { int32_t width, height, bits; const char* extension; };
    for (const Case c : {Case{777, 555, 8, ".png"}, Case{777, 555, 16, ".png"}, Case{777, 555, 32, ".tif"},
                         Case{1, 1, 8, ".png"}, Case{1, 1, 32, ".tif"}, Case{1030, 3, 16, ".png"}}) {
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + "-" +
                                 std::to_string(c.bits);
        Picture original = PatternPicture(c.width, c.height, 3, c.bits);
        if (c.bits == 32) {
            auto* f = reinterpret_cast<float*>(original.data.data());
            for (size_t i = 0; i < original.data.size() / 4; ++i) f[i] = (f[i] + 1.0f) / 4.0f;
        }
        Picture mask;
        ASSERT_TRUE(mask.Allocate(c.width, c.height, 1, 8));
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                mask.data[size_t(y) * size_t(c.width) + size_t(x)] = uint8_t(std::clamp((x * 5 + y * 3) % 400 - 70, 0, 255));
        const std::string in = Saved("pad-in-" + name + c.extension, original);
        const std::string selection = Saved("pad-mask-" + name + ".png", mask);
        const std::string padded = ScratchPath("pad-out-" + name + c.extension);
        const std::string strict = ScratchPath("pad-strict-" + name + c.extension);
        // The large picture in the quick style.
        const std::string style = c.width * c.height > 100000 ? "style=simple" : "style=complex";
        Ran ran = RunTarnwell({"apply", in, padded, "--mask", selection, "--set", style, "-q"});
        ASSERT_EQ(ran.status, 0) << name << ": " << ran.errors;
        ran = RunTarnwell({"apply", in, strict, "--mask", selection, "--set", style, "--no-padding", "-q"});
        ASSERT_EQ(ran.status, 0) << name << ": " << ran.errors;
        std::vector<uint8_t> a, b;
        ASSERT_TRUE(platform::ReadWholeFile(padded, a));
        ASSERT_TRUE(platform::ReadWholeFile(strict, b));
        EXPECT_TRUE(a == b) << name;
        if (c.width > 1) {
            EXPECT_FALSE(Load(padded).data == original.data) << name << ": no water drawn";
        }
    }
}

TEST(RealPlugin, GivesTheSameBytesWhateverTheThreadCount) {
    if (!platform::FileExists(kRealPlugin)) GTEST_SKIP() << "Tarnwell.so is not built in " << kBin;
    std::string in = Saved("threads-in.png", PatternPicture(150, 90, 3, 8));
    std::vector<uint8_t> first, second;
    ASSERT_EQ(RunTarnwell({"apply", in, ScratchPath("threads-1.png"), "--threads", "1"}).status, 0);
    ASSERT_EQ(RunTarnwell({"apply", in, ScratchPath("threads-3.png"), "--threads=3"}).status, 0);
    ASSERT_TRUE(platform::ReadWholeFile(ScratchPath("threads-1.png"), first));
    ASSERT_TRUE(platform::ReadWholeFile(ScratchPath("threads-3.png"), second));
    EXPECT_TRUE(first == second);
}

// TARNWELL_TIMINGS makes apply say how long each step took: every step of a run that
// loads its source and renders tiles, with numbers that add up to no more than the total.
TEST(RealPlugin, TimingsNameEveryStep) {
    if (!platform::FileExists(kRealPlugin)) GTEST_SKIP() << "Tarnwell.so is not built in " << kBin;
    const std::string in = Saved("timings-in.png", PatternPicture(120, 80, 3, 8));
    setenv("TARNWELL_TIMINGS", "1", 1);
    const Ran ran = RunTarnwell({"apply", in, ScratchPath("timings-out.png"), "--set", "style=simple"});
    unsetenv("TARNWELL_TIMINGS");
    ASSERT_EQ(ran.status, 0) << ran.errors;
    double sum = 0, total = -1;
    for (const char* step : {"read and decode IN", "picture to document", "load the plug-in module",
                             "plug-in start-up", "load the source, build the mip chain",
                             "render and hand back the tiles", "plug-in finish",
                             "document to picture, encode and write OUT", "total"}) {
        const size_t at = ran.errors.find(step);
        ASSERT_NE(at, std::string::npos) << step << " missing from:\n" << ran.errors;
        const size_t end = ran.errors.find('\n', at);
        const double seconds = std::stod(ran.errors.substr(end - 8, 8));
        EXPECT_GE(seconds, 0.0) << step;
        if (std::string(step) == "total") total = seconds;
        else sum += seconds;
    }
    EXPECT_LE(sum, total + 0.01);
    // Without the variable nothing is said.
    const Ran quiet = RunTarnwell({"apply", in, ScratchPath("timings-out2.png")});
    EXPECT_EQ(quiet.errors.find("seconds per step"), std::string::npos);
}

}  // namespace
}  // namespace tw::host
