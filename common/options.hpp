// The options every tool reads the same way, in the manner of POSIX
// getopt and the long options of gzip and tar: options come first and are
// read only there, so the first argument that is not one (or "-" alone)
// starts the operands and everything after it is an operand, also what
// starts with '-'; "--" ends the options; short options may be grouped
// (-lx), and one that takes a value takes the rest of its argument or the
// next (-dDIR, -d DIR); a long one takes it after '=' or as the next
// argument (--directory=DIR, --directory DIR).
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One option a tool takes.
struct Option {
    char short_name;        // '\0' where there is none
    const char* long_name;  // without the leading "--"
    bool takes_value;
};

// What a command line says: each option given, by its long name, with its
// value ("" for one without), the last one winning; then the operands.
struct CommandLine {
    std::map<std::string, std::string> options;
    std::vector<std::string> operands;
    bool has(const std::string& name) const { return options.count(name) != 0; }
    const std::string& value(const std::string& name) const { return options.at(name); }
};

// A wrong option: as it was given ("-q", "--directory"), and why.
struct WrongOption {
    std::string option;
    const char* reason;  // "unknown option", "needs a value" or "takes no value"
};

// read_options -- the options and operands of args (the program's name
// first, left out); on a wrong option, none, and `wrong` says which
std::optional<CommandLine> read_options(std::span<const std::string> args, std::span<const Option> options,
                                        WrongOption& wrong);
