#include "piece_kind.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "bundle.hpp"
#include "flz0.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

// A signature: these bytes at this offset.
struct Signature {
    std::size_t at;
    std::string_view bytes;
    const char* type;
};

using namespace std::string_view_literals;

constexpr Signature kSignatures[] = {
    {0, "\x89PNG\r\n\x1a\n"sv, msg::kTypePng},
    {0, "\xff\xd8\xff"sv, msg::kTypeJpeg},
    {0, "GIF87a"sv, msg::kTypeGif},
    {0, "GIF89a"sv, msg::kTypeGif},
    {0, "DDS "sv, msg::kTypeDds},
    {8, "WAVE"sv, msg::kTypeWav},
    {0, "OggS"sv, msg::kTypeOgg},
    {0, "ID3"sv, msg::kTypeMp3},
    {0, "PK\x03\x04"sv, msg::kTypeZip},
    {0, "\x1f\x8b"sv, msg::kTypeGzip},
    {0, "7z\xbc\xaf\x27\x1c"sv, msg::kType7z},
    {0, "Rar!"sv, msg::kTypeRar},
    {0, "\x7f" "ELF"sv, msg::kTypeElf},
    {0, "MZ"sv, msg::kTypeExe},
};

bool starts_with(std::span<const std::uint8_t> bytes, const Signature& s)
{
    return bytes.size() >= s.at + s.bytes.size() &&
           std::equal(s.bytes.begin(), s.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(s.at),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// reads_as_bundle -- whether the bytes begin with a table that lists at
// least one piece, all of them within the bytes and the last ending at
// their end, as a bundle held in a piece is laid out
bool reads_as_bundle(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kTableSize + 1)
        return false;
    TableBytes table{};
    std::copy_n(bytes.begin(), kTableSize, table.begin());
    const std::vector<Piece> pieces = enumerate_pieces(table, kMaxPieces);
    return !pieces.empty() && pieces.front().start >= 4 * (pieces.size() + 1) && pieces.back().end == bytes.size();
}

// looks_like_text -- whether the first bytes are all printable or white
// space (bytes of 0x80 and more allowed, for text in any 8-bit encoding)
bool looks_like_text(std::span<const std::uint8_t> bytes)
{
    const std::span<const std::uint8_t> head = bytes.first(std::min<std::size_t>(bytes.size(), 256));
    return !head.empty() && std::all_of(head.begin(), head.end(), [](std::uint8_t c) {
        return c >= 0x20 ? c != 0x7f : c == '\t' || c == '\n' || c == '\r';
    });
}

}  // namespace

const char* content_type(std::span<const std::uint8_t> bytes)
{
    for (const Signature& s : kSignatures)
        if (starts_with(bytes, s))
            return s.type;
    if (reads_as_bundle(bytes))
        return msg::kTypeBundle;
    if (looks_like_text(bytes))
        return msg::kTypeText;
    return "";
}

std::string piece_kind(std::span<const std::uint8_t> bytes)
{
    std::string words = msg::kKindRaw;
    std::span<const std::uint8_t> content = bytes;
    const std::optional<Flz0Content> c = flz0_content(bytes);
    if (c) {
        words = format_text(msg::kKindFlz0Format, c->decoded.size());
        if (const std::size_t after = bytes.size() - c->after; after > 0)
            words += after == 1 ? std::string(msg::kKindAfterOne) : format_text(msg::kKindAfterFormat, after);
        content = c->decoded;
    }
    if (const char* type = content_type(content); *type)
        words += std::string(", ") + type;
    return words;
}
