// The main dialog inside Tarnwell.8bf, run from the substitute host as an editor runs it
// from its menu: the real preview with the water and the ripple-centre cross, Escape
// after changes ending the run as a cancel that writes nothing, Enter rendering.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/commands.h"
#include "host/picture.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/module_dialog_run.h"
#include "ui/control_table.h"

namespace tw::testing {
namespace {

int Brightness(uint32_t c) { return (Red(c) + Green(c) + Blue(c)) / 3; }

// A dark picture: the whole of it fits the pane at 100 %.
class MainDialogInTheModule : public ModuleDialogRun {
protected:
    MainDialogInTheModule() : ModuleDialogRun("tarnwell-main-module", 20, 7) {}
};

TEST_F(MainDialogInTheModule, AClickPutsTheRippleCrossThereAndEscapeAfterChangesWritesNothing) {
    const int status = Apply([&](HWND d) {
        Settle(d);
        const RECT pane = ControlRect(d, kIdPreview);
        const int left = pane.left + (pane.right - pane.left - 300) / 2;
        const int top = pane.top + (pane.bottom - pane.top - 200) / 2;
        // Low in the picture, where the water is, at a point whose fractions of the width
        // and height are whole hundredths (the ripple centre is kept in hundredths).
        const POINT at{left + 75, top + 150};
        MousePress(d, at.x, at.y);
        MouseRelease(d, at.x, at.y);
        Settle(d);
        const Capture shot = CaptureClient(d);
        SaveCaptureBmp(shot, TempPath("cross.bmp"));
        // A white cross with arms of five pixels, outlined in black.
        EXPECT_GT(Brightness(shot.at(at.x, at.y)), 170);
        EXPECT_GT(Brightness(shot.at(at.x + 4, at.y)), 170);
        EXPECT_GT(Brightness(shot.at(at.x, at.y - 4)), 170);
        EXPECT_LT(Brightness(shot.at(at.x + 1, at.y + 3)), 90);
        EXPECT_LT(Brightness(shot.at(at.x + 6, at.y + 1)), 90);
        // Away from it nothing is that bright: the cross is where the click was.
        EXPECT_LT(Brightness(shot.at(at.x + 40, at.y - 40)), 170);

        ClickButton(d, kIdDice);
        Settle(d);
        const RECT horizon = ControlRect(d, 37);
        MouseDrag(d, {horizon.left + 4, (horizon.top + horizon.bottom) / 2},
                  {horizon.right - 10, (horizon.top + horizon.bottom) / 2});
        Settle(d);
        PostKey(d, VK_ESCAPE);
    });
    EXPECT_EQ(status, host::kExitCancelled);
    EXPECT_FALSE(OutputWritten());
}

TEST_F(MainDialogInTheModule, EnterAfterTypingRendersThePicture) {
    const int status = Apply([&](HWND d) {
        Settle(d);
        SetEditText(d, 86, "150");
        Settle(d, 1300);
        EXPECT_EQ(GetText(d, 86), "100");
        PostKey(d, VK_RETURN);
    });
    EXPECT_EQ(status, host::kExitOk);
    ASSERT_TRUE(OutputWritten());
    host::Picture before, after;
    std::string error;
    ASSERT_TRUE(host::ReadPicture(input, before, error)) << error;
    ASSERT_TRUE(host::ReadPicture(output, after, error)) << error;
    EXPECT_EQ(after.width, 300);
    EXPECT_NE(after.data, before.data);
}

}  // namespace
}  // namespace tw::testing
