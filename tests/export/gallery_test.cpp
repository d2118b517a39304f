// Gallery pages: the escaping of names, the rows and spacer rows of a page, the presets
// page over a folder of settings files and the memory-dots page over the dot files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "export/gallery.h"
#include "platform/platform.h"
#include "settings/dot_map.h"
#include "settings/jpeg_memory.h"
#include "settings/settings_file.h"
#include "test_pictures.h"

namespace tw {
namespace {

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

std::string Bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += char(b);
    return s;
}

TEST(GalleryEscaping, HtmlText) {
    EXPECT_EQ(HtmlEscape("a&b <c> \"d\" 'e'"), "a&amp;b &lt;c&gt; &quot;d&quot; 'e'");
    EXPECT_EQ(HtmlEscape(Bytes({122, 123, 126, 127, 159})), "z&#123;&#126;&#127;&#159;");
    EXPECT_EQ(HtmlEscape(Bytes({160, 169, 198, 215, 223, 233, 247, 255})),
              "&nbsp;&copy;&AElig;&times;&szlig;&eacute;&divide;&yuml;");
    EXPECT_EQ(HtmlEscape("plain name 42"), "plain name 42");
}

TEST(GalleryEscaping, UrlsAndFileNames) {
    EXPECT_EQ(UrlEscape("a&b"), "a%26b");
    EXPECT_EQ(UrlEscape("Dot 1.x"), "Dot%201%2ex");
    EXPECT_EQ(UrlEscape(Bytes({0xe9, 0x2f})), "%e9%2f");
    EXPECT_EQ(SanitiseImageName("a/b:c\\d"), "a_b_c_d");
    EXPECT_EQ(SanitiseImageName(Bytes({'x', 1, 31, 'y'})), "x  y");
    // High bytes fold to printable ones; one that would fold to '.' or to a separator
    // becomes '_' so a name can never climb out of the picture folder.
    EXPECT_EQ(SanitiseImageName(Bytes({0xc1, 0x8e, 0x8f, 0x9a, 0xbc, 0xff})), Bytes({'a', '_', '_', '_', '_', 159}));
    EXPECT_EQ(SanitiseImageName(".."), "..");
}

TEST(GalleryPageText, SevenCellsMakeTwoRowsWithSpacers) {
    GalleryPage page;
    BeginGalleryPage(page, kGalleryPresets, 5, "/some/folder/");
    const size_t head = page.html.size();
    EXPECT_NE(page.html.find("<title>Tarnwell presets</title>"), std::string::npos);
    EXPECT_NE(page.html.find("Tarnwell presets from /some/folder/<br>"), std::string::npos);
    for (int i = 0; i < 7; ++i) AddGalleryCell(page, 88, 88, std::to_string(i), "p");
    EndGalleryPage(page);
    const std::string body = page.html.substr(head);
    EXPECT_EQ(page.rows, 2);
    EXPECT_EQ(page.column, 1);
    EXPECT_EQ(Count(body, "<img "), 7u);
    EXPECT_EQ(Count(body, "<p>&nbsp;</p>"), 10u);  // two spacer rows of five
    EXPECT_EQ(Count(body, "Hoefler Text"), 3u);    // empty cells completing row two
    // Rows: two picture rows and two spacer rows; each picture's frame table has three.
    EXPECT_EQ(Count(body, "<tr>"), 4u + 7u * 3u);
    // The second row holds two pictures and three empty cells, then its spacer row.
    const std::string spacer_end = "<p>&nbsp;</p></td></tr>";
    const size_t first_row_end = body.find(spacer_end);
    ASSERT_NE(first_row_end, std::string::npos);
    const std::string after = body.substr(first_row_end + spacer_end.size());
    EXPECT_EQ(Count(after, "<img "), 2u);
    EXPECT_EQ(Count(after, "Hoefler Text"), 3u);
    EXPECT_NE(body.find("id=\"Table_07\""), std::string::npos);
    EXPECT_TRUE(body.ends_with("<p>&nbsp;</p></td></tr></table><br>\r\n</body></html>"));
    EXPECT_NE(body.find("width=\"94\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" style=\"height:95px\""),
              std::string::npos);
}

TEST(GalleryPageText, ExactRowsNeedNoEmptyCells) {
    GalleryPage page;
    BeginGalleryPage(page, kGalleryMemoryDots, 4, "");
    for (int i = 0; i < 4; ++i) AddGalleryCell(page, 10, 10, "d", "d");
    EndGalleryPage(page);
    EXPECT_EQ(page.rows, 1);
    EXPECT_EQ(Count(page.html, "Hoefler Text"), 0u);
    EXPECT_NE(page.html.find("<title>Tarnwell memory dots</title>"), std::string::npos);
    EXPECT_NE(page.html.find("Tarnwell images from  memory dots <br>"), std::string::npos);
}

// Settings files with pictures of one flat colour each, so a picture is recognisable.
void WritePreset(const std::string& path, uint8_t grey, bool with_picture) {
    RenderParams params{};
    ResetParams(params);
    Picture picture;
    ASSERT_TRUE(AllocatePicture(picture, kPictureSide, kPictureSide));
    std::fill(picture.rgb.begin(), picture.rgb.end(), grey);
    ASSERT_TRUE(WriteSettings(path, params, &picture, with_picture));
}

Picture ReadJpeg(const std::string& path) {
    std::vector<uint8_t> bytes;
    Picture picture;
    int w = 0, h = 0;
    if (platform::ReadWholeFile(path, bytes) && JpegDimensions(bytes.data(), bytes.size(), w, h))
        DecodeJpegPicture(bytes.data(), bytes.size(), w, h, picture);
    return picture;
}

TEST(PresetsPage, NamesPicturesAndNoCarryOver) {
    test::ScratchFolder source("presets"), out("presets-out");
    WritePreset(source / "a&b.q8r", 40, true);
    WritePreset(source / "b none.Q8R", 40, false);  // no picture of its own
    WritePreset(source / "c.q8r", 220, true);
    platform::WriteFileAtomically(source / "notes.txt", "x", 1);
    std::filesystem::create_directory(source / "folder.q8r");

    GalleryReport report;
    const std::string page_path = out / "Tarnwell presets.html";
    ASSERT_TRUE(WritePresetsPage(source.path(), page_path, report)) << report.error;
    EXPECT_EQ(report.cells, 3);
    EXPECT_EQ(report.missing_pictures, 1);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(page_path, bytes));
    const std::string html(bytes.begin(), bytes.end());
    EXPECT_NE(html.find("<img src=\"web_images/a%26b.jpg\" alt=\"a&amp;b.jpg\""), std::string::npos);
    EXPECT_NE(html.find("Arial\">a&amp;b</font>"), std::string::npos);
    EXPECT_EQ(Count(html, "<img "), 3u);
    EXPECT_NE(html.find(HtmlEscape(source.path())), std::string::npos);

