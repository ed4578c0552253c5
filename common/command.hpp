// The command line the programs share: options, --help and --version, and
// the FILE... lists of the tools that work on each file in turn.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"
#include "options.hpp"
#include "wildcards.hpp"

// The command line as the program was started with it, its name first,
// in UTF-8 on Windows.
using Args = std::vector<std::string>;

// tool_main -- the run of a program; each program defines it, and the
// entry of the system (main, or wmain on Windows) calls it
int tool_main(const Args& args);

// What a program takes and what --help and --version tell of it.
struct ToolInfo {
    const char* name;                // as --version and the detail lines give it
    std::string usage;               // the usage line
    std::string_view help;           // what --help prints after it
    std::span<const Option> options;  // besides --help and --version
    Expand wildcards = Expand::each;  // what an operand with wildcards stands for, on Windows
};

// read_command_line -- the options and operands; when the options are
// --help or --version, their answer on standard output, or when one is
// wrong, the usage line and a detail line saying which: then the exit
// status to end with. On Windows, where no shell expands wildcards, the
// operands come expanded.
std::optional<int> read_command_line(const Args& args, const ToolInfo& tool, CommandLine& cl);

// guarded -- what a step on a file came to, where an allocation failure
// anywhere in it ends that file as no_memory
Outcome guarded(const std::string& file, const std::function<Outcome()>& step);

// run_files -- `one` on each operand in order, whatever the earlier ones
// gave, each failure reported; with more than one, each file's lines
// follow a line naming it, unless the data goes to standard output
// (--stdout). The highest exit status of any.
int run_files(const CommandLine& cl, Outcome (*one)(const std::string& path, const CommandLine& cl));
