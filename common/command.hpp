// The command line the programs share: --help and --version, and the
// FILE... lists of the tools that work on each file in turn.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// What --help and --version tell of a program.
struct ToolInfo {
    const char* name;       // as --version prints it
    std::string usage;      // the usage line
    std::string_view help;  // the paragraph --help prints after it
};

// standard_option -- when the sole argument is --help or --version, print
// the answer on standard output and give the exit status; otherwise none.
// A file of such a name is reached as ./--help.
std::optional<int> standard_option(int argc, char** argv, const ToolInfo& tool);

// run_files -- the whole run of a tool that takes FILE...: --help and
// --version, the usage when no file is given, then `one` on each file in
// order, whatever the earlier ones gave; the highest exit status of any
int run_files(int argc, char** argv, const ToolInfo& tool, int (*one)(const std::string& path));