    const Picture first = ReadJpeg(out / "web_images/a&b.jpg");
    const Picture none = ReadJpeg(out / "web_images/b none.jpg");
    ASSERT_EQ(first.width, kPictureSide);
    ASSERT_EQ(none.width, kPictureSide);
    EXPECT_NEAR(first.pixel(64, 64)[0], 40, 4);
    // The file without a picture shows the empty ramp (light at the top, darker below),
    // not the dark picture of the file read before it.
    EXPECT_GT(none.pixel(64, 2)[0], 240);
    EXPECT_LT(none.pixel(64, 125)[0], 140);
    EXPECT_TRUE(std::filesystem::exists(out / "web_images/c.jpg"));
}

TEST(PresetsPage, MissingFolderWritesNothing) {
    test::ScratchFolder out("presets-missing");
    GalleryReport report;
    EXPECT_FALSE(WritePresetsPage(out / "nowhere", out / "p.html", report));
    EXPECT_FALSE(report.error.empty());
    EXPECT_FALSE(std::filesystem::exists(out / "p.html"));
}

TEST(MemoryDotsPage, OnlyKeptDotsAreRenderedAtTheRendererSize) {
    test::ScratchFolder temp("dots-temp"), out("dots-out");
    test::TempFolderOverride override_temp(temp.path());
    int renders = 0;
    DotRenderer render = [&](const RenderParams& params, std::string&) {
        ++renders;
        EXPECT_EQ(params.version, 45);
        return test::MakePicture(30, 20, kRgba8, test::Gradient);
    };
    GalleryReport report;

    // No map at all: only the head and the closed table.
    ASSERT_TRUE(WriteMemoryDotsPage(out / "empty.html", render, nullptr, report)) << report.error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(out / "empty.html", bytes));
    GalleryPage head;
    BeginGalleryPage(head, kGalleryMemoryDots, kDotColumns, "");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), head.html + "</table><br>\r\n</body></html>");
    EXPECT_EQ(renders, 0);

    DotKeepFlags keep{};
    keep[0] = keep[6] = keep[9] = 1;  // dot 10 is kept but its file is gone
    ASSERT_TRUE(SaveDotMap(keep));
    WritePreset(MemoryDotPath(0), 10, true);
    WritePreset(MemoryDotPath(6), 10, true);
    WritePreset(MemoryDotPath(3), 10, true);  // a file without the keep flag
    std::vector<int> heard;
    ASSERT_TRUE(WriteMemoryDotsPage(out / "dots.html", render,
                                    [&](int n) { heard.push_back(n); }, report));
    EXPECT_EQ(heard, (std::vector<int>{1, 7}));
    EXPECT_EQ(report.cells, 2);
    EXPECT_EQ(report.unreadable, 1);
    ASSERT_TRUE(platform::ReadWholeFile(out / "dots.html", bytes));
    const std::string html(bytes.begin(), bytes.end());
    EXPECT_NE(html.find("<img src=\"web_images/dot%207.jpg\" alt=\"dot 7.jpg\" width=\"30\" height=\"20\""),
              std::string::npos);
    EXPECT_EQ(ReadJpeg(out / "web_images/dot 1.jpg").width, 30);

    // A failed render stops the page without writing it.
    DotRenderer failing = [](const RenderParams&, std::string& error) -> ImageBuffer* {
        error = "cancelled";
        return nullptr;
    };
    EXPECT_FALSE(WriteMemoryDotsPage(out / "failed.html", failing, nullptr, report));
    EXPECT_NE(report.error.find("cancelled"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out / "failed.html"));
}

}  // namespace
}  // namespace tw
