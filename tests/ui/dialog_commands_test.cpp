// Scripted sessions with the dialog's buttons: dice and seeds, plain settings, Undo, Load
// and Save with their names and folders, the About and information boxes, and the exports.
#include <cstring>
#include <filesystem>

#include "fake_dialog.h"
#include "settings/settings_file.h"

namespace tw::testing {
namespace {

using Values = DialogSession;

TEST_F(Values, NewSeedsStayWithin2047ComeFromTheDialogsGeneratorAndRenameTheSettings) {
    Open();
    SeedGenerator expected;
    expected.Seed(services.ClockSeed());
    for (int i = 0; i < 40; ++i) {
        const int renders = Renders();
        Click(kIdNewSeed);
        EXPECT_EQ(params.seed, expected.Next() & 0x7FF);
        EXPECT_GE(params.seed, 0);
        EXPECT_LE(params.seed, 2047);
        EXPECT_EQ(Renders(), renders + 1);
    }
    EXPECT_STREQ(params.settings_name, "random settings");
    EXPECT_GT(view.repaints[kIdStatusLine], 0);
}

TEST_F(Values, DiceAndPlainSettingsNameWhatTheyDid) {
    Open();
    Click(kIdDice);
    EXPECT_STREQ(params.settings_name, "random settings");
    EXPECT_EQ(view.fields[86], FormatFieldNumber(params.horizon)) << "the controls show the new values";
    Click(kIdReset);
    EXPECT_STREQ(params.settings_name, "plain settings");
    RenderParams plain = params;
    SetPlainSettings(plain);
    EXPECT_FLOAT_EQ(params.waviness, plain.waviness);
    EXPECT_EQ(params.seed, plain.seed);
}

TEST_F(Values, UndoSwapsBetweenTheLastTwoStates) {
    params.horizon = 10;
    Open();
    const int renders = Renders();
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.horizon, 10) << "before any change there is nothing to undo";
    EXPECT_EQ(Renders(), renders);

    Type(86, "20");
    FireTimer();  // change A
    Type(86, "30");
    FireTimer();  // change B
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.horizon, 20);
    EXPECT_EQ(view.fields[86], "20");
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.horizon, 30);

    // Opening the information box is no change: Undo still goes back to A.
    Click(kIdInfo);
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.horizon, 20);
}

using Files = DialogSession;

TEST_F(Files, SaveProposesANormalisedNameAndTakesTheSavedFilesName) {
    params.settings_name[0] = 0;
    Open();
    Click(kIdSave);  // cancelled
    ASSERT_EQ(view.file_requests.size(), 1u);
    EXPECT_EQ(view.file_requests[0].name, "Tarnwell settings");
    EXPECT_STREQ(view.file_requests[0].title, "Save a settings file");
    EXPECT_EQ(view.file_requests[0].type, kFilePresets);
    EXPECT_STREQ(params.settings_name, "Tarnwell settings.q8r");

    SetText(params.settings_name, "lake.v2.q8r");
    view.save_answers = {Path("saved lake.q8r")};
    Click(kIdSave);
    EXPECT_EQ(view.file_requests[1].name, "lake.v2");
    EXPECT_STREQ(params.settings_name, "saved lake.q8r");
    EXPECT_EQ(std::string(params.settings_folder), FolderOfPath(Path("saved lake.q8r")));

    RenderParams read{};
    bool picture = false;
    Picture holder;
    ASSERT_TRUE(ReadSettings(Path("saved lake.q8r"), read, ReadMode::Full, &holder, &picture));
    EXPECT_TRUE(picture) << "Save keeps a picture of the preview";
    EXPECT_FLOAT_EQ(read.horizon, params.horizon);

    // The next Save starts in the folder of the last.
    Click(kIdSave);
    EXPECT_EQ(view.file_requests[2].folder, FolderOfPath(Path("saved lake.q8r")));
}

TEST_F(Files, SaveThatCannotWriteSaysSoAndKeepsTheName) {
    SetText(params.settings_name, "keep me");
    Open();
    view.save_answers = {Path("no such folder/x.q8r")};
    Click(kIdSave);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_STREQ(params.settings_name, "keep me.q8r");
}

TEST_F(Files, LoadReadsOverThePlainSettingsAndACancelChangesNothing) {
    RenderParams file;
    ResetParams(file);
    file.horizon = 77;
    file.framework_ints[20] = 5;  // a slot the plain settings leave alone
    ASSERT_TRUE(WriteSettings(Path("calm.q8r"), file, nullptr, false));

    params.horizon = 12;
    params.complexity = 3;
    Open();
    const int renders = Renders();
    Click(kIdLoad);  // cancelled
    EXPECT_FLOAT_EQ(params.horizon, 12);
    EXPECT_EQ(Renders(), renders);

    view.open_answers = {Path("calm.q8r")};
    Click(kIdLoad);
    EXPECT_EQ(view.file_requests.back().type, kFilePresets);
    EXPECT_STREQ(view.file_requests.back().title, "Open a settings file");
    EXPECT_FLOAT_EQ(params.horizon, 77);
    EXPECT_FLOAT_EQ(params.complexity, file.complexity) << "a field the file holds replaces the old value";
    EXPECT_STREQ(params.settings_name, "calm.q8r");
    EXPECT_EQ(view.fields[86], "77");
    EXPECT_EQ(Renders(), renders + 1);
    EXPECT_TRUE(std::filesystem::exists(Path(dialog.undo.toggle == 0 ? "Tarnwell undo 0" : "Tarnwell undo 1")))
        << "a Load is an undo state with its file";

    Click(kIdLoad);
    EXPECT_EQ(view.file_requests.back().folder, FolderOfPath(Path("calm.q8r")));
}

