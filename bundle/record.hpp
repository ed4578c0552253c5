// The split record: what a piece directory was cut from, written beside
// the pieces by every split and read by every join.
//
// It is text, a line a fact, so that a person can read it:
//
//   bndtools split record 1
//   bundle DATA.BND                        the bundle's file name
//   size 51234                             its size in bytes
//   sha256 e3b0c442...                     its SHA-256, over every byte; "-" while the split runs
//   table 00020000...                      its 512-byte table, in hexadecimal
//   decoded 1                              FLZ0 pieces were written decoded (-x)
//   listed 40                              the pieces the table lists
//   written 40                             how many of them, from 000 on, the split wrote
//   head 00000200 hex                      the bytes between the table and piece 0, from that offset
//   tail 0000cd00 hex                      the bytes after the last piece, from that offset
//   piece 000 00000200 00001000 SHA raw
//   piece 001 00001000 00002000 SHA flz0 3500 SHA hex
//   joined 51300 SHA                       a bundle a join built from here: the one it
//                                          replaced, where a join built that too, and its own
//
// Each piece line gives its start and end offsets, the SHA-256 of its
// bytes as the bundle stores them, and whether it is an FLZ0 file; for
// one that is, its decoded size and SHA-256 and the bytes after its
// stream ("-" for none). A split writes the record again after each
// piece, with "sha256 -", no head or tail and only the pieces written so
// far, so that a split that stops (an error, a signal) leaves one that
// says so; the whole record takes its place at the end. Hexadecimal bytes are lower case, two digits
// each; "-" stands for none. Lines the reader does not know are kept
// out of the facts but do not make the record unreadable; a record of
// another version is not read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bundle.hpp"
#include "sha256.hpp"

inline constexpr char kRecordName[] = "bndtools-split.txt";
inline constexpr int kRecordVersion = 1;
// The most bytes outside the pieces (before piece 0, or after the last) a
// record holds; a bundle with more gets no record, and is joined as before.
inline constexpr std::uint64_t kMaxRecordedGap = 16u << 20;

// One piece as the split found it.
struct PieceRecord {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    Digest stored{};                 // of the bytes the bundle holds
    bool flz0 = false;               // an FLZ0 file that decodes
    std::uint32_t decoded_size = 0;  // of its decoded content
    Digest decoded{};
    std::vector<std::uint8_t> after;  // the bytes after its stream
};

struct SplitRecord {
    std::string bundle;  // its file name, no directory
    std::uint64_t size = 0;
    Digest sha256{};
    TableBytes table{};
    bool decoded = false;
    bool finished = true;   // false while the split runs: no hash, no head or tail, only the pieces written
    std::size_t listed = 0;  // the pieces the table lists
    std::size_t written = 0;
    std::uint64_t head_start = kTableSize;  // the bytes [head_start, first piece) are `head`
    std::vector<std::uint8_t> head;
    std::uint64_t tail_start = 0;  // the bytes [tail_start, size) are `tail`
    std::vector<std::uint8_t> tail;
    std::vector<PieceRecord> pieces;  // every piece the table lists; those written, unfinished
    // Size and hash of the bundles joins built from here that the name may
    // hold: the last one's, and the one it replaced where a join built that
    // too, since the record is written before the new bundle takes the name.
    std::vector<std::pair<std::uint64_t, Digest>> joined;
};

// record_text -- the record as its file holds it
std::string record_text(const SplitRecord& r);

// read_record -- a record from its file's text; none when the text is no
// record of this version, or a line of it does not read
std::optional<SplitRecord> read_record(std::string_view text);

// piece_unchanged -- whether a piece file's bytes are what the split
// wrote for piece k: its decoded content where it was written decoded,
// else its stored bytes, by size and hash
bool piece_unchanged(const SplitRecord& r, std::size_t k, std::uint64_t size, const Digest& hash);

// file_name_of -- the last part of a path
std::string file_name_of(std::string_view path);
