// What the dialog model asks of the plug-in, served over the blocks the shell holds locked
// during a start: preview renders into GlobalState's preview buffer, the pan drag's quick
// view of the source, the host's colour picker, offscreen renders for the memory-dots page
// and the PSD export. The seam's windowed implementation (dialog_bridge_win32.cpp) binds a
// model to these services and its window.
#pragma once

#include <cstdint>

#include "shell/plugin_shell.h"
#include "ui/dialog_model.h"

namespace tw {

class ShellDialogServices : public DialogServices {
public:
    explicit ShellDialogServices(const ShellContext& shell) : shell_(shell) {}

    void RenderPreview(const PreviewRequest& request) override;
    void ShowSourcePreview(const PreviewRequest& request) override;
    PlanarView PreviewPicture() override;
    bool TakePendingError() override;
    HostColourAnswer PickHostColour(Rgb16& colour, const std::string& prompt) override;
    ImageBuffer* RenderPicture(const RenderParams& settings, int32_t width, int32_t height,
                               const ProgressReport& progress, std::string& error) override;
    bool ExportPsd(const std::string& path, int32_t width, int32_t height, const ProgressReport& progress,
                   std::string& error) override;
    void OpenDocument(const std::string& path) override;
    uint32_t ClockSeed() override;

private:
    ShellContext shell_;
};

// What the dialog needs to know of the host's picture: its bounds, channels, whether it is
// a 32-bit floating-point picture and whether the host can deliver subsampled previews.
DialogHost DialogHostOf(const FilterRecord& record);

// Binds `dialog` to the locked blocks, the services and a view: the parameters, the enabled
// flags and memory-dot keep flags in GlobalState, and the host's picture.
void BindDialogToShell(Dialog& dialog, const ShellContext& shell, ShellDialogServices& services,
                       DialogView& view);

}  // namespace tw
