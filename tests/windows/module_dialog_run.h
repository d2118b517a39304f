// Runs of the real Tarnwell.8bf with its dialog, as an editor makes them from its menu:
// `tarnwell apply --dialog` over a small picture, with a function that acts on the dialog
// from another thread while the run waits in it. Shared by the tests that drive the dialog
// inside the module.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace tw::testing {

// A path in the temporary folder for `name`, unique to this test program's process and
// `prefix`, so parallel programs never share files.
std::string ScratchPath(const std::string& prefix, const std::string& name);

// Gives the dialog time to act, then sends it a message, which returns only once the
// dialog's thread has handled everything posted before it.
void Settle(HWND dialog, int ms = 200);

class ModuleDialogRun : public ::testing::Test {
protected:
    // Scratch files are named with `prefix`; the picture is 300 x 200 RGB whose samples
    // run through `base` .. `base` + `spread` - 1.
    ModuleDialogRun(std::string prefix, int base, int spread)
        : prefix_(std::move(prefix)), base_(base), spread_(spread) {}
    void SetUp() override;
    void TearDown() override;

    // Runs the plug-in with its dialog; `act` is called with the dialog once it is up.
    // Returns the command's exit status.
    int Apply(const std::function<void(HWND)>& act);
    std::string TempPath(const std::string& name) const { return ScratchPath(prefix_, name); }
    bool OutputWritten() const;

    std::string input, output;

private:
    std::string prefix_;
    int base_, spread_;
};

}  // namespace tw::testing
