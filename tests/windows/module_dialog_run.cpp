// Runs of Tarnwell.8bf with its dialog from the substitute host.
#include "tests/windows/module_dialog_run.h"

#include <cstdlib>

#include "host/commands.h"
#include "host/picture.h"
#include "tests/windows/dialog_driver.h"

namespace tw::testing {

std::string ScratchPath(const std::string& prefix, const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

void Settle(HWND dialog, int ms) {
    Sleep(ms);
    SendMessageA(dialog, WM_NULL, 0, 0);
}

void ModuleDialogRun::SetUp() {
    input = TempPath("in.png");
    output = TempPath("out.png");
    host::Picture picture;
    ASSERT_TRUE(picture.Allocate(300, 200, 3, 8));
    for (size_t i = 0; i < picture.data.size(); ++i) picture.data[i] = uint8_t(base_ + int(i / 3) % spread_);
    std::string error;
    ASSERT_TRUE(host::WritePicture(input, picture, {}, error)) << error;
    DeleteFileA(output.c_str());
    // The plug-in's cached settings and memory dots stay in this run's own folder.
    const std::string temp = TempPath("temp");
    CreateDirectoryA(temp.c_str(), nullptr);
    _putenv_s("TARNWELL_TEMP", temp.c_str());
}

void ModuleDialogRun::TearDown() {
    DeleteFileA(input.c_str());
    DeleteFileA(output.c_str());
}

int ModuleDialogRun::Apply(const std::function<void(HWND)>& act) {
    WindowQuery dialog;
    dialog.title = "Tarnwell 2";
    dialog.class_name = kDialogClass;
    ModalActor actor(dialog, act, 60000);
    host::Arguments arguments{"-q", "--dialog", "--plugin", TARNWELL_PLUGIN_PATH, input, output};
    const int status = host::RunApply(arguments);
    actor.StopWaiting();
    EXPECT_TRUE(actor.found());
    return status;
}

bool ModuleDialogRun::OutputWritten() const {
    return GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace tw::testing
