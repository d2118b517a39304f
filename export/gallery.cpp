// Gallery pages: the page text (head, rows of picture cells, spacer rows, the end that
// completes a partial row) and the two pages built from it, presets and memory dots.
#include "export/gallery.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "export/product.h"
#include "export/psd_export.h"
#include "platform/platform.h"
#include "settings/dot_map.h"
#include "settings/image_holder.h"
#include "settings/jpeg_memory.h"
#include "settings/settings_file.h"

namespace tw {

namespace {

constexpr char CRLF[] = "\r\n";
constexpr char kCellOpen[] = "<td align=\"center\" valign=\"top\" width=\"20%\">";

const char* TitleTail(int32_t kind) {
    switch (kind) {
        case kGalleryPresets: return " presets";
        case kGalleryImages: return " images";
        case kGalleryOutputModes: return " output modes";
        case kGalleryMemoryDots: return " memory dots";
        default: return " polyhedra";
    }
}

// The folder part of a path, with its last separator.
std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// After each cell: a full row is closed and followed by a row of spacer cells.
void AdvanceColumn(GalleryPage& page) {
    if (++page.column <= page.columns) return;
    std::string& h = page.html;
    h += "</tr>";
    h += CRLF;
    h += "<tr>";
    for (int32_t i = 0; i < page.columns; ++i)
        h += "<td align=\"center\" valign=\"top\" width=\"20%\"><p>&nbsp;</p></td>";
    h += "</tr>";
    ++page.rows;
    page.column = 1;
}

std::string Number(int64_t n) { return std::to_string(n); }

// Settings and dot files hold at most 260-character names; "a.q8r" -> "a".
std::string Stem(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool ContainsSettingsSuffix(const std::string& name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(".q8r") != std::string::npos;
}

bool WriteJpegBytes(const std::string& path, const std::vector<uint8_t>& jpeg) {
    return !jpeg.empty() && platform::WriteFileAtomically(path, jpeg.data(), jpeg.size());
}

JpegExtras GalleryExtras(const std::vector<uint8_t>& exif, const std::vector<uint8_t>& iptc) {
    JpegExtras extras;
    extras.exif_tiff = exif.data();
    extras.exif_size = exif.size();
    extras.iptc = iptc.data();
    extras.iptc_size = iptc.size();
    return extras;
}

bool WritePictureJpeg(const std::string& path, const Picture& picture) {
    const std::vector<uint8_t> exif = MakeExifBlock(), iptc = MakeIptcBlock(false, 1, {});
    std::vector<uint8_t> jpeg;
    EncodeJpeg(picture, jpeg, kGalleryPictureQuality, GalleryExtras(exif, iptc));
    return WriteJpegBytes(path, jpeg);
}

bool PrepareImageFolder(const std::string& page_path, std::string& folder, GalleryReport& report) {
    folder = platform::JoinPath(FolderOf(page_path).empty() ? "." : FolderOf(page_path),
                                kGalleryImageFolder);
    if (platform::CreateFolder(folder)) return true;
    report.error = "cannot create the picture folder " + folder;
    return false;
}

bool SavePage(const std::string& page_path, const GalleryPage& page, GalleryReport& report) {
    if (platform::WriteFileAtomically(page_path, page.html.data(), page.html.size())) return true;
    report.error = "cannot write " + page_path;
    return false;
}

}  // namespace

void BeginGalleryPage(GalleryPage& page, int32_t kind, int32_t columns,
                      const std::string& source_folder) {
    page = GalleryPage{};
    page.kind = kind;
    page.columns = std::clamp(columns, 1, kGalleryMaxColumns);
    page.source_folder = source_folder;

    std::string& h = page.html;
    h += "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";
    (h += CRLF) += CRLF;
    (h += "<html>") += CRLF;
    (h += "<head>") += CRLF;
    (h += "<meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-1\">") += CRLF;
    h += std::string("<meta name=\"generator\" content=\"Quillmoth ") + kProductName + "\">";
    h += std::string("<title>") + kProductName + TitleTail(kind) + "</title>";
    h += CRLF;
    (h += "</head>") += CRLF;
    h += CRLF;
    (h += "<body bgcolor=\"#ffffff\">") += CRLF;
    (h += "<p><br>") += CRLF;
    h += CRLF;
    h += "<font size=\"4\" color=\"000000\" face=\"Gill Sans,Verdana,Helvetica,Arial,Geneva\"><b>";
    h += kProductName;
    h += kind == kGalleryPresets ? " presets from " : " images from ";
    h += HtmlEscape(FolderOf(source_folder));
    if (kind == kGalleryOutputModes) h += " output modes ";
    if (kind == kGalleryMemoryDots) h += " memory dots ";
    (h += "<br>") += CRLF;
    h += "</b></font></p>";
    h += "<table width=\"100%\" border=\"0\" cellspacing=\"12\" cellpadding=\"0\" align=\"center\">";
}

void AddGalleryCell(GalleryPage& page, int32_t width, int32_t height,
                    const std::string& image_name, const std::string& caption) {
    std::string& h = page.html;
    if (page.column == 1) h += "<tr>";
    ++page.cells;
    // Each frame table gets its own id: a page with the same id twice is not valid HTML.
    char id[24];
    std::snprintf(id, sizeof id, "Table_%02d", page.cells);

    (h += kCellOpen) += CRLF;
    // HTML 4.01 tables have no height attribute; a style gives the frame its height and
    // keeps the page valid.
    h += std::string("<table id=\"") + id + "\" width=\"" + Number(int64_t(width) + 6) +
         "\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" style=\"height:" +
         Number(int64_t(height) + 7) + "px\">";
    h += CRLF;
    (h += "<tr>") += CRLF;
    (h += "<td colspan=\"3\"></td>") += CRLF;
    (h += "</tr>") += CRLF;
    (h += "<tr>") += CRLF;
    (h += "<td></td>") += CRLF;
    h += "<td>";
    h += std::string("<img src=\"") + kGalleryImageFolder + "/" + UrlEscape(image_name) +
         ".jpg\" alt=\"" + HtmlEscape(image_name) + ".jpg\" width=\"" + Number(width) +
         "\" height=\"" + Number(height) + "\" border=\"0\">";
    (h += "</td>") += CRLF;
    (h += "<td></td>") += CRLF;
    (h += "</tr>") += CRLF;
    (h += "<tr>") += CRLF;
    (h += "<td colspan=\"3\"></td>") += CRLF;
    (h += "</tr>") += CRLF;
    (h += "</table>") += CRLF;
    (h += "<div align=\"center\">") += CRLF;
    h += "<br><font size=\"" + Number(page.caption_size) +
         "\" color=\"000000\" face=\"Gill Sans,Verdana,Helvetica,Arial\">";
    h += HtmlEscape(caption);
    h += "</font></div></td>";
    (h += CRLF) += CRLF;
    AdvanceColumn(page);
}

void EndGalleryPage(GalleryPage& page) {
    std::string& h = page.html;
    while (page.column != 1) {
        h += kCellOpen;
        (h += "<p></p>") += CRLF;
        (h += "<div align=\"center\">") += CRLF;
        (h += "<p><font face=\"Hoefler Text,Times New Roman,Georgia,Times\"><b></b></font></p>") +=
            CRLF;
        (h += "</div>") += CRLF;
        (h += "</td>") += CRLF;
        h += CRLF;
        AdvanceColumn(page);
    }
    (h += "</table><br>") += CRLF;
    h += "</body></html>";
}

bool WriteGalleryJpeg(const std::string& path, const ImageBuffer& image) {
    const std::vector<uint8_t> exif = MakeExifBlock(), iptc = MakeIptcBlock(false, 1, {});
    std::vector<uint8_t> jpeg;
    EncodeJpegFromImage(image, jpeg, kGalleryPictureQuality, GalleryExtras(exif, iptc));
    return WriteJpegBytes(path, jpeg);
}

bool WritePresetsPage(const std::string& source_folder, const std::string& page_path,
                      GalleryReport& report) {
    report = GalleryReport{};
    std::error_code ignored;
    if (!std::filesystem::is_directory(source_folder, ignored)) {
        report.error = "no such folder: " + source_folder;
        return false;
    }
    std::string image_folder;
    if (!PrepareImageFolder(page_path, image_folder, report)) return false;

    GalleryPage page;
    // The heading names the folder, so give it its trailing separator.
    std::string folder = source_folder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += platform::PathSeparator();
    BeginGalleryPage(page, kGalleryPresets, kPresetColumns, folder);

    RenderParams scratch{};  // thumbnail-only reads leave the record alone
    Picture holder;
    for (const std::string& name : platform::ListFolder(source_folder, "")) {
        if (!ContainsSettingsSuffix(name)) continue;
        // Every file starts from the empty ramp: a file without a picture must not show
        // the picture of the file read before it.
        ResetPictureToRamp(holder);
        bool found = false;
        if (!ReadSettings(platform::JoinPath(source_folder, name), scratch,
                          ReadMode::ThumbnailOnly, &holder, &found))
            ++report.unreadable;
        else if (!found) ++report.missing_pictures;

        const std::string stem = Stem(name);
        const std::string image_name = SanitiseImageName(stem);
        AddGalleryCell(page, kPresetCellSide, kPresetCellSide, image_name, stem);
        ++report.cells;
        if (!WritePictureJpeg(platform::JoinPath(image_folder, image_name + ".jpg"), holder))
            ++report.pictures_not_written;
    }
    EndGalleryPage(page);
    return SavePage(page_path, page, report);
}

bool WriteMemoryDotsPage(const std::string& page_path, const DotRenderer& render,
                         const std::function<void(int dot_number)>& on_dot,
                         GalleryReport& report) {
    DotKeepFlags keep{};
    LoadDotMap(keep);  // no map yet: no dot is kept
    bool shown[kMemoryDotCount];
    for (int i = 0; i < kMemoryDotCount; ++i) shown[i] = keep[i] != 0;
    return WriteMemoryDotsPage(page_path, shown, render, on_dot, report);
}

bool WriteMemoryDotsPage(const std::string& page_path, const bool (&shown)[kMemoryDotCount],
                         const DotRenderer& render, const std::function<void(int dot_number)>& on_dot,
                         GalleryReport& report) {
    report = GalleryReport{};
    std::string image_folder;
    if (!PrepareImageFolder(page_path, image_folder, report)) return false;

    GalleryPage page;
    BeginGalleryPage(page, kGalleryMemoryDots, kDotColumns, "");
    for (int i = 0; i < kMemoryDotCount; ++i) {
        if (!shown[i]) continue;
        RenderParams params{};
        if (!LoadSettings(MemoryDotPath(i), params, nullptr)) {
            ++report.unreadable;
            continue;
        }
        if (on_dot) on_dot(i + 1);
        std::string error;
        std::unique_ptr<ImageBuffer, void (*)(ImageBuffer*)> image(render(params, error),
                                                                   destroyImageBuffer);
        if (!image) {
            report.error = "dot " + Number(i + 1) + ": " + (error.empty() ? "render failed" : error);
            return false;
        }
        const std::string image_name = "dot " + Number(i + 1);
        if (!WriteGalleryJpeg(platform::JoinPath(image_folder, image_name + ".jpg"), *image))
            ++report.pictures_not_written;
        AddGalleryCell(page, image->width, image->height, image_name, image_name);
        ++report.cells;
    }
    EndGalleryPage(page);
    return SavePage(page_path, page, report);
}

}  // namespace tw
