// The resource script written from the layout tables: every control of every template
// exactly once, at its rectangle, with the styles that make it behave as the dialog expects.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "resources/dialog_script.h"
#include "ui/control_table.h"

namespace tw {
namespace {

// The CONTROL lines of one template's script, in order.
std::vector<std::string> ControlLines(const std::string& script) {
    std::vector<std::string> lines;
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);)
        if (line.find("    CONTROL ") == 0) lines.push_back(line);
    return lines;
}

TEST(DialogScript, EveryControlOnceInTableOrderAtItsRectangle) {
    for (const DialogTemplate* t : AllDialogTemplates()) {
        SCOPED_TRACE(t->name);
        const std::string script = resources::DialogTemplateScript(*t);
        EXPECT_EQ(script.find(std::string(t->name) + " DIALOGEX 0, 0, " + std::to_string(t->w) +
                              ", " + std::to_string(t->h) + "\n"),
                  0u);
        const auto lines = ControlLines(script);
        ASSERT_EQ(lines.size(), t->controls.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            const ControlLayout& c = t->controls[i];
            const std::string rect = ", " + std::to_string(c.x) + ", " + std::to_string(c.y) +
                                     ", " + std::to_string(c.w) + ", " + std::to_string(c.h);
            EXPECT_EQ(lines[i].rfind(rect), lines[i].size() - rect.size()) << lines[i];
            EXPECT_NE(lines[i].find(", " + std::to_string(c.id) + ", \""), std::string::npos)
                << lines[i];
        }
    }
}

TEST(DialogScript, StylesFollowTheTable) {
    const auto lines = ControlLines(resources::DialogTemplateScript(kMainDialogTemplate));
    auto line_of = [&](int id) {
        const std::string key = ", " + std::to_string(id) + ", \"";
        for (const auto& l : lines)
            if (l.find(key) != std::string::npos) return l;
        return std::string();
    };
    // The reserving statics stay hidden, so the dialog's own painting shows through; the
    // resource compiler makes every CONTROL visible unless it is told NOT WS_VISIBLE.
    EXPECT_NE(line_of(kIdPreview).find("| NOT WS_VISIBLE |"), std::string::npos);
    EXPECT_NE(line_of(kIdFirstDot).find("| NOT WS_VISIBLE |"), std::string::npos);
    EXPECT_NE(line_of(kIdOk).find("WS_CHILD | WS_VISIBLE |"), std::string::npos);
    EXPECT_NE(line_of(kIdOk).find("BS_DEFPUSHBUTTON"), std::string::npos);
    EXPECT_EQ(line_of(kIdCancel).find("BS_DEFPUSHBUTTON"), std::string::npos);
    EXPECT_NE(line_of(kIdWaterColour).find("BS_OWNERDRAW"), std::string::npos);
    EXPECT_NE(line_of(kIdDice).find("BS_ICON"), std::string::npos);
    EXPECT_NE(line_of(kIdStyle).find("CBS_DROPDOWNLIST"), std::string::npos);
    // The About mark is a static naming its icon resource where the text would be.
    EXPECT_EQ(line_of(kIdAbout).find("    CONTROL 192, 25, \"Static\""), 0u);
    EXPECT_NE(line_of(kIdAbout).find("SS_ICON"), std::string::npos);
    // No control gets the notify style: statics pass clicks on to the dialog's model.
    for (const auto& l : lines) EXPECT_EQ(l.find("SS_NOTIFY"), std::string::npos) << l;
}

TEST(DialogScript, CaptionsAreQuotedForTheResourceCompiler) {
    const ControlLayout controls[] = {
        {5, ControlClass::kStatic, 1, 2, 3, 4, kStyleVisible, "say \"hi\" C:\\x"},
    };
    const DialogTemplate t{"T", "A \"quoted\" title", 10, 20, kDialogPopup, "Arial", 9, controls};
    const std::string script = resources::DialogTemplateScript(t);
    EXPECT_NE(script.find("CAPTION \"A \"\"quoted\"\" title\"\n"), std::string::npos) << script;
    EXPECT_NE(script.find("CONTROL \"say \"\"hi\"\" C:\\\\x\", 5, \"Static\""), std::string::npos)
        << script;
    EXPECT_NE(script.find("FONT 9, \"Arial\"\n"), std::string::npos);
    EXPECT_NE(script.find("STYLE WS_POPUP | DS_SETFONT\n"), std::string::npos);
}

TEST(DialogScript, TheWholeScriptHoldsEveryTemplate) {
    const std::string script = resources::DialogScript(AllDialogTemplates());
    EXPECT_NE(script.find("#include <windows.h>"), std::string::npos);
    for (const DialogTemplate* t : AllDialogTemplates())
        EXPECT_NE(script.find(std::string("\n") + t->name + " DIALOGEX "), std::string::npos)
            << t->name;
    // The child pane of the open dialog has no caption line of its own.
    const std::string pane = resources::DialogTemplateScript(kPresetOpenTemplate);
    EXPECT_EQ(pane.find("CAPTION"), std::string::npos);
    EXPECT_NE(pane.find("STYLE WS_CHILD | DS_CONTROL | WS_CLIPSIBLINGS"), std::string::npos);
}

}  // namespace
}  // namespace tw
