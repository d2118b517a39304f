// A fake window and fake plug-in services for running the dialog model in tests, and a
// session that opens the dialog over a picture of a chosen size and plays a user's clicks,
// drags and typing. The fake behaves as the Win32 dialog does where the model relies on it:
// writing a field raises its edit notification at once, posted clicks and mouse moves wait
// in a queue until the session pumps them, and control rectangles come from the template
// (1.5 pixels a dialog unit, so the client is 1006 pixels wide).
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/image_buffer.h"
#include "params/render_params.h"
#include "settings/dot_map.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_model.h"

namespace tw::testing {

class FakeView : public DialogView {
public:
    Dialog* dialog = nullptr;

    // Fields and lists.
    std::map<int, std::string> fields;
    std::map<int, std::vector<std::string>> combo_entries;
    std::map<int, int> combo_selection;
    std::map<int, std::string> button_text;
    std::map<int, bool> window_enabled;
    std::map<int, int> repaints;
    int preview_repaints = 0;

    // Timers, mouse, messages.
    std::map<int, int> timers;  // armed timers and their periods
    bool captured = false;
    CursorShape cursor = CursorShape::kArrow;
    std::vector<CursorShape> cursors;
    struct Posted {
        bool click;
        int id;
    };
    std::deque<Posted> posted;
    PixelPoint mouse;            // where the mouse is now
    bool control_down = false;
    int ended = 0;          // the EndDialog result

    // Other windows: what they do when they open, and how often they did.
    int about_shown = 0, info_shown = 0, size_runs = 0;
    std::vector<AuxWindow> brought_to_top, closed;
    std::function<void()> while_about_open, while_info_open;
    std::function<bool(ExportSizeDialog&, RenderParams&)> size_dialog;  // null: cancelled
    std::vector<int> progress;
    std::deque<std::string> open_answers, save_answers;  // "" cancels
    std::vector<FileRequest> file_requests;
    bool system_colour_ok = false;
    Rgb16 system_colour{};
    int system_colour_asked = 0;
    std::vector<std::string> messages;
    std::function<void()> pending_input;  // what the user does while a batch runs
    std::function<void()> while_file_dialog;

    std::string FieldText(int id) override { return fields[id]; }
    void SetFieldText(int id, const std::string& text) override {
        fields[id] = text;
        if (dialog) DialogCommand(*dialog, id, kEditChange);  // as the window does, at once
    }
    void FillCombo(int id, std::span<const std::string> entries) override {
        combo_entries[id].assign(entries.begin(), entries.end());
    }
    int ComboSelection(int id) override {
        auto it = combo_selection.find(id);
        return it == combo_selection.end() ? -1 : it->second;
    }
    void SelectCombo(int id, int index) override {
        const int count = static_cast<int>(combo_entries[id].size());
        combo_selection[id] = index >= 0 && index < count ? index : -1;
    }
    void SetButtonText(int id, const std::string& text) override { button_text[id] = text; }
    void EnableWindow(int id, bool enabled) override { window_enabled[id] = enabled; }

    PixelRect ControlRect(int id) override {
        const ControlLayout* c = FindControlLayout(kMainDialogTemplate, id);
        if (c == nullptr) return {};
        return {c->x * 3 / 2, c->y * 3 / 2, (c->x + c->w) * 3 / 2, (c->y + c->h) * 3 / 2};
    }
    int32_t ClientWidth() override { return kMainDialogTemplate.w * 3 / 2; }
    void RepaintControl(int id) override { ++repaints[id]; }
    void RepaintPreview() override { ++preview_repaints; }

    void SetTimer(int id, int milliseconds) override { timers[id] = milliseconds; }
    void KillTimer(int id) override { timers.erase(id); }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void SetCursor(CursorShape shape) override {
        cursor = shape;
        cursors.push_back(shape);
    }
    void PostClick(int id) override { posted.push_back({true, id}); }
    void PostMouseMove() override { posted.push_back({false, 0}); }
    void ProcessPendingInput() override {
        if (pending_input) pending_input();
    }
    void EndDialog(int result) override { ended = result; }

