// A zip archive of stored (uncompressed) entries, as PKWARE's application
// note describes the format, made the same byte for byte on every system:
// the entries in the order given, every time stamp 1980-01-01 00:00 (the
// first a DOS date holds), every version and attribute fixed, '/' between
// folders. Each entry is a local header and its bytes; a central directory
// naming every entry, and its end record with the archive's comment,
// follow the last.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files.hpp"

// How an entry is unpacked on a system that marks programs: as a plain
// file (rw-r--r--), or as a program (rwxr-xr-x).
enum class ZipMode { file, program };

struct ZipEntry {
    std::string name{};                     // UTF-8, '/' between folders
    std::span<const std::uint8_t> data{};
    ZipMode mode = ZipMode::file;
};

// The largest archive, and the most entries, the format holds without its
// 64-bit extension, which this writer does not make.
inline constexpr std::uint64_t kZipMaxBytes = 0xFFFFFFFFu;
inline constexpr std::size_t kZipMaxEntries = 0xFFFFu;
inline constexpr std::size_t kZipMaxComment = 0xFFFFu;

// The sizes of the fixed parts of the format's records.
inline constexpr std::size_t kZipLocalHeader = 30;
inline constexpr std::size_t kZipCentralHeader = 46;
inline constexpr std::size_t kZipEndRecord = 22;

// The bytes around the entries' own: a local header before each entry's
// bytes, then the central directory and its end record.
struct ZipFrame {
    std::vector<Bytes> headers{};
    Bytes directory{};
};

// crc32 -- the CRC-32 an entry records of its bytes (polynomial 0xEDB88320,
// bits taken least significant first, register and result inverted)
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

// zip_frame -- the frame of an archive of these entries and this comment;
// none where it would pass kZipMaxBytes, kZipMaxEntries or kZipMaxComment,
// or a name would be longer than 65535 bytes
std::optional<ZipFrame> zip_frame(std::span<const ZipEntry> entries, std::string_view comment);

// zip_archive -- the whole archive: each header and its entry's bytes in
// turn, then the directory
Bytes zip_archive(const ZipFrame& frame, std::span<const ZipEntry> entries);

// zip_has_comment -- whether `tail`, the last kZipEndRecord +
// comment.size() bytes of a file, is the end record of an archive with
// exactly this comment
bool zip_has_comment(std::span<const std::uint8_t> tail, std::string_view comment);
