#include "wildcards.hpp"

#include <algorithm>

namespace {

std::size_t last_part(std::string_view path)
{
    const std::size_t sep = path.find_last_of(platform::kPathSeparators);
    return sep == std::string_view::npos ? 0 : sep + 1;
}

bool continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// one_character -- the length of the character at s[i]: a lead byte and
// the continuation bytes after it
std::size_t one_character(std::string_view s, std::size_t i)
{
    std::size_t n = 1;
    while (i + n < s.size() && continuation(s[i + n]))
        ++n;
    return n;
}

char folded(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// by_name -- the order of names: letters of either case together, then
// by their bytes
bool by_name(const std::string& a, const std::string& b)
{
    const auto less = [](char x, char y) {
        return static_cast<unsigned char>(folded(x)) < static_cast<unsigned char>(folded(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), less))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less))
        return false;
    return a < b;
}

// matches -- the files an argument with wildcards stands for, in name order
std::vector<std::string> matches(const std::string& arg, platform::FileSystem& fs)
{
    const std::size_t part = last_part(arg);
    const std::string prefix = arg.substr(0, part);
    const std::string_view pattern = std::string_view(arg).substr(part);
    platform::Result<std::vector<std::string>> names = fs.list_dir(prefix.empty() ? "." : prefix);
    std::vector<std::string> found;
    if (names.error)
        return found;  // an unreadable directory fits nothing
    for (const std::string& name : names.value) {
        if (!wildcard_match(pattern, name))
            continue;
        std::string path = prefix + name;
        if (fs.look(path, platform::Links::follow).value.kind != platform::Kind::directory)
            found.push_back(std::move(path));
    }
    std::sort(found.begin(), found.end(), by_name);
    return found;
}

}  // namespace

bool has_wildcards(std::string_view path)
{
    return path.find_first_of("*?", last_part(path)) != std::string_view::npos;
}

bool wildcard_match(std::string_view pattern, std::string_view name)
{
    // Greedy, going back only to the last `*`: a match with a later star
    // never needs an earlier one to take more.
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = ++p;
            star_n = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += one_character(name, n);
        } else if (p < pattern.size() && folded(pattern[p]) == folded(name[n])) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star;
            star_n += one_character(name, star_n);
            n = star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> expand_wildcards(const std::vector<std::string>& args, platform::FileSystem& fs,
                                          Expand expand)
{
    std::vector<std::string> out;
    for (const std::string& arg : args) {
        if (!has_wildcards(arg) || fs.look(arg, platform::Links::follow).value.kind != platform::Kind::none) {
            out.push_back(arg);
            continue;
        }
        std::vector<std::string> found = matches(arg, fs);
        if (found.empty() || (expand == Expand::one && found.size() != 1))
            out.push_back(arg);
        else
            out.insert(out.end(), found.begin(), found.end());
    }
    return out;
}
