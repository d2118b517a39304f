// The size dialog of the PSD export.
#include "ui/export_size.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "export/psd_export.h"

namespace tw {

namespace {

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void WriteField(ExportSizeDialog& d, SizeDialogView& view, int id, int32_t value) {
    std::string& text = id == kSizeWidth ? d.width_text : d.height_text;
    text = std::to_string(value);
    d.writing = true;
    view.SetFieldText(id, text);
    d.writing = false;
}

void Select(ExportSizeDialog& d, SizeDialogView& view, int id) {
    d.selected = id;
    view.CheckRadio(id);
}

int32_t Proportional(int64_t from_size, int64_t to_size, int32_t value, int32_t unchanged) {
    if (from_size == 0) return unchanged;
    return Saturate(to_size * value / from_size);
}

}  // namespace

int32_t ReadSizeField(const std::string& text) {
    std::string kept;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '+' || c == '-') kept += c;
    const double v = std::atof(kept.c_str());
    if (!(v > INT32_MIN)) return v < 0 ? INT32_MIN : 0;
    if (v >= INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(v);
}

void OpenExportSize(ExportSizeDialog& d, SizeDialogView& view, const RenderParams& params,
                    int32_t input_width, int32_t input_height) {
    d.input_width = input_width;
    d.input_height = input_height;
    d.result = 0;
    const bool custom = params.psd_size_choice == kPsdCustomSize;
    WriteField(d, view, kSizeWidth, custom ? params.psd_width : input_width);
    WriteField(d, view, kSizeHeight, custom ? params.psd_height : input_height);
    // A stored choice outside the three means the first, as on a first run.
    const int32_t choice = std::clamp<int32_t>(params.psd_size_choice, kPsdSameSize, kPsdCustomSize);
    Select(d, view, choice + 9);
}

void ExportSizeClicked(ExportSizeDialog& d, SizeDialogView& view, int id, RenderParams& params) {
    switch (id) {
    case kSizeSameSize:
        WriteField(d, view, kSizeWidth, d.input_width);
        WriteField(d, view, kSizeHeight, d.input_height);
        Select(d, view, id);
        break;
    case kSizeSameProportions: {
        const int32_t width = ReadSizeField(d.width_text);
        WriteField(d, view, kSizeHeight,
                   Proportional(d.input_width, d.input_height, width, ReadSizeField(d.height_text)));
        Select(d, view, id);
        break;
    }
    case kSizeCustom: Select(d, view, id); break;
    case kSizeOk:
        params.psd_width = ClampPsdSide(ReadSizeField(d.width_text));
        params.psd_height = ClampPsdSide(ReadSizeField(d.height_text));
        params.psd_size_choice = d.selected - 9;
        d.result = 1;
        view.Close(1);
        break;
    case kSizeCancel:
        d.result = 2;
        view.Close(2);
        break;
    default: break;
    }
}

void ExportSizeEdited(ExportSizeDialog& d, SizeDialogView& view, int id, const std::string& text,
                      bool focused) {
    if (d.writing || (id != kSizeWidth && id != kSizeHeight)) return;  // our own write
    (id == kSizeWidth ? d.width_text : d.height_text) = text;
    if (d.selected == kSizeSameSize) {
        Select(d, view, kSizeCustom);
    } else if (d.selected == kSizeSameProportions && focused) {
        const int32_t typed = ReadSizeField(text);
        if (id == kSizeWidth)
            WriteField(d, view, kSizeHeight,
                       Proportional(d.input_width, d.input_height, typed, ReadSizeField(d.height_text)));
        else
            WriteField(d, view, kSizeWidth,
                       Proportional(d.input_height, d.input_width, typed, ReadSizeField(d.width_text)));
    }
}

}  // namespace tw
