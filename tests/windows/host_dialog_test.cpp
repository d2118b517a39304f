// The host's side of `tarnwell apply --dialog` under Wine: the run an editor makes from its
// menu (parameters selector, the dialog asked for, a shown top-level window as the
// dialog's parent), displayPixels drawing into real device contexts, and Cancel writing
// nothing. A stand-in plug-in (dialog_probe_plugin.cpp) reports what it was given.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "host/commands.h"
#include "host/host_session.h"
#include "host/host_window.h"
#include "host/picture.h"
#include "hostapi/host_constants.h"
#include "tests/windows/dialog_driver.h"

namespace tw::testing {
namespace {

using host::Arguments;

std::string TempPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "tarnwell-host-dialog-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// "key=value" lines of the probe's report (later lines win).
std::map<std::string, std::string> ReadReport(const std::string& path) {
    std::map<std::string, std::string> report;
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return report;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const size_t equals = text.find('=');
        if (equals != std::string::npos) report[text.substr(0, equals)] = text.substr(equals + 1);
    }
    std::fclose(f);
    return report;
}

class ApplyWithDialog : public ::testing::Test {
protected:
    void SetUp() override {
        input = TempPath("in.png");
        output = TempPath("out.png");
        report = TempPath("report.txt");
        host::Picture picture;
        ASSERT_TRUE(picture.Allocate(40, 30, 3, 8));
        for (size_t i = 0; i < picture.data.size(); ++i) picture.data[i] = uint8_t(i * 7);
        std::string error;
        ASSERT_TRUE(host::WritePicture(input, picture, {}, error)) << error;
        DeleteFileA(output.c_str());
        DeleteFileA(report.c_str());
        _putenv_s("TARNWELL_PROBE_REPORT", report.c_str());
    }
    void TearDown() override {
        DeleteFileA(input.c_str());
        DeleteFileA(output.c_str());
        DeleteFileA(report.c_str());
        _putenv_s("TARNWELL_PROBE_MODE", "");
    }
    int Apply(const Arguments& extra, const char* mode) {
        _putenv_s("TARNWELL_PROBE_MODE", mode);
        Arguments arguments{"-q", "--plugin", TARNWELL_PROBE_PLUGIN_PATH};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(input);
        arguments.push_back(output);
        return host::RunApply(arguments);
    }
    bool OutputWritten() const { return GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::string input, output, report;
};

TEST_F(ApplyWithDialog, RunsAsFromTheMenuWithAShownWindowAsTheParent) {
    ASSERT_EQ(Apply({"--dialog"}, "accept"), host::kExitOk);
    const auto seen = ReadReport(report);
    // Parameters first, as a menu invocation; no continue, as the probe left no rectangles.
    EXPECT_EQ(seen.at("selectors"), "1,2,3,5");
    EXPECT_EQ(seen.at("play_info"), std::to_string(plugInDialogDisplay));
    EXPECT_EQ(seen.at("descriptor_given"), "0") << "no settings chosen: the plug-in starts from its last ones";
    EXPECT_EQ(seen.at("parent_given"), "1");
    EXPECT_EQ(seen.at("parent_is_window"), "1");
    EXPECT_EQ(seen.at("parent_visible"), "1");
    EXPECT_EQ(seen.at("parent_top_level"), "1");
    EXPECT_EQ(seen.at("parent_same_process"), "1");
    EXPECT_NE(seen.at("parent_title").find("in.png"), std::string::npos) << seen.at("parent_title");
    // The pattern drawn with displayPixels reached the window.
    EXPECT_EQ(seen.at("display_result"), "0");
    EXPECT_EQ(seen.at("pixel_0_0"), "281ec8");  // red 40, green 30, blue 200
    EXPECT_EQ(seen.at("pixel_3_2"), "dcd2c8");  // red 220, green 210, blue 200
    EXPECT_NE(seen.at("pixel_outside"), "dc1ec8");
    // OK renders: the output is written with what the plug-in stored.
    ASSERT_TRUE(OutputWritten());
    host::Picture result;
    std::string error;
    ASSERT_TRUE(host::ReadPicture(output, result, error)) << error;
    EXPECT_EQ(result.data[0], 77);
    EXPECT_EQ(result.data[result.data.size() - 1], 77);
    // The window is gone once the command is done.
    WindowQuery document;
    document.title = seen.at("parent_title");
    EXPECT_EQ(FindProcessWindow(document), nullptr);
}

TEST_F(ApplyWithDialog, ChosenSettingsAreHandedOverWithTheDialogAskedFor) {
    ASSERT_EQ(Apply({"--dialog", "--set", "Horizon=40"}, "accept"), host::kExitOk);
    const auto seen = ReadReport(report);
    EXPECT_EQ(seen.at("play_info"), std::to_string(plugInDialogDisplay));
    EXPECT_EQ(seen.at("descriptor_given"), "1");
}

TEST_F(ApplyWithDialog, CancelWritesNothing) {
    EXPECT_EQ(Apply({"--dialog"}, "cancel"), host::kExitCancelled);
    const auto seen = ReadReport(report);
    EXPECT_EQ(seen.at("selectors"), "1,2,3");
    EXPECT_FALSE(OutputWritten());
}

TEST_F(ApplyWithDialog, WithoutTheDialogTheRunIsAReplayWithNoWindow) {
    ASSERT_EQ(Apply({}, "accept"), host::kExitOk);
    const auto seen = ReadReport(report);
    EXPECT_EQ(seen.at("selectors"), "2,3,5");
    EXPECT_EQ(seen.at("play_info"), std::to_string(plugInDialogDontDisplay));
    EXPECT_EQ(seen.at("parent_given"), "0");
    EXPECT_TRUE(OutputWritten());
}

TEST_F(ApplyWithDialog, TheRealPluginRendersFromTheMenu) {
    // Until the plug-in's dialog exists its start runs without one (and counts as OK);
    // once it does, the actor presses Enter in it, which is OK.
    WindowQuery dialog;
    dialog.title = "Tarnwell 2";
    dialog.class_name = kDialogClass;
    ModalActor ok(dialog, [](HWND d) { PostKey(d, VK_RETURN); }, 60000);
    Arguments arguments{"-q", "--dialog", "--plugin", TARNWELL_PLUGIN_PATH, input, output};
    EXPECT_EQ(host::RunApply(arguments), host::kExitOk);
    ok.StopWaiting();
    ASSERT_TRUE(OutputWritten());
    host::Picture before, after;
    std::string error;
    ASSERT_TRUE(host::ReadPicture(input, before, error)) << error;
    ASSERT_TRUE(host::ReadPicture(output, after, error)) << error;
    EXPECT_EQ(after.width, before.width);
    EXPECT_NE(after.data, before.data) << "the water was drawn";
}

// ---- displayPixels into device contexts --------------------------------------------------

// A 6 x 4 RGB48 map, interleaved, in the host's 16-bit range: red along x, green along y.
struct DeepPattern {
    uint16_t samples[4][6][3];
    DeepPattern() {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                samples[y][x][0] = uint16_t(x * 6000);
                samples[y][x][1] = uint16_t(y * 10000);
                samples[y][x][2] = 32768;
            }
    }
    PSPixelMap Map() {
        PSPixelMap map{};
        map.version = 1;
        map.bounds = VRect{100, 200, 104, 206};  // the plug-in's own coordinates
        map.imageMode = plugInModeRGB48;
        map.rowBytes = 6 * 6;
        map.colBytes = 6;
        map.planeBytes = 2;
        map.baseAddr = samples;
        return map;
    }
    static uint32_t Expected(int x, int y) {
        auto byte = [](int v) { return (v * 255 + 16384) / 32768; };
        return Rgb(byte(x * 6000), byte(y * 10000), 255);
    }
};

class DisplayPixels : public ::testing::Test {
protected:
    void SetUp() override {
        document.width = 4;
        document.height = 4;
        document.pixels.assign(document.RowBytes() * 4, 0);
        session.BeginRun(document, {});
    }
    host::Document document;
    host::HostSession session;
};

TEST_F(DisplayPixels, DrawsTheAskedRectangleAtTheAskedPlaceInAWindow) {
    HWND window = CreateWindowExA(0, "Static", "Display target", WS_POPUP | WS_VISIBLE, 50, 50, 120, 90, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    UpdateWindow(window);
    DeepPattern pattern;
    const PSPixelMap map = pattern.Map();
    // Columns 201..204 and rows 101..102 of the map, drawn at column 30, row 20.
    const VRect part{101, 201, 103, 205};
    HDC dc = GetDC(window);
    EXPECT_EQ(session.record().displayPixels(&map, &part, 20, 30, dc), noErr);
    ReleaseDC(window, dc);
    const Capture shot = CaptureClient(window);
    DestroyWindow(window);
    ASSERT_FALSE(shot.empty());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_LE(ColourDistance(shot.at(30 + x, 20 + y), DeepPattern::Expected(1 + x, 1 + y)), 1) << x << "," << y;
    // Nothing beyond the rectangle: the column after it and the row below keep the window's own look.
    EXPECT_NE(shot.at(34, 20), DeepPattern::Expected(5, 1));
    EXPECT_NE(shot.at(30, 22), DeepPattern::Expected(1, 3));
}

TEST_F(DisplayPixels, DrawsIntoAMemoryBitmapToo) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 10;
    info.bmiHeader.biHeight = -10;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(target, nullptr);
    std::memset(bits, 0, 400);
    HGDIOBJ old = SelectObject(memory, target);
    DeepPattern pattern;
    const PSPixelMap map = pattern.Map();
    EXPECT_EQ(session.record().displayPixels(&map, &map.bounds, 0, 0, memory), noErr);
    GdiFlush();
    SelectObject(memory, old);
    const Capture c = CaptureBitmap(target);
    DeleteObject(target);
    DeleteDC(memory);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_LE(ColourDistance(c.at(x, y), DeepPattern::Expected(x, y)), 1) << x << "," << y;
    EXPECT_EQ(c.at(6, 0), 0u);
    EXPECT_EQ(c.at(0, 4), 0u);
    EXPECT_EQ(session.stats().display_calls, 1);
}

TEST(HostWindow, OpensShownWithThePictureAndClosesWithItsOwner) {
    host::Document doc;
    doc.width = 64;
    doc.height = 48;
    doc.pixels.resize(doc.RowBytes() * 48);
    for (size_t i = 0; i < doc.pixels.size(); i += 3) {
        doc.pixels[i] = 250;  // red
        doc.pixels[i + 1] = 20;
        doc.pixels[i + 2] = 10;
    }
    HWND handle = nullptr;
    {
        host::HostWindow window;
        std::string error;
        ASSERT_TRUE(window.Open("Tarnwell - probe.png", doc, error)) << error;
        handle = reinterpret_cast<HWND>(window.handle());
        ASSERT_TRUE(IsWindowVisible(handle));
        RECT client{};
        GetClientRect(handle, &client);
        // A small picture is shown at its own size, centred if the window is wider.
        EXPECT_EQ(client.bottom, 48);
        window.Pump();
        const Capture shot = CaptureClient(handle);
        const LONG left = (client.right - 64) / 2;
        EXPECT_GT(ShareOfColour(shot, RECT{left, 0, left + 64, 48}, Rgb(250, 20, 10), 3), 0.95);
        if (left > 1) {
            EXPECT_NE(shot.at(0, 24), Rgb(250, 20, 10)) << "the picture is not stretched";
        }
        // The document stays open when asked to close while the filter runs.
        SendMessageA(handle, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(handle));
    }
    EXPECT_FALSE(IsWindow(handle));
}

}  // namespace
}  // namespace tw::testing
