#include "fake_dialog.h"

#include <cstdlib>

namespace tw::testing {

namespace {

void SetTempVariable(const std::string& value) {
#ifdef _WIN32
    ::_putenv_s("TARNWELL_TEMP", value.c_str());
#else
    if (value.empty()) ::unsetenv("TARNWELL_TEMP");
    else ::setenv("TARNWELL_TEMP", value.c_str(), 1);
#endif
}

}  // namespace

void DialogSession::SetUp() {
    std::random_device entropy;
    folder = (std::filesystem::temp_directory_path() / ("tw-ui-" + std::to_string(entropy()))).string();
    ASSERT_TRUE(std::filesystem::create_directory(folder)) << folder;
    SetTempVariable(folder);
    ResetParams(params);
    params.live_preview = 1;
}

void DialogSession::TearDown() {
    SetTempVariable("");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void DialogSession::Open(int32_t width, int32_t height) {
    host.bounds = {0, 0, height, width};
    services.bounds = host.bounds;
    services.planes = host.planes;
    services.params = &params;
    view.dialog = &dialog;
    DialogBinding binding;
    binding.params = &params;
    binding.enabled = enabled;
    binding.dot_keep = &keep;
    binding.view = &view;
    binding.services = &services;
    binding.host = host;
    BindDialog(dialog, binding, services.ClockSeed());
    InitialiseDialog(dialog, 0x1234);
    Pump();
}

void DialogSession::Pump() {
    while (!view.posted.empty()) {
        const FakeView::Posted message = view.posted.front();
        view.posted.pop_front();
        if (message.click) DialogCommand(dialog, message.id, kClicked);
        else MouseMove(dialog, view.mouse, view.control_down);
    }
}

void DialogSession::Click(int id) {
    DialogCommand(dialog, id, kClicked);
    Pump();
}

void DialogSession::Press(PixelPoint p, bool right, bool control) {
    view.mouse = p;
    view.control_down = control;
    MousePress(dialog, p, right, control);
    Pump();
}

void DialogSession::Move(PixelPoint p, bool control) {
    view.mouse = p;
    view.control_down = control;
    MouseMove(dialog, p, control);
    Pump();
}

void DialogSession::Release(PixelPoint p) {
    view.mouse = p;
    MouseRelease(dialog, p);
    Pump();
}

void DialogSession::ClickAt(int id, bool right, bool control) {
    const PixelPoint centre = view.CentreOf(id);
    Press(centre, right, control);
    Release(centre);
}

void DialogSession::Type(int field_id, const std::string& text) {
    view.fields[field_id] = text;
    DialogCommand(dialog, field_id, kEditChange);
}

void DialogSession::SelectInCombo(int id, int index) {
    view.combo_selection[id] = index;
    DialogCommand(dialog, id, kSelectionChange);
}

}  // namespace tw::testing
