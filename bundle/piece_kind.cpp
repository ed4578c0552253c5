#include "piece_kind.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "bundle.hpp"
#include "flz0.hpp"
#include "stored.hpp"

namespace {

// A signature: these bytes at this offset.
struct Signature {
    std::size_t at;
    std::string_view bytes;
    ContentType type;
};

using namespace std::string_view_literals;

constexpr Signature kSignatures[] = {
    {0, "\x89PNG\r\n\x1a\n"sv, ContentType::png},
    {0, "\xff\xd8\xff"sv, ContentType::jpeg},
    {0, "GIF87a"sv, ContentType::gif},
    {0, "GIF89a"sv, ContentType::gif},
    {0, "DDS "sv, ContentType::dds},
    {8, "WAVE"sv, ContentType::wav},
    {0, "OggS"sv, ContentType::ogg},
    {0, "ID3"sv, ContentType::mp3},
    {0, "PK\x03\x04"sv, ContentType::zip},
    {0, "\x1f\x8b"sv, ContentType::gzip},
    {0, "7z\xbc\xaf\x27\x1c"sv, ContentType::sevenz},
    {0, "Rar!"sv, ContentType::rar},
    {0, "\x7f" "ELF"sv, ContentType::elf},
    {0, "MZ"sv, ContentType::exe},
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

ContentType content_type(std::span<const std::uint8_t> bytes)
{
    for (const Signature& s : kSignatures)
        if (starts_with(bytes, s))
            return s.type;
    if (reads_as_bundle(bytes))
        return ContentType::bundle;
    if (looks_like_text(bytes))
        return ContentType::text;
    return ContentType::none;
}

PieceKind piece_kind(std::span<const std::uint8_t> bytes)
{
    PieceKind kind;
    if (const std::optional<Flz0Content> c = flz0_content(bytes)) {
        kind.form = PieceForm::flz0;
        kind.decoded = c->decoded.size();
        kind.after = bytes.size() - c->after;
        kind.type = content_type(c->decoded);
        return kind;
    }
    if (has_flz0_magic(bytes)) {
        // As bndsplit -x and varnix find it: a stream that ends too soon.
        const Flz0Header header = read_flz0_header(bytes);
        std::vector<std::uint8_t> part(header.original_size);
        kind.form = PieceForm::corrupt_flz0;
        kind.produced = decode_flz0_file(bytes, part).produced;
        kind.original = header.original_size;
    }
    kind.type = content_type(bytes);
    return kind;
}
