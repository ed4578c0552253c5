#include "zip.hpp"

#include <algorithm>
#include <array>

#include "le.hpp"

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;    // "PK\3\4"
constexpr std::uint32_t kCentralSignature = 0x02014b50;  // "PK\1\2"
constexpr std::uint32_t kEndSignature = 0x06054b50;      // "PK\5\6"

// Version 1.0 extracts a stored file; "made by" says 3.0 on Unix (3 in the
// high byte), whose mode bits the external attributes then carry.
constexpr std::uint16_t kVersionNeeded = 10;
constexpr std::uint16_t kVersionMadeBy = (3u << 8) | 30u;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kUtf8Names = 1u << 11;  // general purpose flag: the name is UTF-8
constexpr std::uint16_t kDosTime = 0;           // 00:00:00
constexpr std::uint16_t kDosDate = (0u << 9) | (1u << 5) | 1u;  // 1980-01-01: years since 1980, month, day
constexpr std::uint32_t kFileMode = 0100644;
constexpr std::uint32_t kProgramMode = 0100755;
constexpr std::size_t kMaxName = 0xFFFF;

constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;

constexpr std::array<std::uint32_t, 256> crc_table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = crc_table();

void put16(Bytes& out, std::uint32_t v)
{
    std::uint8_t b[2];
    put_le16(b, v);
    out.insert(out.end(), b, b + 2);
}

void put32(Bytes& out, std::uint32_t v)
{
    std::uint8_t b[4];
    put_le32(b, v);
    out.insert(out.end(), b, b + 4);
}

void put_text(Bytes& out, std::string_view s)
{
    out.insert(out.end(), s.begin(), s.end());
}

// flags_of -- the flag that says a name is UTF-8, where it holds more than ASCII
std::uint16_t flags_of(std::string_view name)
{
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? 0 : kUtf8Names;
}

// The fields a local header and a central header share, from "version
// needed" to the name's length.
void put_common(Bytes& out, const ZipEntry& e, std::uint32_t crc)
{
    put16(out, kVersionNeeded);
    put16(out, flags_of(e.name));
    put16(out, kStored);
    put16(out, kDosTime);
    put16(out, kDosDate);
    put32(out, crc);
    put32(out, static_cast<std::uint32_t>(e.data.size()));  // compressed size: stored, the same
    put32(out, static_cast<std::uint32_t>(e.data.size()));
    put16(out, static_cast<std::uint32_t>(e.name.size()));
    put16(out, 0);  // no extra field
}

Bytes local_header(const ZipEntry& e, std::uint32_t crc)
{
    Bytes out;
    put32(out, kLocalSignature);
    put_common(out, e, crc);
    put_text(out, e.name);
    return out;
}

void put_central(Bytes& out, const ZipEntry& e, std::uint32_t crc, std::uint32_t offset)
{
    put32(out, kCentralSignature);
    put16(out, kVersionMadeBy);
    put_common(out, e, crc);
    put16(out, 0);  // no comment
    put16(out, 0);  // disk 0
    put16(out, 0);  // internal attributes: none claimed
    put32(out, (e.mode == ZipMode::program ? kProgramMode : kFileMode) << 16);
    put32(out, offset);
    put_text(out, e.name);
}

void put_end(Bytes& out, std::size_t count, std::uint64_t directory_size, std::uint64_t directory_offset,
             std::string_view comment)
{
    put32(out, kEndSignature);
    put16(out, 0);  // this disk
    put16(out, 0);  // the disk the directory starts on
    put16(out, static_cast<std::uint32_t>(count));
    put16(out, static_cast<std::uint32_t>(count));
    put32(out, static_cast<std::uint32_t>(directory_size));
    put32(out, static_cast<std::uint32_t>(directory_offset));
    put16(out, static_cast<std::uint32_t>(comment.size()));
    put_text(out, comment);
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes)
        c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::optional<ZipFrame> zip_frame(std::span<const ZipEntry> entries, std::string_view comment)
{
    if (entries.size() > kZipMaxEntries || comment.size() > kZipMaxComment)
        return std::nullopt;
    ZipFrame frame;
    std::uint64_t offset = 0;
    for (const ZipEntry& e : entries) {
        if (e.name.size() > kMaxName)
            return std::nullopt;
        const std::uint32_t crc = crc32(e.data);
        frame.headers.push_back(local_header(e, crc));
        put_central(frame.directory, e, crc, static_cast<std::uint32_t>(offset));
        offset += frame.headers.back().size() + e.data.size();
    }
    const std::uint64_t directory_size = frame.directory.size();
    put_end(frame.directory, entries.size(), directory_size, offset, comment);
    // Every size and offset recorded must fit its 32 bits: the last end is the largest.
    if (offset + frame.directory.size() > kZipMaxBytes)
        return std::nullopt;
    return frame;
}

Bytes zip_archive(const ZipFrame& frame, std::span<const ZipEntry> entries)
{
    Bytes out;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        out.insert(out.end(), frame.headers[k].begin(), frame.headers[k].end());
        out.insert(out.end(), entries[k].data.begin(), entries[k].data.end());
    }
    out.insert(out.end(), frame.directory.begin(), frame.directory.end());
    return out;
}

bool zip_has_comment(std::span<const std::uint8_t> tail, std::string_view comment)
{
    if (tail.size() != kZipEndRecord + comment.size())
        return false;
    const std::size_t length_at = kZipEndRecord - 2;
    return get_le32(tail.data()) == kEndSignature && get_le16(tail.data() + length_at) == comment.size() &&
           std::equal(comment.begin(), comment.end(), tail.begin() + static_cast<std::ptrdiff_t>(kZipEndRecord));
}
