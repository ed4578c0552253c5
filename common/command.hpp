// The command line the programs share: --help and --version, and the
// FILE... lists of the tools that work on each file in turn.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"

// The command line as the program was started with it, its name first,
// in UTF-8 on Windows.
using Args = std::vector<std::string>;

// tool_main -- the run of a program; each program defines it, and the
// entry of the system (main, or wmain on Windows) calls it
int tool_main(const Args& args);

// What --help and --version tell of a program.
struct ToolInfo {
    const char* name;       // as --version and the detail lines give it
    std::string usage;      // the usage line
    std::string_view help;  // the paragraph --help prints after it
};

// standard_option -- when the sole argument is --help or --version, print
// the answer on standard output and give the exit status; otherwise none.
// A file of such a name is reached as ./--help.
std::optional<int> standard_option(const Args& args, const ToolInfo& tool);

// guarded -- what a step on a file came to, where an allocation failure
// anywhere in it ends that file as no_memory
Outcome guarded(const std::string& file, const std::function<Outcome()>& step);

// run_files -- the whole run of a tool that takes FILE...: --help and
// --version, the usage when no file is given, then `one` on each file in
// order, whatever the earlier ones gave, each failure reported; the
// highest exit status of any
int run_files(const Args& args, const ToolInfo& tool, Outcome (*one)(const std::string& path));
