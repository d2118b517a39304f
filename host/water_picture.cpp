#include "host/water_picture.h"

#include <algorithm>
#include <cmath>

#include "host/picture.h"
#include "host/settings_command.h"
#include "settings/settings_file.h"
#include "ui/preview_zoom.h"

namespace tw::host {

namespace {

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// The render's colour (or grey) as planes, the form the dialog's preview buffer has.
void ToPlanes(const ImageBuffer& image, int plane_count, PreviewPlanes& preview) {
    const size_t plane = size_t(image.width) * size_t(image.height);
    preview.planes.assign(plane * size_t(plane_count), 0);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const PixelRgba c = readPixel(image, 0, x, y);
            const size_t at = size_t(y) * size_t(image.width) + size_t(x);
            const float channels[3] = {c.r, c.g, c.b};
            for (int p = 0; p < plane_count; ++p) preview.planes[size_t(p) * plane + at] = ToByte(channels[p]);
        }
    }
    preview.view = {preview.planes.data(), image.width, image.height, plane_count};
}

}  // namespace

PreviewSize FittedPreviewSize(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    // The dialog draws the picture inside its pane less a 2-pixel frame on every side.
    const int32_t factor = FitZoom(width, height, kPreviewPaneWidth - 4, kPreviewPaneHeight - 4, true);
    return {std::max(width / factor, 1), std::max(height / factor, 1)};
}

bool RenderPreview(InProcessPlugin& plugin, const Document& document, const RenderParams& params,
                   PreviewPlanes& preview, std::string& error, void (*progress)(void*, int), void* context) {
    if (&params != &plugin.params()) CopySettingsFields(params, plugin.params());
    const PreviewSize size = FittedPreviewSize(document.width, document.height);
    ImageBuffer* image = plugin.Render(size.width, size.height, progress, context, error);
    if (image == nullptr) return false;
    ToPlanes(*image, document.colour_planes >= 3 ? 3 : 1, preview);
    destroyImageBuffer(image);
    return true;
}

bool CaptureWaterPicture(const std::string& image_path, const RenderParams& params, tw::Picture& holder,
                         std::string& error) {
    Picture picture;
    Document document;
    if (!ReadPicture(image_path, picture, error) || !DocumentFromPicture(picture, document, error)) return false;
    picture = Picture();
    InProcessPlugin plugin;
    PreviewPlanes preview;
    if (!plugin.Open(document, error) || !RenderPreview(plugin, document, params, preview, error)) return false;
    if (!CapturePicture(preview.view, holder)) {
        error = "cannot make a picture from '" + image_path + "'";
        return false;
    }
    return true;
}

bool SavedSettingsPicture(const std::string& image_path, bool render_water, const RenderParams& params,
                          tw::Picture& holder, std::string& error) {
    if (render_water) return CaptureWaterPicture(image_path, params, holder, error);
    Picture image;
    std::vector<uint8_t> planes;
    int plane_count = 0;
    if (!ReadPicture(image_path, image, error)) return false;
    if (!PlanesFromPicture(image, planes, plane_count) ||
        !CapturePicture(PlanarView{planes.data(), image.width, image.height, plane_count}, holder)) {
        error = "cannot make a picture from '" + image_path + "'";
        return false;
    }
    return true;
}

}  // namespace tw::host
