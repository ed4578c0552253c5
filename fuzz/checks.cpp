#include "checks.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

#include "bundle.hpp"
#include "flz0.hpp"
#include "flz0_encoder.hpp"
#include "flz0_reference.hpp"

namespace {

// decode_image -- the shipped decoder over a whole image
std::optional<std::vector<std::uint8_t>> decode_image(Bytes image)
{
    std::vector<std::uint8_t> out(read_flz0_header(image).original_size);
    if (flz0_decode(flz0_stream(image), out).status != DecodeStatus::ok)
        return std::nullopt;
    return out;
}

// le32_at -- entry `entry` of a table, read apart from the shipped reader
std::uint32_t le32_at(Bytes table, std::size_t entry)
{
    std::uint32_t v = 0;
    for (std::size_t b = 4; b-- > 0;)
        v = v << 8 | table[entry * 4 + b];
    return v;
}

bool pair_fails(std::uint32_t start, std::uint32_t end)
{
    return end == 0 || end <= start || end - start > kMaxPieceSize;
}

// Independent reading of the count rules: a whole number in the given
// base, after blanks and a sign, and for base 16 after an optional "0x".
std::optional<std::uint32_t> scan(const std::string& s, int base)
{
    std::size_t i = s.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return std::nullopt;
    bool negative = s[i] == '-';
    if (s[i] == '-' || s[i] == '+')
        ++i;
    if (base == 16 && (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0))
        i += 2;
    const std::string digits = base == 16 ? "0123456789abcdef" : "0123456789";
    auto digit = [&](std::size_t j) {
        return j < s.size() ? digits.find(static_cast<char>(std::tolower(static_cast<unsigned char>(s[j]))))
                            : std::string::npos;
    };
    std::uint64_t value = 0;
    std::size_t start = i;
    for (; digit(i) != std::string::npos; ++i)
        value = (value * static_cast<std::uint64_t>(base) + digit(i)) % (1ull << 32);
    if (i == start)
        return std::nullopt;
    return static_cast<std::uint32_t>(negative ? (1ull << 32) - value : value);
}

}  // namespace

std::string check_flz0_decode(Bytes data)
{
    std::optional<std::vector<std::uint8_t>> got = decode_image(data);
    if (got && got->size() != read_flz0_header(data).original_size)
        return "decoded size differs from the header";
    if (got != flz0_reference_decode(data))
        return "decoder and plain reading disagree";
    return "";
}

std::string check_round_trip(Bytes data)
{
    Bytes input = data.first(std::min(data.size(), kMaxOriginalSize));
    std::vector<std::uint8_t> expected(input.begin(), input.end());
    if (decode_image(flz0_encode(input)) != expected)
        return "encoded data does not decode to itself";
    std::string literals = flz0_literals(std::string(input.begin(), input.end()));
    if (decode_image(Bytes(reinterpret_cast<const std::uint8_t*>(literals.data()), literals.size())) != expected)
        return "literal stream does not decode to itself";
    return "";
}

std::string check_bundle_table(Bytes data)
{
    std::array<std::uint8_t, kTableSize> table{};
    std::copy_n(data.begin(), std::min(data.size(), table.size()), table.begin());
    std::int32_t limit = kDefaultMaxFiles;
    if (data.size() >= kTableSize + 4)
        limit = static_cast<std::int32_t>(le32_at(data.subspan(kTableSize), 0));

    std::vector<Piece> pieces = enumerate_pieces(table, limit);
    std::size_t most = static_cast<std::size_t>(std::clamp<std::int32_t>(limit, 0, 127));
    if (pieces.size() > most)
        return "more pieces than the limit or the table allows";
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece& p = pieces[k];
        if (p.index != static_cast<int>(k) || p.start != le32_at(table, k) || p.end != le32_at(table, k + 1))
            return "piece does not match its table entries";
        if (pair_fails(p.start, p.end) || p.start >= p.end)
            return "piece breaks the size rules or is not a subrange";
    }
    if (pieces.size() < most && !pair_fails(le32_at(table, pieces.size()), le32_at(table, pieces.size() + 1)))
        return "list ended before a failing pair or the limit";
    return "";
}

std::string check_parse_count(Bytes data)
{
    // Command-line arguments end at the first NUL.
    std::string text(data.begin(), std::find(data.begin(), data.end(), 0));
    std::optional<std::uint32_t> v;
    if (text.rfind("0x", 0) == 0)
        v = scan(text.substr(2), 16);
    if (!v)
        v = scan(text, 10);
    if (parse_count(text) != static_cast<std::int32_t>(v.value_or(0)))
        return "parse_count differs from the independent reading";
    return "";
}
