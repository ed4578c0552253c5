#include "naming.hpp"

#include <algorithm>

#include "output.hpp"
#include "platform.hpp"
#include "text.hpp"

namespace {

constexpr std::string_view kNoDotSuffix = ".d";

}  // namespace

std::string piece_dir_name(std::string_view bundle)
{
    std::size_t sep = bundle.find_last_of(platform::kPathSeparators);
    std::size_t name = sep == std::string_view::npos ? 0 : sep + 1;
    std::size_t dot = bundle.rfind('.');
    // A '.' in a directory part, or one that begins the name, is no extension.
    if (dot == std::string_view::npos || dot <= name)
        return std::string(bundle) + std::string(kNoDotSuffix);
    return std::string(bundle.substr(0, dot));
}

std::string piece_file_name(int index)
{
    return format_text("%03d", index);
}

int piece_number(std::string_view name)
{
    if (name.ends_with(kBackupSuffix))
        name.remove_suffix(std::string_view(kBackupSuffix).size());
    if (name.size() != kPieceNameDigits || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return (name[0] - '0') * 100 + (name[1] - '0') * 10 + (name[2] - '0');
}

std::string piece_line(const char* format, const Piece& piece)
{
    return format_text(format, piece_file_name(piece.index).c_str(), static_cast<unsigned>(piece.start),
                       static_cast<unsigned>(piece.end));
}
