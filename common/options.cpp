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

}  // namespace

std::optional<CommandLine> read_options(std::span<const std::string> args, std::span<const Option> options,
                                        WrongOption& wrong)
{
    CommandLine cl;
    std::size_t i = 1;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-')
            break;  // the first operand
        if (arg[1] == '-') {
            const std::size_t eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            const Option* o = by_long(options, name);
            const std::string shown = "--" + name;
            if (!o) {
                wrong = {shown, kUnknownOption};
                return std::nullopt;
            }
            if (!o->takes_value && eq != std::string::npos) {
                wrong = {shown, kTakesNoValue};
                return std::nullopt;
            }
            if (o->takes_value && eq == std::string::npos && i + 1 == args.size()) {
                wrong = {shown, kNeedsValue};
                return std::nullopt;
            }
            cl.options[o->long_name] = !o->takes_value ? "" : eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
            continue;
        }
        for (std::size_t j = 1; j < arg.size(); ++j) {
            const Option* o = by_short(options, arg[j]);
            const std::string shown = std::string("-") + arg[j];
            if (!o) {
                wrong = {shown, kUnknownOption};
                return std::nullopt;
            }
            if (!o->takes_value) {
                cl.options[o->long_name] = "";
                continue;
            }
            if (j + 1 < arg.size()) {
                cl.options[o->long_name] = arg.substr(j + 1);
            } else if (i + 1 < args.size()) {
                cl.options[o->long_name] = args[++i];
            } else {
                wrong = {shown, kNeedsValue};
                return std::nullopt;
            }
            break;  // the value was the rest of the argument
        }
    }
    cl.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())), args.end());
    return cl;
}
