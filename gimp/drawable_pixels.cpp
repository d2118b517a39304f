#include "gimp/drawable_pixels.h"

#include <algorithm>
#include <cstring>

#include <libgimp/gimp.h>

namespace tw::gimp {
namespace {

SampleKind KindOf(GimpPrecision precision) {
    switch (precision) {
        case GIMP_PRECISION_U8_LINEAR:
        case GIMP_PRECISION_U8_GAMMA: return SampleKind::kU8;
        case GIMP_PRECISION_U16_LINEAR:
        case GIMP_PRECISION_U16_GAMMA: return SampleKind::kU16;
        default: return SampleKind::kFloat;  // 32-bit integer, half, float and double
    }
}

bool IsLinear(GimpPrecision precision) {
    switch (precision) {
        case GIMP_PRECISION_U8_LINEAR:
        case GIMP_PRECISION_U16_LINEAR:
        case GIMP_PRECISION_U32_LINEAR:
        case GIMP_PRECISION_HALF_LINEAR:
        case GIMP_PRECISION_FLOAT_LINEAR:
        case GIMP_PRECISION_DOUBLE_LINEAR: return true;
        default: return false;
    }
}

// An empty document of the drawable's layout at the given size.
bool Prepare(int32_t drawable, int width, int height, DrawablePixels& pixels, std::string& error) {
    if (!DrawableLayout(drawable, pixels.layout, error)) return false;
    pixels.format = babl_format_with_space(BablFormatName(pixels.layout).c_str(), gimp_drawable_get_format(drawable));
    host::Document& doc = pixels.document;
    doc = host::Document();
    doc.width = width;
    doc.height = height;
    doc.colour_planes = pixels.layout.colour_planes;
    doc.transparency = pixels.layout.alpha;
    doc.depth = HostDepth(pixels.layout.kind);
    pixels.original16.clear();
    try {
        doc.pixels.resize(doc.RowBytes() * size_t(height));
        if (pixels.layout.kind == SampleKind::kU16) pixels.original16.resize(doc.pixels.size() / 2);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a " + std::to_string(width) + " x " + std::to_string(height) + " picture";
        return false;
    }
    return true;
}

// Reads the whole drawable into the document.
void Fetch(int32_t drawable, DrawablePixels& pixels) {
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    host::Document& doc = pixels.document;
    void* target = pixels.layout.kind == SampleKind::kU16 ? static_cast<void*>(pixels.original16.data())
                                                          : static_cast<void*>(doc.pixels.data());
    const GeglRectangle rect{0, 0, doc.width, doc.height};
    gegl_buffer_get(buffer, &rect, 1.0, pixels.format, target, GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    if (pixels.layout.kind == SampleKind::kU16)
        LayerToHost16(pixels.original16.data(), reinterpret_cast<uint16_t*>(doc.pixels.data()),
                      pixels.original16.size());
}

}  // namespace

bool DrawableLayout(int32_t drawable, LayerLayout& layout, std::string& error) {
    if (gimp_drawable_is_indexed(drawable)) {
        error = "indexed images are not supported; convert the image to RGB or grayscale first";
        return false;
    }
    layout.colour_planes = gimp_drawable_is_gray(drawable) ? 1 : 3;
    layout.alpha = gimp_drawable_has_alpha(drawable);
    const GimpPrecision precision = gimp_image_get_precision(gimp_item_get_image(drawable));
    layout.kind = KindOf(precision);
    layout.linear = IsLinear(precision);
    return true;
}

bool ReadDrawable(int32_t drawable, DrawablePixels& pixels, std::string& error) {
    const int width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    if (!Prepare(drawable, width, height, pixels, error)) return false;
    Fetch(drawable, pixels);
    return true;
}

void ReadSelection(int32_t drawable, host::Document& document) {
    document.mask.clear();
    const int32_t image = gimp_item_get_image(drawable);
    if (gimp_selection_is_empty(image)) return;
    // The selection lives in image coordinates; the drawable may sit anywhere in them.
    gint offset_x = 0, offset_y = 0;
    gimp_drawable_offsets(drawable, &offset_x, &offset_y);
    document.mask.assign(size_t(document.width) * size_t(document.height), 0);
    GeglBuffer* selection = gimp_drawable_get_buffer(gimp_image_get_selection(image));
    const GeglRectangle rect{offset_x, offset_y, document.width, document.height};
    gegl_buffer_get(selection, &rect, 1.0, babl_format("Y u8"), document.mask.data(), GEGL_AUTO_ROWSTRIDE,
                    GEGL_ABYSS_NONE);
    g_object_unref(selection);
}

bool WriteDrawable(int32_t drawable, const DrawablePixels& original, const host::Document& result,
                   std::string& error) {
    const host::Document& doc = original.document;
    if (result.width != doc.width || result.height != doc.height || result.pixels.size() != doc.pixels.size()) {
        error = "the plug-in returned a picture of another size";
        return false;
    }
    gint x = 0, y = 0, width = 0, height = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &width, &height)) return true;  // nothing selected here

    const size_t pixel = doc.PixelBytes();
    std::vector<uint16_t> layer16;
    const uint8_t* source = result.pixels.data();
    if (original.layout.kind == SampleKind::kU16) {
        layer16.resize(original.original16.size());
        HostToLayer16(reinterpret_cast<const uint16_t*>(result.pixels.data()), original.original16.data(),
                      layer16.data(), layer16.size());
        source = reinterpret_cast<const uint8_t*>(layer16.data());
    }
    const int32_t image = gimp_item_get_image(drawable);
    gimp_image_undo_group_start(image);
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    const GeglRectangle rect{x, y, width, height};
    gegl_buffer_set(shadow, &rect, 0, original.format, source + (size_t(y) * size_t(doc.width) + size_t(x)) * pixel,
                    gint(doc.RowBytes()));
    g_object_unref(shadow);  // flushes it to GIMP
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, x, y, width, height);
    gimp_image_undo_group_end(image);
    return true;
}

void EncodeForDisplay(const LayerLayout& layout, const Babl* format, std::vector<uint8_t>& samples) {
    if (!layout.linear || samples.empty()) return;
    LayerLayout shown{layout.colour_planes, false, SampleKind::kU8, true};
    const Babl* linear = babl_format_with_space(BablFormatName(shown).c_str(), format);
    shown.linear = false;
    const Babl* perceptual = babl_format_with_space(BablFormatName(shown).c_str(), format);
    const long count = long(samples.size() / size_t(layout.colour_planes));
    babl_process(babl_fish(linear, perceptual), samples.data(), samples.data(), count);
}

}  // namespace tw::gimp