    void ShowAbout() override {
        ++about_shown;
        if (while_about_open) while_about_open();
    }
    void ShowInfo() override {
        ++info_shown;
        if (while_info_open) while_info_open();
    }
    bool RunExportSize(ExportSizeDialog& size, RenderParams& params) override {
        ++size_runs;
        return size_dialog && size_dialog(size, params);
    }
    void OpenProgress() override { progress.push_back(-1); }
    void ShowProgress(int per_mille) override { progress.push_back(per_mille); }
    void CloseProgress() override { progress.push_back(-2); }
    void BringToTop(AuxWindow window) override { brought_to_top.push_back(window); }
    void CloseWindow(AuxWindow window) override { closed.push_back(window); }
    bool OpenFileDialog(FileRequest& request) override { return Answer(request, open_answers); }
    bool SaveFileDialog(FileRequest& request) override { return Answer(request, save_answers); }
    bool PickSystemColour(Rgb16& colour) override {
        ++system_colour_asked;
        if (system_colour_ok) colour = system_colour;
        return system_colour_ok;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    PixelPoint CentreOf(int id) {
        const PixelRect r = ControlRect(id);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

private:
    bool Answer(FileRequest& request, std::deque<std::string>& answers) {
        file_requests.push_back(request);
        if (while_file_dialog) while_file_dialog();
        if (answers.empty()) return false;
        request.path = answers.front();
        answers.pop_front();
        return !request.path.empty();
    }
};

class FakeServices : public DialogServices {
public:
    ImageBounds bounds;  // the host's picture
    int32_t planes = 3;
    std::vector<uint8_t> preview;  // the preview buffer, planar
    int32_t preview_width = 0, preview_height = 0;
    RenderParams* params = nullptr;
    std::vector<RenderParams> rendered;  // the settings of every preview render
    int source_views = 0;
    bool error_pending = false;
    HostColourAnswer host_colour = HostColourAnswer::kUnavailable;
    Rgb16 host_choice{};
    std::vector<std::string> prompts;
    struct Export {
        std::string path;
        int32_t width, height;
    };
    std::vector<Export> exports;
    bool export_ok = true;
    std::vector<std::string> opened;
    std::vector<PixelRect> shown_regions;

    void RenderPreview(const PreviewRequest& request) override {
        rendered.push_back(*params);
        Fill(request, static_cast<uint8_t>(rendered.size()));
    }
    void ShowSourcePreview(const PreviewRequest& request) override {
        ++source_views;
        Fill(request, 0);
    }
    PlanarView PreviewPicture() override {
        if (preview.empty()) return {};
        return {preview.data(), preview_width, preview_height, planes};
    }
    bool TakePendingError() override {
        const bool was = error_pending;
        error_pending = false;
        return was;
    }
    HostColourAnswer PickHostColour(Rgb16& colour, const std::string& prompt) override {
        prompts.push_back(prompt);
        if (host_colour == HostColourAnswer::kConfirmed) colour = host_choice;
        return host_colour;
    }
    ImageBuffer* RenderPicture(const RenderParams&, int32_t width, int32_t height, const ProgressReport&,
                               std::string&) override {
        ImageBuffer* image = createImageBuffer(width, height, kRgba8, false);
        return image;
    }
    bool ExportPsd(const std::string& path, int32_t width, int32_t height, const ProgressReport& report,
                   std::string& error) override {
        exports.push_back({path, width, height});
        report(500);
        report(1000);
        if (!export_ok) error = "disk full";
        return export_ok;
    }
    void OpenDocument(const std::string& path) override { opened.push_back(path); }
    uint32_t ClockSeed() override { return 1234; }

private:
    // A preview of the size the frame allows at the record's zoom, in one grey level.
    void Fill(const PreviewRequest& request, uint8_t level);
};

inline void FakeServices::Fill(const PreviewRequest& request, uint8_t level) {
    const PixelRect region = ShownRegion(bounds, params->zoom, request.frame_width, request.frame_height);
    shown_regions.push_back(region);
    preview_width = region.width();
    preview_height = region.height();
    preview.assign(size_t(planes) * preview_width * preview_height, level);
}

// A dialog opened over a picture, with its own temporary folder for undo and dot files.
class DialogSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the dialog over a width x height picture with the record as it is now.
    void Open(int32_t width = 800, int32_t height = 600);

    // The user's hand.
    void Pump();
    void Click(int id);
    void Press(PixelPoint p, bool right = false, bool control = false);
    void Move(PixelPoint p, bool control = false);
    void Release(PixelPoint p);
    void ClickAt(int id, bool right = false, bool control = false);
    void Type(int field_id, const std::string& text);
    void FireTimer(int id = kSettleTimer) { DialogTimer(dialog, id); }
    void SelectInCombo(int id, int index);

    int Renders() const { return static_cast<int>(services.rendered.size()); }
    std::string Path(const std::string& name) const { return (std::filesystem::path(folder) / name).string(); }

    RenderParams params{};
    uint8_t enabled[kControlCount]{};
    DotKeepFlags keep{};
    DialogHost host;
    FakeView view;
    FakeServices services;
    Dialog dialog;
    std::string folder;
};

}  // namespace tw::testing
