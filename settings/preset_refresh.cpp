#include "settings/preset_refresh.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "platform/platform.h"
#include "settings/dot_map.h"
#include "settings/memory_dots.h"
#include "settings/settings_file.h"

namespace tw {

namespace {

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool Contains(const std::string& name, const char* lower_part) {
    return Lower(name).find(lower_part) != std::string::npos;
}

// Marks the batch as running for as long as it lives, and tells the services.
class RunningBatch {
public:
    RunningBatch(PresetRefreshState& state, const PresetRefreshServices& services)
        : state_(state), services_(services) {
        state_.running = true;
        if (services_.batch_running) services_.batch_running(true);
    }
    ~RunningBatch() {
        if (services_.batch_running) services_.batch_running(false);
        state_.running = false;
    }
    RunningBatch(const RunningBatch&) = delete;
    RunningBatch& operator=(const RunningBatch&) = delete;

private:
    PresetRefreshState& state_;
    const PresetRefreshServices& services_;
};

bool StopRequested(const PresetRefreshServices& services) {
    return services.stop_requested && services.stop_requested();
}

void Progress(const PresetRefreshServices& services, int done, int total, const std::string& name) {
    if (services.progress) services.progress(done, total, name);
}

// The preset files of a listing: plain files with a preset name, read-only ones set aside.
std::vector<std::string> PresetFiles(const std::vector<platform::FolderEntry>& entries,
                                     PresetRefreshReport& report) {
    std::vector<std::string> names;
    for (const platform::FolderEntry& entry : entries) {
        if (!entry.is_file || !IsPresetName(entry.name)) continue;
        if (entry.read_only) report.read_only.push_back(entry.name);
        else names.push_back(entry.name);
    }
    return names;
}

// A "q9q" file that now has its picture takes its ".q5q" name, unless that name is taken:
// the file there is another preset and must not be lost.
void RenameRefreshed(const std::string& folder, const std::string& name, PresetRefreshReport& report) {
    const std::string to = RefreshedPresetName(name);
    if (to == name) return;
    const std::string target = platform::JoinPath(folder, to);
    if (!platform::FileExists(target) && platform::RenameFile(platform::JoinPath(folder, name), target))
        report.renamed.push_back({name, to});
    else
        report.not_renamed.push_back(name);
}

enum class FileStep { kNext, kStop };

// One preset file, from reading its settings to its new name.
FileStep RefreshOne(const std::string& folder, const std::string& name, RenderParams& params, Picture& holder,
                    const PresetRefreshServices& services, PresetRefreshReport& report) {
    const std::string path = platform::JoinPath(folder, name);
    ResetPictureToRamp(holder);
    SetPlainSettings(params);
    // A file that cannot be read is left alone: rewriting it would replace its settings
    // with the plain ones.
    if (!ReadSettings(path, params, ReadMode::Full, &holder)) {
        report.unreadable.push_back(name);
        return FileStep::kNext;
    }
    SetText(params.settings_name, name.c_str());
    if (services.show_values) services.show_values(params);
    if (StopRequested(services)) return FileStep::kStop;

    PlanarView preview;
    const bool rendered = services.render_preview && services.render_preview(params, preview);
    if (StopRequested(services)) return FileStep::kStop;
    if (!rendered || !CapturePicture(preview, holder)) {
        report.not_rendered.push_back(name);
        return FileStep::kNext;
    }
    if (!WriteSettings(path, params, &holder, true)) {
        report.not_written.push_back(name);
        return FileStep::kNext;
    }
    ++report.refreshed;
    RenameRefreshed(folder, name, report);
    return FileStep::kNext;
}

}  // namespace

PaneChange SelectPresetPath(PresetPane& pane, const std::string& path, Picture& holder) {
    if (path.size() > kMaxPanePath) return PaneChange::kIgnored;
    ResetPictureToRamp(holder);
    if (!Contains(path, ".q8r")) return PaneChange::kRamp;
    RenderParams untouched{};  // a thumbnail-only read changes no value
    bool found = false;
    if (!ReadSettings(path, untouched, ReadMode::ThumbnailOnly, &holder, &found) || !found) return PaneChange::kRamp;
    pane.decoded = true;
    pane.width = holder.width;
    pane.height = holder.height;
    return PaneChange::kPicture;
}

bool IsPresetName(const std::string& name) { return Contains(name, "q9q") || Contains(name, "q5q"); }

std::string RefreshedPresetName(const std::string& name) {
    if (!Contains(name, "q9q")) return name;
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".q5q";
}

std::string SourceFolderOf(const std::string& chosen_file) {
    const size_t separator = chosen_file.find_last_of("/\\");
    return separator == std::string::npos ? std::string(".") : chosen_file.substr(0, separator + 1);
}

PresetRefreshReport RefreshPresetPictures(PresetRefreshState& state, RenderParams& params, Picture& holder,
                                          const PresetRefreshServices& services) {
    PresetRefreshReport report;
    if (state.running) {
        report.status = RefreshStatus::kRefused;
        return report;
    }
    std::string chosen;
    if (!services.choose_file || !services.choose_file(chosen) || chosen.empty()) {
        report.status = RefreshStatus::kCancelled;
        return report;
    }
    return RefreshPresetFolder(state, SourceFolderOf(chosen), params, holder, services);
}

PresetRefreshReport RefreshPresetFolder(PresetRefreshState& state, const std::string& folder, RenderParams& params,
                                        Picture& holder, const PresetRefreshServices& services) {
    PresetRefreshReport report;
    report.folder = folder;
    if (state.running) {
        report.status = RefreshStatus::kRefused;
        return report;
    }
    const RunningBatch running(state, services);
    state.source_folder = folder;

    // Keep the user's settings aside: in the scratch dot, as the dot files are, and exactly
    // in memory, since a file rounds a few values (and writing one refreshes fields of the
    // record it is given, so it gets a copy).
    const RenderParams users = params;
    RenderParams scratch = params;
    report.scratch_written = WriteSettings(MemoryDotPath(kScratchDot), scratch, &holder, true);
    if (services.clear_stop) services.clear_stop();

    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolderEntries(folder, entries)) {
        report.status = RefreshStatus::kNotListed;
        return report;
    }
    const std::vector<std::string> names = PresetFiles(entries, report);
    report.total = static_cast<int32_t>(names.size());

    bool any_read = false;
    for (size_t i = 0; i < names.size(); ++i) {
        Progress(services, static_cast<int>(i), report.total, names[i]);
        if (StopRequested(services)) {
            report.status = RefreshStatus::kStopped;
            break;
        }
        const size_t unreadable = report.unreadable.size();
        const FileStep step = RefreshOne(folder, names[i], params, holder, services, report);
        any_read = any_read || report.unreadable.size() == unreadable;
        if (step == FileStep::kStop) {
            report.status = RefreshStatus::kStopped;
            break;
        }
        Progress(services, static_cast<int>(i + 1), report.total, names[i]);
    }

    // The user's settings again, under the name of the last file read.
    char last_name[kTextLength];
    std::copy(std::begin(params.settings_name), std::end(params.settings_name), last_name);
    CopySettingsFields(users, params);
    if (any_read) std::copy(std::begin(last_name), std::end(last_name), params.settings_name);
    return report;
}

}  // namespace tw
