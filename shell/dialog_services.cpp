// The dialog's services over the shell's locked blocks.
#include "shell/dialog_services.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "export/psd_export.h"
#include "hostapi/host_constants.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "shell/host_access.h"
#include "shell/host_pixels.h"
#include "shell/offscreen_session.h"
#include "shell/render_driver.h"

namespace tw {

namespace {

// The offscreen render's progress callback, forwarding to the dialog's report.
void ForwardProgress(void* context, int per_mille) {
    const auto& report = *static_cast<const ProgressReport*>(context);
    if (report) report(per_mille);
}

std::string DescribeFailure(const OffscreenOutcome& outcome) {
    switch (outcome.status) {
    case OffscreenStatus::kDone: return "";
    case OffscreenStatus::kNotLoaded: return "the picture could not be read from the host (" + std::to_string(outcome.code) + ")";
    case OffscreenStatus::kNoPictureMemory: return "not enough memory for a picture of that size";
    case OffscreenStatus::kNotScaled: return "the picture could not be scaled to that size";
    case OffscreenStatus::kRenderFailed:
        return outcome.code == -128 ? "cancelled" : "the render failed (" + std::to_string(outcome.code) + ")";
    default: return "the render could not start";
    }
}

// The host document's colour profile, when it has one.
std::vector<uint8_t> HostProfile(const FilterRecord& record) {
    std::vector<uint8_t> profile;
    if (record.iCCprofileData == nullptr || record.iCCprofileSize <= 0) return profile;
    const void* bytes = LockHostHandle(record, record.iCCprofileData);
    if (bytes == nullptr) return profile;
    const auto* begin = static_cast<const uint8_t*>(bytes);
    profile.assign(begin, begin + record.iCCprofileSize);
    UnlockHostHandle(record, record.iCCprofileData);
    return profile;
}

}  // namespace

void ShellDialogServices::RenderPreview(const PreviewRequest& request) {
    GlobalState& g = *shell_.globals;
    g.preview_pane_width = request.frame_width;
    g.preview_pane_height = request.frame_height;
    PreviewRender(shell_);
}

void ShellDialogServices::ShowSourcePreview(const PreviewRequest& request) {
    GlobalState& g = *shell_.globals;
    g.preview_pane_width = request.frame_width;
    g.preview_pane_height = request.frame_height;
    BeforeView(shell_);
}

PlanarView ShellDialogServices::PreviewPicture() {
    const GlobalState& g = *shell_.globals;
    if (g.preview_buffer == nullptr) return {};
    return {g.preview_buffer, g.preview_width, g.preview_height, g.preview_planes};
}

bool ShellDialogServices::TakePendingError() {
    if (*shell_.result == 0) return false;
    *shell_.result = 0;
    return true;
}

HostColourAnswer ShellDialogServices::PickHostColour(Rgb16& colour, const std::string& prompt) {
    const FilterRecord& record = *shell_.record;
    if (record.colorServices == nullptr) return HostColourAnswer::kUnavailable;
    Str255 pascal{};
    const size_t length = std::min<size_t>(prompt.size(), 255);
    pascal[0] = static_cast<unsigned char>(length);
    std::memcpy(pascal + 1, prompt.data(), length);

    ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = plugIncolorServicesChooseColor;
    info.sourceSpace = plugIncolorServicesRGBSpace;
    info.resultSpace = plugIncolorServicesRGBSpace;
    info.colorComponents[0] = static_cast<int16_t>(colour.r >> 8);
    info.colorComponents[1] = static_cast<int16_t>(colour.g >> 8);
    info.colorComponents[2] = static_cast<int16_t>(colour.b >> 8);
    info.selectorParameter.pickerPrompt = &pascal;
    if (record.colorServices(&info) != 0) return HostColourAnswer::kCancelled;
    auto word = [](int16_t component) { return static_cast<uint16_t>(std::clamp<int>(component, 0, 255) * 256); };
    colour = {word(info.colorComponents[0]), word(info.colorComponents[1]), word(info.colorComponents[2])};
    return HostColourAnswer::kConfirmed;
}

ImageBuffer* ShellDialogServices::RenderPicture(const RenderParams& settings, int32_t width, int32_t height,
                                                const ProgressReport& progress, std::string& error) {
    // The dialog's own settings stay as they are: the render borrows the record and the
    // settings fields are put back afterwards.
    RenderParams& params = *shell_.params;
    auto kept = std::make_unique<RenderParams>();
    std::memcpy(kept.get(), &params, sizeof params);
    CopySettingsFields(settings, params);
    const OffscreenOutcome outcome =
        RenderOffscreenPicture(shell_, width, height, {ForwardProgress, const_cast<ProgressReport*>(&progress)});
    CopySettingsFields(*kept, params);
    if (!outcome.ok()) error = DescribeFailure(outcome);
    return outcome.image;
}

bool ShellDialogServices::ExportPsd(const std::string& path, int32_t width, int32_t height,
                                    const ProgressReport& progress, std::string& error) {
    // The render takes the first nine tenths of the way, writing the file the rest.
    const ProgressReport rendering = [&progress](int per_mille) {
        if (progress) progress(per_mille * 9 / 10);
    };
    const OffscreenOutcome outcome =
        RenderOffscreenPicture(shell_, width, height, {ForwardProgress, const_cast<ProgressReport*>(&rendering)});
    if (!outcome.ok()) {
        error = DescribeFailure(outcome);
        return false;
    }
    const std::unique_ptr<ImageBuffer, void (*)(ImageBuffer*)> image(outcome.image, destroyImageBuffer);
    PsdExportRequest request;
    request.image = image.get();
    request.glue_mode = shell_.params->glue_mode;
    request.icc_profile = HostProfile(*shell_.record);
    request.progress = [](void* context, int per_mille) {
        const auto& report = *static_cast<const ProgressReport*>(context);
        if (report) report(900 + per_mille / 10);
    };
    request.context = const_cast<ProgressReport*>(&progress);
    return tw::ExportPsd(path, request, error);
}

void ShellDialogServices::OpenDocument(const std::string& path) { platform::OpenWithDefaultHandler(path); }

uint32_t ShellDialogServices::ClockSeed() { return static_cast<uint32_t>(platform::ClockSeconds()); }

DialogHost DialogHostOf(const FilterRecord& record) {
    DialogHost host;
    const HostRect filter = GetFilterRect(record);
    host.bounds = {filter.top, filter.left, filter.bottom, filter.right};
    host.planes = record.planes < 3 ? 1 : 3;
    host.float_image = HostDepthOf(record.imageMode, record.depth) == HostDepth::kFloat;
    host.can_sample = HostCanSample(record);
    return host;
}

void BindDialogToShell(Dialog& dialog, const ShellContext& shell, ShellDialogServices& services,
                       DialogView& view) {
    DialogBinding binding;
    binding.params = shell.params;
    binding.enabled = shell.globals->control_enabled;
    binding.dot_keep = &shell.globals->dot_keep;
    binding.view = &view;
    binding.services = &services;
    binding.host = DialogHostOf(*shell.record);
    BindDialog(dialog, binding, services.ClockSeed());
}

}  // namespace tw
