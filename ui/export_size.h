// The PSD export's size dialog ("CHOOSEPSDWITHSIZE"): three choices (the input's size, its
// proportions at a typed width, or a custom size), two fields, OK and Cancel. The model
// keeps what the fields hold and decides every change; the window only shows it and reports
// what the user clicked and typed.
#pragma once

#include <cstdint>
#include <string>

#include "params/render_params.h"

namespace tw {

// Controls of the size dialog.
enum ExportSizeId : int {
    kSizeOk = 1,
    kSizeCancel = 2,
    kSizeWidth = 3,
    kSizeHeight = 4,
    kSizeSameSize = 10,         // "Same size as input"
    kSizeSameProportions = 11,  // "Same proportions as input"
    kSizeCustom = 12,           // "Custom size in pixels:"
};

// The PSD export's size mode once the dialog was confirmed: take psd_width and psd_height.
constexpr int32_t kPsdSizeFromFields = 6;

// What the size dialog's window shows; the model writes through it.
class SizeDialogView {
public:
    virtual ~SizeDialogView() = default;
    // Writing a field raises the window's edit notification; the model ignores its own.
    virtual void SetFieldText(int id, const std::string& text) = 0;
    virtual void CheckRadio(int id) = 0;  // the others are unchecked
    virtual void Close(int result) = 0;   // 1 OK, 2 Cancel
};

struct ExportSizeDialog {
    int32_t input_width = 0, input_height = 0;  // the picture's size
    int32_t selected = kSizeSameSize;           // the checked radio, 10..12
    std::string width_text, height_text;        // what the fields hold
    bool writing = false;                       // the model is writing a field itself
    int result = 0;                             // 0 while open, then 1 OK or 2 Cancel
};

// A field's number: every character but digits, "+" and "-" dropped ("1,234 px" is 1234),
// then read as a decimal number and truncated; far too large numbers saturate.
int32_t ReadSizeField(const std::string& text);

// The dialog opens: the remembered choice is checked; a custom size shows the remembered
// width and height, the others the input's size.
void OpenExportSize(ExportSizeDialog& dialog, SizeDialogView& view, const RenderParams& params,
                    int32_t input_width, int32_t input_height);

// A click on a radio button, OK or Cancel. OK stores the choice and the sizes, each clamped
// to 2..30000, in `params`.
void ExportSizeClicked(ExportSizeDialog& dialog, SizeDialogView& view, int id, RenderParams& params);

// The user changed field `id` to `text`; `focused` says whether the field has the focus
// (the proportions follow only the field being typed in).
void ExportSizeEdited(ExportSizeDialog& dialog, SizeDialogView& view, int id, const std::string& text,
                      bool focused);

}  // namespace tw
