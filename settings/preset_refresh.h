// Preset pictures outside the dialog's own preview: what the preset open dialog's picture
// pane shows for the file under the cursor, and the batch that re-renders the pictures of a
// whole folder of presets.
//
// Preset files are settings files whose names say whether their picture has been made: a
// name containing "q9q" marks a preset still waiting for its picture, "q5q" one that has it.
// The batch rewrites each such file in place with a picture rendered from its own settings
// and renames "q9q" files to ".q5q", so after a complete batch the folder holds only ".q5q"
// presets with fresh pictures, and running it again re-renders them all. The user's own
// settings are kept aside while it runs and come back afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "params/render_params.h"
#include "settings/picture.h"

namespace tw {

// ---- The open dialog's picture pane -------------------------------------------------------

constexpr size_t kMaxPanePath = 260;  // a longer selection is not looked at

// The pane's state while one open dialog is up (a fresh one for each dialog).
struct PresetPane {
    bool decoded = false;  // a picture was decoded since the dialog opened; until then the
                           // pane draws nothing
    int32_t width = 0;     // the size of the last decoded picture: the pane draws the holder
    int32_t height = 0;    // at this size, centred
};

enum class PaneChange : int32_t {
    kIgnored,  // the path was too long: nothing changed, nothing to repaint
    kRamp,     // the holder was reset to its ramp (not a settings file, or no picture in it)
    kPicture,  // the holder now shows the file's picture
};

// The selection moved to `path`. Unless the path is longer than 260 characters, the holder is
// reset to its ramp; a path containing ".q8r" (any case) is then read for its picture alone,
// which replaces the holder. Repaint the pane unless the answer is kIgnored.
PaneChange SelectPresetPath(PresetPane& pane, const std::string& path, Picture& holder);

// ---- Names ----------------------------------------------------------------------------------

// Whether the batch looks at a file of this name: it contains "q9q" or "q5q" (any case).
bool IsPresetName(const std::string& name);
// The name a refreshed file ends with: a name containing "q9q" (any case) has the text from
// its last "." on replaced by ".q5q" (".q5q" is appended when it has no "."); other names
// stay as they are.
std::string RefreshedPresetName(const std::string& name);
// The folder of a chosen file: the path up to and including its last separator ("/" or "\"),
// or "." for a bare name.
std::string SourceFolderOf(const std::string& chosen_file);

// ---- The batch ------------------------------------------------------------------------------

// What the batch asks of whoever runs it (the dialog, or the command line). Every member may
// be left empty; without render_preview no file can be rendered, so none is rewritten.
struct PresetRefreshServices {
    // The open dialog titled "Choose any file in the source folder"; false when cancelled.
    std::function<bool(std::string& chosen_file)> choose_file;
    // Called with true before the first file and false after the last: the dialog marks
    // itself busy (OK and Cancel ignored), shows the wait cursor and switches its preview to
    // full quality, and puts all of that back.
    std::function<void(bool running)> batch_running;
    // The values of a file just read, for the dialog to show in its controls.
    std::function<void(const RenderParams& params)> show_values;
    // Renders `params` as the dialog's preview shows them and hands back a view of the
    // result, valid until the next call. False when the render failed or was stopped.
    std::function<bool(const RenderParams& params, PlanarView& preview)> render_preview;
    // The user's stop request, and forgetting an old one (once, as the batch starts).
    std::function<bool()> stop_requested;
    std::function<void()> clear_stop;
    // `done` of `total` preset files are finished; `name` is the file at hand.
    std::function<void(int done, int total, const std::string& name)> progress;
};

// One batch at a time: a second one asked for while the first runs (the dialog's event loop
// turns during the renders) is refused.
struct PresetRefreshState {
    bool running = false;
    std::string source_folder;  // the folder of the last batch
};

enum class RefreshStatus : int32_t {
    kDone,       // every preset file of the folder was visited
    kRefused,    // a batch was already running
    kCancelled,  // no file was chosen
    kNotListed,  // the folder could not be listed; nothing was changed
    kStopped,    // the user asked to stop: the file at hand and those after it were left alone
};

struct PresetRefreshReport {
    RefreshStatus status = RefreshStatus::kDone;
    std::string folder;
    int32_t total = 0;      // writable preset files found
    int32_t refreshed = 0;  // rewritten with a new picture
    struct Rename {
        std::string from, to;
    };
    std::vector<Rename> renamed;
    std::vector<std::string> read_only;     // preset files skipped because they are read-only
    std::vector<std::string> unreadable;    // could not be read: left alone
    std::vector<std::string> not_rendered;  // the render or capture failed: left alone
    std::vector<std::string> not_written;   // could not be rewritten: left as they were
    std::vector<std::string> not_renamed;   // refreshed, but kept their "q9q" name because the
                                            // new name is taken or the rename failed
    bool scratch_written = false;  // the user's settings were also saved to scratch dot 25
};

// The whole command as the dialog runs it: refused while a batch runs, then the file choice,
// then RefreshPresetFolder on the chosen file's folder.
PresetRefreshReport RefreshPresetPictures(PresetRefreshState& state, RenderParams& params, Picture& holder,
                                          const PresetRefreshServices& services);

// The batch over `folder`. The user's settings are written to scratch dot 25 and kept in
// memory. Every plain file whose name contains "q9q" or "q5q" (any case) and is not
// read-only is visited in name order: the holder is reset to its ramp, the plain settings are
// read over by the file, the settings are named after the file and shown; then the preview
// is rendered, captured into the holder and the file rewritten in place with that picture;
// a "q9q" file is then renamed (RefreshedPresetName), never over an existing file. At the
// end the user's settings come back exactly, but the settings name stays the last file's
// when any file was read. A stop request ends the batch before the next step.
PresetRefreshReport RefreshPresetFolder(PresetRefreshState& state, const std::string& folder, RenderParams& params,
                                        Picture& holder, const PresetRefreshServices& services);

}  // namespace tw
