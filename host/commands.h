// The `tarnwell` command's subcommands. Each is one entry of kCommands: a name, the
// function that runs it and a one-line summary for `tarnwell --help`. To add a command,
// write its function (taking the arguments after its name, returning the exit status)
// and add a line to the table in commands.cpp.
#pragma once

#include <string>
#include <vector>

namespace tw::host {

using Arguments = std::vector<std::string>;

struct Command {
    const char* name;
    int (*run)(const Arguments& arguments);
    const char* summary;
};

extern const Command kCommands[];
extern const size_t kCommandCount;

// Exit statuses shared by all commands.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;    // bad input, unreadable file, plug-in error
constexpr int kExitUsage = 2;      // unknown option, missing argument, number out of range
constexpr int kExitCancelled = 130;  // Ctrl-C, as shells report an interrupted program

int RunApply(const Arguments& arguments);

// ---- Helpers for command implementations ----------------------------------------------

// Prints "tarnwell: <message>" on stderr.
void ReportError(const std::string& message);

// Parses a whole decimal integer within [low, high]; on failure sets a message naming the
// option and the allowed range.
bool ParseInteger(const std::string& text, long low, long high, const std::string& option,
                  long& value, std::string& error);

// Reads each "LABEL=VALUE" of --set with the parameters' one parser, so a command refuses a
// bad setting before it reads or renders anything; false with the first one's reason.
bool CheckSettings(const std::vector<std::string>& assignments, std::string& error);

// Splits "--name=value" into name and value; returns false when there is no '='.
bool SplitOption(const std::string& argument, std::string& name, std::string& value);

// The conventions every command shares: words that do not start with '-' (and every word
// after "--") are file names; an option takes its value as "--name=value" or as the next
// word; -h/--help prints the command's help; -q/--quiet asks for no progress output.
struct OptionTable {
    const char* command;               // for messages, e.g. "apply"
    const char* help;                  // printed for -h/--help
    std::vector<std::string> flags;    // options without a value, besides -q/--quiet
    std::vector<std::string> valued;   // options that take a value
};
struct ScannedOption {
    std::string name, value;           // value is empty for flags
};
struct ScannedArguments {
    std::vector<std::string> files;
    std::vector<ScannedOption> options;  // in the order given
    bool quiet = false;
};
// Returns -1 to go on, else the exit status to end with: kExitOk after printing the help,
// kExitUsage after reporting an unknown option or a missing value.
int ScanArguments(const Arguments& arguments, const OptionTable& table, ScannedArguments& scanned);
// True when exactly `count` file names were given; otherwise reports "<command>: needs
// <missing> (see ...)" or "<command>: too many file names; expected <expected>".
bool HasFileCount(const ScannedArguments& scanned, size_t count, const std::string& command,
                  const std::string& missing, const std::string& expected);

}  // namespace tw::host