TEST_F(Files, ALoadThatCannotReadKeepsTheSettings) {
    params.horizon = 12;
    Open();
    view.open_answers = {Path("gone.q8r")};
    Click(kIdLoad);
    EXPECT_FLOAT_EQ(params.horizon, 12);
    EXPECT_EQ(view.messages.size(), 1u);
}

using Windows = DialogSession;

TEST_F(Windows, AboutAndInformationOpenOnceEach) {
    Open();
    view.while_about_open = [this] { ClickAt(kIdAbout); };
    ClickAt(kIdAbout);
    EXPECT_EQ(view.about_shown, 1) << "a second click while the box is open does nothing";
    view.while_about_open = nullptr;
    ClickAt(kIdAbout);
    EXPECT_EQ(view.about_shown, 2) << "once closed it opens again";

    view.while_info_open = [this] { Click(kIdInfo); };
    Click(kIdInfo);
    EXPECT_EQ(view.info_shown, 1);
    ASSERT_EQ(view.brought_to_top.size(), 1u);
    EXPECT_EQ(view.brought_to_top[0], AuxWindow::kInfo);
}

TEST_F(Windows, PsdExportTakesTheSizeDialogsChoiceThenAsksForTheFile) {
    params.psd_size_choice = 3;
    params.psd_width = 640;
    params.psd_height = 480;
    Open(1000, 600);
    view.size_dialog = [this](ExportSizeDialog& size, RenderParams& p) {
        EXPECT_EQ(size.input_width, 1000);
        EXPECT_EQ(size.input_height, 600);
        struct : SizeDialogView {
            void SetFieldText(int, const std::string&) override {}
            void CheckRadio(int) override {}
            void Close(int) override {}
        } window;
        OpenExportSize(size, window, p, size.input_width, size.input_height);
        Click(kIdExportPsd);  // a second export while the size dialog is up
        ExportSizeEdited(size, window, kSizeWidth, "1,234 px", true);
        ExportSizeClicked(size, window, kSizeOk, p);
        return size.result == 1;
    };
    view.save_answers = {Path("water.psd")};
    Click(kIdExportPsd);
    EXPECT_EQ(view.size_runs, 1);
    EXPECT_EQ(view.brought_to_top, std::vector<AuxWindow>{AuxWindow::kExportSize});
    ASSERT_EQ(services.exports.size(), 1u);
    EXPECT_EQ(services.exports[0].path, Path("water.psd"));
    EXPECT_EQ(services.exports[0].width, 1234);
    EXPECT_EQ(services.exports[0].height, 480);
    EXPECT_EQ(view.file_requests.back().name, "Tarnwell result.psd");
    EXPECT_EQ(view.file_requests.back().type, kFilePsd);
    EXPECT_EQ(view.progress, (std::vector<int>{-1, 500, 1000, -2}));
    EXPECT_EQ(std::string(params.export_text[0]), FolderOfPath(Path("water.psd")));
    EXPECT_TRUE(view.messages.empty());

    // Cancelled in the size dialog: no file dialog, no export.
    view.size_dialog = nullptr;
    const size_t requests = view.file_requests.size();
    Click(kIdExportPsd);
    EXPECT_EQ(view.file_requests.size(), requests);
    EXPECT_EQ(services.exports.size(), 1u);
}

TEST_F(Windows, PresetsPageListsTheChosenFolderAndOpensThePage) {
    const std::string presets = Path("presets");
    std::filesystem::create_directory(presets);
    RenderParams look;
    ResetParams(look);
    ASSERT_TRUE(WriteSettings((std::filesystem::path(presets) / "a&b.q8r").string(), look, nullptr, false));
    Open();
    view.open_answers = {(std::filesystem::path(presets) / "a&b.q8r").string()};
    view.save_answers = {Path("page.html")};
    Click(kIdPresetsPage);
    ASSERT_EQ(services.opened.size(), 1u);
    EXPECT_EQ(services.opened[0], Path("page.html"));
    EXPECT_TRUE(std::filesystem::exists(Path("web_images/a&b.jpg")));
    EXPECT_STREQ(view.file_requests[0].title, "Choose any file in the source folder");
    EXPECT_STREQ(view.file_requests[1].title, "Save an HTML page");
    EXPECT_EQ(view.file_requests[1].name, "Tarnwell presets.html");
}

TEST_F(Windows, AFileDialogIsNeverOpenedTwice) {
    Open();
    // While the Load dialog is up the user reaches the main dialog and clicks Save.
    view.while_file_dialog = [this] {
        view.while_file_dialog = nullptr;
        Click(kIdSave);
    };
    Click(kIdLoad);
    EXPECT_EQ(view.file_requests.size(), 1u);
}

}  // namespace
}  // namespace tw::testing
