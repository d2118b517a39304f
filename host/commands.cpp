// The command table and the small helpers every command uses.
#include "host/commands.h"
#include "host/blend_command.h"
#include "host/export_command.h"
#include "host/settings_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace tw::host {

const Command kCommands[] = {
    {"apply", RunApply, "render the water over a picture file and write the result"},
    {"settings", RunSettings, "show or write a settings file (*.q8r)"},
    {"blend", RunBlend, "lay one picture over another with a glue (blend) mode"},
    {"export-psd", RunExportPsd, "render over a picture at any size and save a layered PSD file"},
    {"gallery", RunGallery, "write an HTML page of the presets in a folder or of the memory dots"},
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

bool SplitOption(const std::string& argument, std::string& name, std::string& value) {
    size_t equals = argument.find('=');
    if (equals == std::string::npos) return false;
    name = argument.substr(0, equals);
    value = argument.substr(equals + 1);
    return true;
}

}  // namespace tw::host
