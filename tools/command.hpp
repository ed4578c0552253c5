// The run every program shares: options read, --help and --version
// answered, the operands checked, the tool's step run on each, every
// failure reported, and the highest exit status given back. Each program
// brings only its Tool.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"
#include "options.hpp"
#include "platform.hpp"
#include "wildcards.hpp"

// The command line as the program was started with it, its name first,
// in UTF-8 on Windows.
using Args = std::vector<std::string>;

// tool_main -- the run of a program, over the system's files; the build
// defines it for each program, and the entry of the system (main, or
// wmain on Windows) calls it
int tool_main(const Args& args);

// Which operands the step runs on: each in turn, or the first alone (the
// others tell it how).
enum class Operands { each, first };

// What a program is.
struct Tool {
    const char* name = "";               // as --version and the detail lines give it
    const char* usage = "";              // the usage line; a "%s" in it is the invocation name
    std::string_view about{};            // what --help says of the program, after the usage line
    std::span<const Option> options{};   // besides --help and --version
    OptionPlace place = OptionPlace::anywhere;  // and so the line --help gives before the options
    // fits -- whether the operands make a run; if not, the usage line
    bool (*fits)(const CommandLine& cl) = nullptr;
    // run_on -- the operands the step runs on; on Windows, an operand with
    // wildcards stands for each file it matches, or for the first
    Operands run_on = Operands::first;
    int data_option = -1;                // the option that sends the data to standard output, or -1
    // step -- the work on one operand, its files reached through fs;
    // failures it reports itself as it goes count towards the exit status too
    Outcome (*step)(platform::FileSystem& fs, const std::string& operand, const CommandLine& cl) = nullptr;
};

// some_operands -- a command line with at least one operand, for a tool
// that takes each in turn
bool some_operands(const CommandLine& cl);

// run_tool -- the whole run of a program, its files reached through fs;
// its exit status. On Windows, where no shell expands wildcards, the
// operands are expanded first.
int run_tool(const Args& args, const Tool& tool, platform::FileSystem& fs);

// guarded -- what a step on a file came to, where an allocation failure
// anywhere in it ends that file as no_memory
Outcome guarded(const std::string& file, const std::function<Outcome()>& step);
