// One applied run with an optional recorded action, and finding the module.
#include "host/filter_run.h"

#include <cstdio>

#include "host/module.h"
#include "platform/platform.h"

namespace tw::host {

FilterRunResult RunFilter(PluginEntryProc entry, Document& document, const Descriptor* replay,
                          const HostEvents& events, const FilterRunOptions& options) {
    FilterRunResult result;
    HostSession session;
    session.SetPadding(options.padding);
    ScriptedRun scripted;
    scripted.replay = replay;
    scripted.play_info = options.show_dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
    RunOptions run;
    run.interactive = options.show_dialog;
    run.parent_window = options.parent_window;
    run.prepare_record = PrepareScriptedRun;
    run.prepare_context = &scripted;
    result.outcome = session.Apply(entry, document, events, run);
    result.stats = session.stats();
    result.offered = scripted.offered;
    result.have_recorded = HeldDescriptor(scripted.host, result.recorded);
    ReleaseScriptingHost(scripted.host);
    return result;
}

bool FilterRunSucceeded(const FilterRunResult& result, std::string& message) {
    message.clear();
    const RunOutcome& outcome = result.outcome;
    if (outcome.result == userCanceledErr) return false;
    if (!result.offered) {
        message = "out of memory handing the settings to the plug-in";
        return false;
    }
    if (outcome.result != noErr) {
        std::string what = DescribeResult(outcome.result);
        if (!outcome.message.empty()) what += ": " + outcome.message;
        message = "the plug-in failed: " + what + " (code " + std::to_string(outcome.result) + ")";
        return false;
    }
    return true;
}

std::string FindPluginModule(const std::string& folder, const std::string& installed_relative) {
    const std::string beside = folder.empty() ? DefaultPluginFileName()
                                              : platform::JoinPath(folder, DefaultPluginFileName());
    if (installed_relative.empty() || folder.empty()) return beside;
    if (std::FILE* probe = std::fopen(beside.c_str(), "rb")) {
        std::fclose(probe);
        return beside;
    }
    const std::string installed =
        platform::JoinPath(platform::JoinPath(folder, installed_relative), DefaultPluginFileName());
    if (std::FILE* probe = std::fopen(installed.c_str(), "rb")) {
        std::fclose(probe);
        return installed;
    }
    return beside;  // neither exists: the error then names the plain place
}

}  // namespace tw::host
