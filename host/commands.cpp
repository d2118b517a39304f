// The command table and the small helpers every command uses.
#include "host/commands.h"
#include "host/blend_command.h"
#include "host/export_command.h"
#include "host/memory_commands.h"
#include "host/settings_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "params/parameter_text.h"

namespace tw::host {

const Command kCommands[] = {
    {"apply", RunApply, "render the water over a picture file and write the result"},
    {"settings", RunSettings, "show or write a settings file (*.q8r)"},
    {"blend", RunBlend, "lay one picture over another with a glue (blend) mode"},
    {"export-psd", RunExportPsd, "render over a picture at any size and save a layered PSD file"},
    {"gallery", RunGallery, "write an HTML page of the presets in a folder or of the memory dots"},
    {"presets", RunPresets, "re-render the pictures of a folder of presets over a picture"},
    {"dots", RunDots, "list, show or clear the dialog's memory dots"},
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

void ReportError(const std::string& message) {
    std::fprintf(stderr, "tarnwell: %s\n", message.c_str());
}

bool ParseInteger(const std::string& text, long low, long high, const std::string& option,
                  long& value, std::string& error) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(begin, &end, 10);
    bool whole = !text.empty() && end && *end == '\0' && errno == 0;
    if (!whole || parsed < low || parsed > high) {
        error = option + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + " (got '" + text + "')";
        return false;
    }
    value = parsed;
    return true;
}

bool CheckSettings(const std::vector<std::string>& assignments, std::string& error) {
    RenderParams scratch{};
    ParameterTarget target;
    for (const std::string& assignment : assignments)
        if (!SetParameterText(scratch, assignment, target, error)) return false;
    return true;
}

bool SplitOption(const std::string& argument, std::string& name, std::string& value) {
    size_t equals = argument.find('=');
    if (equals == std::string::npos) return false;
    name = argument.substr(0, equals);
    value = argument.substr(equals + 1);
    return true;
}

int ScanArguments(const Arguments& arguments, const OptionTable& table, ScannedArguments& scanned) {
    auto listed = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const std::string command = table.command;
    bool options_ended = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            scanned.files.push_back(argument);
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "-h" || argument == "--help") {
            std::fputs(table.help, stdout);
            return kExitOk;
        } else if (argument == "-q" || argument == "--quiet") {
            scanned.quiet = true;
        } else if (listed(table.flags, argument)) {
            scanned.options.push_back({argument, {}});
        } else {
            std::string name = argument, value;
            const bool has_value = SplitOption(argument, name, value);
            if (!listed(table.valued, name)) {
                ReportError(command + ": unknown option '" + argument + "' (see 'tarnwell " + command + " --help')");
                return kExitUsage;
            }
            if (!has_value) {
                if (i + 1 >= arguments.size()) {
                    ReportError(command + ": " + name + " needs a value");
                    return kExitUsage;
                }
                value = arguments[++i];
            }
            scanned.options.push_back({name, value});
        }
    }
    return -1;
}

bool HasFileCount(const ScannedArguments& scanned, size_t count, const std::string& command,
                  const std::string& missing, const std::string& expected) {
    if (scanned.files.size() == count) return true;
    ReportError(scanned.files.size() < count
                    ? command + ": needs " + missing + " (see 'tarnwell " + command + " --help')"
                    : command + ": too many file names; expected " + expected);
    return false;
}

}  // namespace tw::host
