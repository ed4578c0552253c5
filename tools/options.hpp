// The options every tool reads the same way, in the manner of POSIX
// getopt and the long options of gzip and tar. "--" ends the options;
// short options may be grouped (-lx), and one that takes a value takes the
// rest of its argument or the next (-dDIR, -d DIR); a long one takes it
// after '=' or as the next argument (--directory=DIR, --directory DIR).
// Where options stand: anywhere before "--", as gzip reads them, or only
// before the first operand, for a tool whose operands may start with '-'.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One option a tool takes: its id is one of the tool's own enumerators.
struct Option {
    int id;
    char short_name;         // '\0' where there is none
    const char* long_name;   // without the leading "--"
    const char* value_name;  // what its value is called in --help; nullptr where it takes none
    std::string_view help;   // what --help says of it; each '\n' starts a line below
};

enum class OptionPlace { anywhere, first };

// What a command line says: each option given, by its id, with its value
// ("" for one without), the last one winning; then the operands.
struct CommandLine {
    std::map<int, std::string> options;
    std::vector<std::string> operands;
    template <typename Id>
    bool has(Id id) const
    {
        return options.count(static_cast<int>(id)) != 0;
    }
    template <typename Id>
    const std::string& value(Id id) const
    {
        return options.at(static_cast<int>(id));
    }
};

// A wrong option: as it was given ("-q", "--directory"), and why.
struct WrongOption {
    std::string option;
    const char* reason;  // "unknown option", "needs a value" or "takes no value"
};

// read_options -- the options and operands of args (the program's name
// first, left out); on a wrong option, none, and `wrong` says which
std::optional<CommandLine> read_options(std::span<const std::string> args, std::span<const Option> options,
                                        OptionPlace place, WrongOption& wrong);

// option_help -- the lines --help gives for the options, one column for
// the names and one for what they do
std::string option_help(std::span<const Option> options);
