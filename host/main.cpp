// The `tarnwell` command: finds the subcommand in the command table and runs it.
#include <cstdio>
#include <cstring>

#include "host/commands.h"

namespace {

void PrintHelp() {
    std::printf(
        "Usage: tarnwell COMMAND [arguments]\n"
        "\n"
        "Tarnwell 2 draws lying water over pictures. This program is a host for the\n"
        "Tarnwell filter plug-in: it loads the plug-in and drives it as an image editor does.\n"
        "\n"
        "Commands:\n");
    for (size_t i = 0; i < tw::host::kCommandCount; ++i) {
        std::printf("  %-10s %s\n", tw::host::kCommands[i].name, tw::host::kCommands[i].summary);
    }
    std::printf(
        "\n"
        "'tarnwell COMMAND --help' describes a command and its options.\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tw::host;
    if (argc < 2) {
        PrintHelp();
        return kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "-h") == 0 || std::strcmp(name, "--help") == 0 ||
        std::strcmp(name, "help") == 0) {
        if (argc >= 3 && std::strcmp(name, "help") == 0) {
            for (size_t i = 0; i < kCommandCount; ++i) {
                if (std::strcmp(kCommands[i].name, argv[2]) == 0) return kCommands[i].run({"--help"});
            }
            ReportError("unknown command '" + std::string(argv[2]) + "'");
            return kExitUsage;
        }
        PrintHelp();
        return kExitOk;
    }
    for (size_t i = 0; i < kCommandCount; ++i) {
        if (std::strcmp(kCommands[i].name, name) == 0) {
            return kCommands[i].run(Arguments(argv + 2, argv + argc));
        }
    }
    ReportError("unknown command '" + std::string(name) + "' (see 'tarnwell --help')");
    return kExitUsage;
}
