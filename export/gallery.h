// HTML gallery pages: a presets page showing the picture of every settings file in a
// folder, and a memory-dots page showing a full-size render of every kept memory dot.
// Each page is one HTML 4.01 Transitional file (ISO-8859-1) with a "web_images" folder of
// JPEG files beside it. Pages are built in memory and written in one go, under a temporary
// name, so a failed export never leaves half a page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "image/image_buffer.h"
#include "params/render_params.h"
#include "settings/dot_map.h"

namespace tw {

// Page kinds; they choose the heading and title words.
enum GalleryKind : int32_t {
    kGalleryPresets = 0,      // " presets"
    kGalleryImages = 1,       // " images"
    kGalleryOutputModes = 2,  // " output modes"
    kGalleryMemoryDots = 3,   // " memory dots"
    kGalleryPolyhedra = 4,    // " polyhedra"
};

constexpr int32_t kGalleryMaxColumns = 10;
constexpr int32_t kPresetColumns = 5;
constexpr int32_t kDotColumns = 4;
constexpr int32_t kPresetCellSide = 88;  // presets are shown at 88 x 88
constexpr char kGalleryImageFolder[] = "web_images";

// Text of a page under construction.
struct GalleryPage {
    std::string html;           // what has been written so far
    int32_t kind = kGalleryPresets;
    int32_t columns = kPresetColumns;  // cells per row, 1..10
    int32_t column = 1;         // position of the next cell in its row, from 1
    int32_t rows = 0;           // rows completed
    int32_t cells = 0;          // cells written (names each cell's frame table)
    int32_t caption_size = 3;   // font size of the captions
    std::string source_folder;  // shown in the heading up to its last separator
};

// Starts a page: the document head, the heading and the opening of the table.
void BeginGalleryPage(GalleryPage& page, int32_t kind, int32_t columns,
                      const std::string& source_folder);
// One picture cell: `image_name` is the sanitised stem of web_images/<name>.jpg, shown at
// width x height, with `caption` below it. A full row is closed and followed by a spacer row.
void AddGalleryCell(GalleryPage& page, int32_t width, int32_t height,
                    const std::string& image_name, const std::string& caption);
// Completes a partly filled row with empty cells, then closes the table and the page.
void EndGalleryPage(GalleryPage& page);

// Text for HTML: markup characters and every byte above 122 as character references
// (Latin-1 letters by their HTML 4 entity names).
std::string HtmlEscape(std::string_view text);
// Text for a URL: letters and digits as they are, every other byte as %xx.
std::string UrlEscape(std::string_view text);
// A name made safe to use as a file name: control bytes become spaces, bytes above 127 are
// folded into printable ones and path separators and colons become "_".
std::string SanitiseImageName(std::string_view name);

// What a gallery run did, for the caller's messages.
struct GalleryReport {
    int32_t cells = 0;               // pictures on the page
    int32_t missing_pictures = 0;    // settings files without a picture (shown as the ramp)
    int32_t unreadable = 0;          // files that could not be read
    int32_t pictures_not_written = 0;
    std::string error;               // why the page could not be written, when it could not
};

// The presets page: every file of `source_folder` whose name contains ".q8r" (any case),
// in name order, with the picture its settings file carries; a file without a picture
// shows the holder's empty ramp, never the picture of the file before it. JPEG files go to
// web_images beside `page_path`. False (with report.error) when the folder cannot be
// listed or the page cannot be written.
bool WritePresetsPage(const std::string& source_folder, const std::string& page_path,
                      GalleryReport& report);

// Renders `params` at the size the caller chooses into a new RGBA picture; null when the
// render fails or is cancelled (the page then stops, unwritten).
using DotRenderer = std::function<ImageBuffer*(const RenderParams& params, std::string& error)>;

// The memory-dots page: for each dot the memory-dot map keeps (and whose file exists), its
// settings are loaded over the plain settings, rendered by `render` and written as
// web_images/dot N.jpg. `on_dot` (may be null) hears each dot's number before its render.
bool WriteMemoryDotsPage(const std::string& page_path, const DotRenderer& render,
                         const std::function<void(int dot_number)>& on_dot,
                         GalleryReport& report);
// The same for the dots `shown` marks, as the dialog's ring shows them filled (a dot stored
// in this run shows filled without being kept).
bool WriteMemoryDotsPage(const std::string& page_path, const bool (&shown)[kMemoryDotCount],
                         const DotRenderer& render, const std::function<void(int dot_number)>& on_dot,
                         GalleryReport& report);

// The JPEG file of a gallery picture: quality 50, with the Exif and IPTC blocks the PSD
// export carries. False when it cannot be encoded or written.
bool WriteGalleryJpeg(const std::string& path, const ImageBuffer& image);

}  // namespace tw
