// Settings files (*.q8r): one RenderParams record and a small JPEG picture of the result.
// It is the program's one persistent format: Load and Save, memory dots, undo slots and the
// cached settings all use it. A file is a sequence of big-endian words whose first word is
// its version; each later version appended fields at the end, and a reader applies
// version-by-version fix-ups rather than rejecting an old file. There is no magic number,
// length or checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "params/render_params.h"
#include "settings/picture.h"

namespace tw {

constexpr size_t kPictureReadLimit = 49152;  // the largest JPEG stream a reader accepts
constexpr size_t kRawPictureSkip = 12288;     // a 64 x 64 RGB picture of versions 22..39

enum class ReadMode {
    Full,           // every field into the record, then the legacy upgrade
    ThumbnailOnly,  // only the picture; the record is left exactly as it was
};

// Encodes the record as a current-version file. Like every write of the record it first
// refreshes the legacy mirror slots and sets `version` to 45, so `params` changes. With
// `with_picture` set and a `holder` that has pixels, the holder is scaled to 128 x 128 and
// carried as a JPEG stream; otherwise the file has no picture.
std::vector<uint8_t> EncodeSettings(RenderParams& params, const Picture* holder, bool with_picture);

// Reads a file's bytes into the record (Full) or only its picture (ThumbnailOnly). Fields a
// short file does not reach keep the value they had. When `holder` is given, a picture in
// the file replaces it (at the picture's own size) and `picture_found` reports it. Fields
// not present in an old file also keep their values, so a Load starts from the plain
// settings (see LoadSettings).
void DecodeSettings(const uint8_t* data, size_t size, RenderParams& params, ReadMode mode, Picture* holder,
                    bool* picture_found = nullptr);

// The same against files. WriteSettings writes the whole file under a temporary name and
// renames it into place, so a failed write never leaves a half file; false when the file
// cannot be written. ReadSettings is false (and changes nothing) when the file cannot be read.
bool WriteSettings(const std::string& path, RenderParams& params, const Picture* holder, bool with_picture);
bool ReadSettings(const std::string& path, RenderParams& params, ReadMode mode, Picture* holder,
                  bool* picture_found = nullptr);

// What the dialog's Load does: the plain settings, then a full read on top of them.
bool LoadSettings(const std::string& path, RenderParams& params, Picture* holder);

// The settings-file fields of `from` (every value a file carries, the version and the
// settings name) copied into `to`, leaving the working fields of `to` alone.
void CopySettingsFields(const RenderParams& from, RenderParams& to);

}  // namespace tw
