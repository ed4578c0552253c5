#include "naming.hpp"

#include <algorithm>

#include "output.hpp"
#include "platform.hpp"
#include "text.hpp"

namespace {

constexpr std::string_view kNoDotSuffix = ".d";

// directory_part -- a path up to and with its last separator; "" for a bare name
std::string_view directory_part(std::string_view path)
{
    const std::size_t sep = path.find_last_of(platform::kPathSeparators);
    return sep == std::string_view::npos ? std::string_view{} : path.substr(0, sep + 1);
}

}  // namespace

std::string piece_dir_name(std::string_view bundle)
{
    const std::size_t name = directory_part(bundle).size();
    const std::size_t dot = bundle.rfind('.');
    // A '.' in a directory part, or one that begins the name, is no extension.
    if (dot == std::string_view::npos || dot <= name)
        return std::string(bundle) + std::string(kNoDotSuffix);
    return std::string(bundle.substr(0, dot));
}

std::string piece_file_name(int index)
{
    return format_text("%03d", index);
}

std::string piece_path(const std::string& dir, int index, std::string_view suffix)
{
    return in_dir(dir, piece_file_name(index) + std::string(suffix));
}

int piece_number(std::string_view name)
{
    if (name.ends_with(kBackupSuffix))
        name.remove_suffix(std::string_view(kBackupSuffix).size());
    if (name.size() != kPieceNameDigits || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return (name[0] - '0') * 100 + (name[1] - '0') * 10 + (name[2] - '0');
}

std::string file_name_of(std::string_view path)
{
    return std::string(path.substr(directory_part(path).size()));
}

std::string beside(std::string_view path, std::string_view name)
{
    return std::string(directory_part(path)) + std::string(name);
}

std::string beside_dir(std::string_view dir, std::string_view name)
{
    // The separators that end it go, but not a drive's colon (C:), nor a root alone.
    const std::string_view separators(platform::kPathSeparators);
    while (dir.size() > 1 && dir.back() != ':' && separators.find(dir.back()) != std::string_view::npos)
        dir.remove_suffix(1);
    return beside(dir, name);
}
