// Writes dialog templates in the resource compiler's language. The style names are the
// resource compiler's own (from windows.h), so the script reads like a hand-written one.
#include "resources/dialog_script.h"

#include <cstdio>

namespace tw::resources {

namespace {

// A string literal for the resource script: quotes are doubled, backslashes escaped.
std::string Quoted(const char* text) {
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        if (*p == '"') out += "\"\"";
        else if (*p == '\\') out += "\\\\";
        else out += *p;
    }
    return out + "\"";
}

void Append(std::string& styles, const char* name) {
    if (!styles.empty()) styles += " | ";
    styles += name;
}

const char* ClassName(ControlClass c) {
    switch (c) {
        case ControlClass::kStatic: return "Static";
        case ControlClass::kEdit: return "Edit";
        case ControlClass::kButton: return "Button";
        case ControlClass::kComboBox: return "ComboBox";
    }
    return "Static";
}

std::string ControlStyles(const ControlLayout& c) {
    // The resource compiler gives every CONTROL the child and visible styles unless told
    // otherwise, so a control that only reserves its rectangle says NOT WS_VISIBLE.
    std::string s = "WS_CHILD";
    const uint32_t st = c.style;
    Append(s, st & kStyleVisible ? "WS_VISIBLE" : "NOT WS_VISIBLE");
    if (st & kStyleGroup) Append(s, "WS_GROUP");
    if (st & kStyleTabStop) Append(s, "WS_TABSTOP");
    if (st & kStyleBorder) Append(s, "WS_BORDER");
    if (st & kStyleVScroll) Append(s, "WS_VSCROLL");
    switch (c.window_class) {
        case ControlClass::kStatic:
            // Statics pass mouse clicks on to the dialog, whose model handles them.
            if (st & kStyleIcon) Append(s, "SS_ICON");
            else if (st & kStyleBitmap) Append(s, "SS_BITMAP");
            else if (st & kStyleCentred) Append(s, "SS_CENTER");
            else Append(s, "SS_LEFT");
            if (st & kStyleSunken) Append(s, "SS_SUNKEN");
            break;
        case ControlClass::kEdit:
            Append(s, "ES_LEFT");
            if (st & kStyleAutoHScroll) Append(s, "ES_AUTOHSCROLL");
            break;
        case ControlClass::kButton:
            if (st & kStyleOwnerDraw) Append(s, "BS_OWNERDRAW");
            else if (st & kStyleRadio) Append(s, "BS_RADIOBUTTON");
            else if (st & kStyleDefault) Append(s, "BS_DEFPUSHBUTTON");
            else Append(s, "BS_PUSHBUTTON");
            if (st & kStyleIcon) Append(s, "BS_ICON");
            break;
        case ControlClass::kComboBox:
            if (st & kStyleDropDownList) Append(s, "CBS_DROPDOWNLIST");
            break;
    }
    return s;
}

std::string DialogStyles(uint32_t st) {
    std::string s;
    if (st & kDialogPopup) Append(s, "WS_POPUP");
    if (st & kDialogChild) Append(s, "WS_CHILD");
    if (st & kDialogCaption) Append(s, "WS_CAPTION");
    if (st & kDialogModalFrame) Append(s, "DS_MODALFRAME");
    if (st & kDialogSystemMenu) Append(s, "WS_SYSMENU");
    if (st & kDialogControl) Append(s, "DS_CONTROL");
    if (st & kDialogClipSiblings) Append(s, "WS_CLIPSIBLINGS");
    Append(s, "DS_SETFONT");
    return s;
}

}  // namespace

std::string DialogTemplateScript(const DialogTemplate& dialog) {
    char line[512];
    std::string out;
    std::snprintf(line, sizeof line, "%s DIALOGEX 0, 0, %d, %d\n", dialog.name, dialog.w, dialog.h);
    out += line;
    out += "STYLE " + DialogStyles(dialog.style) + "\n";
    if (dialog.caption[0] != '\0') out += "CAPTION " + Quoted(dialog.caption) + "\n";
    std::snprintf(line, sizeof line, "FONT %d, %s\n", dialog.font_points, Quoted(dialog.font).c_str());
    out += line;
    out += "BEGIN\n";
    for (const ControlLayout& c : dialog.controls) {
        // A static showing a picture names its resource where the text would be.
        const bool shows_image = c.image >= 0 && c.window_class == ControlClass::kStatic &&
                                 (c.style & (kStyleIcon | kStyleBitmap));
        const std::string text = shows_image ? std::to_string(c.image) : Quoted(c.caption);
        std::snprintf(line, sizeof line, "    CONTROL %s, %d, \"%s\", %s, %d, %d, %d, %d\n",
                      text.c_str(), c.id, ClassName(c.window_class), ControlStyles(c).c_str(),
                      c.x, c.y, c.w, c.h);
        out += line;
    }
    out += "END\n";
    return out;
}

std::string DialogScript(std::span<const DialogTemplate* const> dialogs) {
    std::string out =
        "// Written at build time from the layout tables in ui/dialog_layout.cpp; edit those.\n"
        "#include <windows.h>\n\n"
        "LANGUAGE 0, 0\n\n";
    for (const DialogTemplate* d : dialogs) out += DialogTemplateScript(*d) + "\n";
    return out;
}

}  // namespace tw::resources
