// A bundle on disk: opened, and its table read, one way for every tool;
// and its digest, the identity the split record and the rebuild know a
// bundle by.
//
// A bundle's digest is the SHA-256 of, for each of its parts in order,
// the part's size as 8 bytes little-endian followed by the part's
// SHA-256. The parts are the bytes before piece 0 (the table, and any
// bytes between it and the piece), each piece its table lists, and the
// bytes after the last piece; a file whose listed pieces do not all lie
// within it is a single part. Two files of one digest hold the same
// bytes, as two of one SHA-256 do; but the digest is made from the
// pieces' own SHA-256s, which a record keeps and which two cores take
// side by side, so a bundle is hashed once where its pieces are.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "failure.hpp"
#include "files.hpp"
#include "platform.hpp"
#include "sha256.hpp"

// A bundle, open for reading.
struct BundleFile {
    std::unique_ptr<InputFile> file;
    platform::FileInfo info{};
    TableBytes table{};
    std::vector<Piece> listed;  // every piece the table lists, at most 127

    const std::string& path() const { return file->path(); }
    std::uint64_t size() const { return info.size; }
};

// open_bundle -- the bundle at path, open, its table read (a file shorter
// than a table reads as if padded with zeros) and its pieces listed; a
// failure to open or read it is cannot_open
Outcome open_bundle(platform::FileSystem& fs, const std::string& path, platform::Links links, BundleFile& b);

// read_table -- a bundle's table: its first 512 bytes, or as many as it
// has, the rest read as zeros
Outcome read_table(ByteSource& bytes, TableBytes& table);

// A byte range of a file.
struct Range {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t size() const { return end - start; }
};

// digest_parts -- the parts a digest is taken over, for these listed
// pieces of a file of `size` bytes
std::vector<Range> digest_parts(std::span<const Piece> listed, std::uint64_t size);

// pieces_are_parts -- whether the listed pieces are parts 1 to n of the digest
bool pieces_are_parts(std::span<const Piece> listed, std::uint64_t size);

struct PartDigest {
    std::uint64_t size = 0;
    Digest hash{};
    bool operator==(const PartDigest&) const = default;
};

// bundle_digest -- the digest of the parts
Digest bundle_digest(std::span<const PartDigest> parts);

// A file's identity: its size and digest (or, for a record of version 1,
// the plain SHA-256 of every byte: `whole`).
struct Identity {
    std::uint64_t size = 0;
    Digest digest{};
    bool whole = false;
    bool operator==(const Identity&) const = default;
};

// What a look at each part gives: the part's number, and its bytes (a
// part larger than kWholePart is never given whole, and not given).
using PartSeen = std::function<Outcome(std::size_t part, std::span<const std::uint8_t> bytes)>;

// The largest part read whole: more than a piece, and the table with as
// much as a record keeps of the bytes outside the pieces.
inline constexpr std::uint64_t kWholePart = (16u << 20) + kTableSize;

// digest_bundle -- the bundle read once, in order, and its digest and each
// part's taken; `seen` (where given) is told of each part read whole, in
// order, while its SHA-256 may still be taken beside it
Outcome digest_bundle(const BundleFile& b, Identity& identity, std::vector<PartDigest>& parts,
                      const PartSeen& seen = {});

// whole_sha256 -- the SHA-256 of every byte of an open file (for a record
// of version 1)
Outcome whole_sha256(const InputFile& in, std::uint64_t size, Digest& digest);

// read_piece -- the bytes of a listed piece, whole; read_failed where the
// file ends first
Outcome read_piece(const BundleFile& b, const Piece& piece, Bytes& out);
