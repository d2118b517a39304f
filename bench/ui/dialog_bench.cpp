// The dialog's answer to a slider: from releasing the mouse on a slider to the preview
// ready to paint (the model's release, the settings copied, the undo state, the preview
// rendered through the shell's tile scheduler, and the preview turned into the rows a
// device-independent bitmap takes, as the Win32 painter does before its one blit), for the
// default pane over a 1600 x 1067 picture, in both styles, on 1 and 2 threads. Also the
// memory the open dialog holds (resident set before and after it opens).
//
//   dialog_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "shell/dialog_services.h"
#include "shell/plugin_shell.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_model.h"

namespace tw {
namespace {

constexpr int32_t kWidth = 1600, kHeight = 1067;

// Dialog units to pixels as MS Sans Serif 8 at 96 DPI makes them (1.5 and 1.625 a unit).
PixelRect LayoutRect(int id) {
    const ControlLayout* c = FindControlLayout(kMainDialogTemplate, id);
    if (c == nullptr) return {};
    return {c->x * 3 / 2, c->y * 13 / 8, (c->x + c->w) * 3 / 2, (c->y + c->h) * 13 / 8};
}

// A view with the template's rectangles; RepaintPreview makes the painter's rows.
class BenchView : public DialogView {
public:
    explicit BenchView(Dialog& d) : dialog_(d) {}
    std::string FieldText(int id) override { return fields_[id]; }
    void SetFieldText(int id, const std::string& text) override { fields_[id] = text; }
    void FillCombo(int, std::span<const std::string>) override {}
    int ComboSelection(int id) override { return combos_[id]; }
    void SelectCombo(int id, int index) override { combos_[id] = index; }
    void SetButtonText(int, const std::string&) override {}
    void EnableWindow(int, bool) override {}
    PixelRect ControlRect(int id) override { return LayoutRect(id); }
    int32_t ClientWidth() override { return kReferenceClientWidth; }
    void RepaintControl(int) override {}
    void RepaintPreview() override {
        const PlanarView view = dialog_.services().PreviewPicture();
        if (view.data == nullptr) return;
        const int stride = (view.width * 3 + 3) & ~3;
        rows_.assign(size_t(stride) * view.height, 0);
        const size_t plane = size_t(view.width) * view.height;
        for (int y = 0; y < view.height; ++y) {
            uint8_t* q = rows_.data() + size_t(y) * stride;
            const uint8_t* r = view.data + size_t(y) * view.width;
            for (int x = 0; x < view.width; ++x, q += 3) {
                q[0] = r[2 * plane + x];
                q[1] = r[plane + x];
                q[2] = r[x];
            }
        }
    }
    void SetTimer(int, int) override {}
    void KillTimer(int) override {}
    void CaptureMouse() override {}
    void ReleaseMouse() override {}
    void SetCursor(CursorShape) override {}
    void PostClick(int) override {}
    void PostMouseMove() override {}
    void ProcessPendingInput() override {}
    void EndDialog(int) override {}
    void ShowAbout() override {}
    void ShowInfo() override {}
    bool RunExportSize(ExportSizeDialog&, RenderParams&) override { return false; }
    void OpenProgress() override {}
    void ShowProgress(int) override {}
    void CloseProgress() override {}
    void BringToTop(AuxWindow) override {}
    void CloseWindow(AuxWindow) override {}
    bool OpenFileDialog(FileRequest&) override { return false; }
    bool SaveFileDialog(FileRequest&) override { return false; }
    bool PickSystemColour(Rgb16&) override { return false; }
    void ShowMessage(const std::string&) override {}

private:
    Dialog& dialog_;
    std::string fields_[kControlCount];
    int combos_[kControlCount] = {};
    std::vector<uint8_t> rows_;
};

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

// The open dialog over a fake host's picture, as the start selector holds it.
struct OpenDialog {
    test::FakeHost host;
    int16_t result = 0;
    ShellContext shell;
    std::unique_ptr<ShellDialogServices> services;
    std::unique_ptr<Dialog> dialog;
    std::unique_ptr<BenchView> view;
    long opened_kib = 0;

    OpenDialog() : host(Options()) {
        host.FillPattern();
        host.Call(filterSelectorPrepare);
        shell = {&host.record(), reinterpret_cast<RenderParams*>(*host.record().parameters),
                 reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot)), &result};
        AllocateScratch(*shell.globals);
        StartupInitialisation(shell);
        shell.params->live_preview = 1;
        const long before = ResidentKiB();
        services = std::make_unique<ShellDialogServices>(shell);
        dialog = std::make_unique<Dialog>();
        view = std::make_unique<BenchView>(*dialog);
        BindDialogToShell(*dialog, shell, *services, *view);
        InitialiseDialog(*dialog, 1);
        opened_kib = ResidentKiB() - before;
    }
    ~OpenDialog() { ReleaseScratch(*shell.globals, true); }

    static test::FakeHostOptions Options() {
        test::FakeHostOptions options;
        options.width = kWidth;
        options.height = kHeight;
        return options;
    }
};

// Arguments: style (1 Simple, 2 Complex), threads.
void BM_SliderReleaseToPaintedPreview(benchmark::State& state) {
    setenv("TARNWELL_THREADS", std::to_string(state.range(1)).c_str(), 1);
    char temp[] = "/tmp/tw-dialog-bench-XXXXXX";
    if (mkdtemp(temp) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    setenv("TARNWELL_TEMP", temp, 1);
    OpenDialog open;
    Dialog& d = *open.dialog;
    d.controls[kIdStyle].value = int32_t(state.range(0));
    open.view->SelectCombo(kIdStyle, int(state.range(0)) - 1);
    dialog_to_params(d);
    const PixelRect track = LayoutRect(59);  // Waviness
    int step = 0;
    for (auto _ : state) {
        const PixelPoint at{track.left + 10 + (step++ % 2) * 40, (track.top + track.bottom) / 2};
        MousePress(d, at, false, false);
        MouseMove(d, at, false);
        MouseRelease(d, at);
    }
    state.counters["preview_px"] = double(d.preview.shown.width()) * d.preview.shown.height();
    state.counters["open_dialog_KiB"] = double(open.opened_kib);
    state.SetLabel(state.range(0) == 1 ? "Simple" : "Complex");
}
BENCHMARK(BM_SliderReleaseToPaintedPreview)
    ->ArgsProduct({{1, 2}, {1, 2}})
    ->ArgNames({"style", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
