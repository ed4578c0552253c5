#include "options.hpp"

#include <algorithm>

#include "messages.hpp"

namespace {

using msg::kNeedsValue;
using msg::kTakesNoValue;
using msg::kUnknownOption;

const Option* by_long(std::span<const Option> options, const std::string& name)
{
    auto it = std::find_if(options.begin(), options.end(), [&](const Option& o) { return name == o.long_name; });
    return it == options.end() ? nullptr : &*it;
}

const Option* by_short(std::span<const Option> options, char name)
{
    auto it = std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.short_name == name; });
    return it == options.end() ? nullptr : &*it;
}

// read_long -- one "--name" or "--name=value" argument, at args[i]; i moves
// past a value taken from the next argument
bool read_long(std::span<const std::string> args, std::size_t& i, std::span<const Option> options, CommandLine& cl,
               WrongOption& wrong)
{
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    const Option* o = by_long(options, name);
    const std::string shown = "--" + name;
    if (!o) {
        wrong = {shown, kUnknownOption};
        return false;
    }
    if (!o->value_name && eq != std::string::npos) {
        wrong = {shown, kTakesNoValue};
        return false;
    }
    if (o->value_name && eq == std::string::npos && i + 1 == args.size()) {
        wrong = {shown, kNeedsValue};
        return false;
    }
    cl.options[o->id] = !o->value_name ? "" : eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
    return true;
}

// read_short -- one group of short options, at args[i]
bool read_short(std::span<const std::string> args, std::size_t& i, std::span<const Option> options, CommandLine& cl,
                WrongOption& wrong)
{
    const std::string& arg = args[i];
    for (std::size_t j = 1; j < arg.size(); ++j) {
        const Option* o = by_short(options, arg[j]);
        const std::string shown = std::string("-") + arg[j];
        if (!o) {
            wrong = {shown, kUnknownOption};
            return false;
        }
        if (!o->value_name) {
            cl.options[o->id] = "";
            continue;
        }
        if (j + 1 < arg.size()) {
            cl.options[o->id] = arg.substr(j + 1);
        } else if (i + 1 < args.size()) {
            cl.options[o->id] = args[++i];
        } else {
            wrong = {shown, kNeedsValue};
            return false;
        }
        break;  // the value was the rest of the argument
    }
    return true;
}

// names_of -- an option's names as --help shows them: "  -d, --directory=DIR"
std::string names_of(const Option& o)
{
    std::string names = o.short_name ? std::string("  -") + o.short_name + ", " : std::string(6, ' ');
    names += std::string("--") + o.long_name;
    if (o.value_name)
        names += std::string("=") + o.value_name;
    return names;
}

}  // namespace

std::optional<CommandLine> read_options(std::span<const std::string> args, std::span<const Option> options,
                                        OptionPlace place, WrongOption& wrong)
{
    CommandLine cl;
    std::size_t i = 1;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            if (place == OptionPlace::first)
                break;  // the first operand: the rest are operands too
            cl.operands.push_back(arg);
            continue;
        }
        const bool read = arg[1] == '-' ? read_long(args, i, options, cl, wrong) : read_short(args, i, options, cl, wrong);
        if (!read)
            return std::nullopt;
    }
    cl.operands.insert(cl.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())),
                       args.end());
    return cl;
}

std::string option_help(std::span<const Option> options)
{
    std::size_t width = std::string_view(msg::kEndOptionsNames).size();
    for (const Option& o : options)
        width = std::max(width, names_of(o).size());
    width += 2;
    const auto line = [&](std::string names, std::string_view help) {
        std::string out;
        for (std::size_t start = 0; start <= help.size();) {
            const std::size_t end = std::min(help.find('\n', start), help.size());
            names.resize(width, ' ');
            out += names;
            out += help.substr(start, end - start);
            out += '\n';
            names.clear();
            start = end + 1;
        }
        return out;
    };
    std::string out;
    for (const Option& o : options)
        out += line(names_of(o), o.help);
    return out + line(msg::kEndOptionsNames, msg::kEndOptionsHelp);
}
