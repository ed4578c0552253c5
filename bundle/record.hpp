// The split record: what a piece directory was cut from, written beside
// the pieces by every split and read by every join.
//
// It is text, a line a fact, so that a person can read it:
//
//   bndtools split record 2
//   bundle DATA.BND                   the file name of the bundle the pieces were cut from
//   size 51234                        its size in bytes
//   digest e3b0c442...                its digest (see bundle_file.hpp)
//   original 50000 9f86d081...        where that bundle was one a join from here wrote:
//                                     the size and digest of the bundle first split
//   state done                        "running" while the split runs
//   table 00020000...                 its 512-byte table, in hexadecimal
//   decoded 1                         FLZ0 pieces were written decoded (-x)
//   listed 40                         the pieces the table lists
//   head 00000200 BYTES               the bytes between the table and piece 0, from that offset
//   tail 0000cd00 BYTES               the bytes after the last piece, from that offset
//   piece 000 00000200 00001000 SHA raw
//   piece 001 00001000 00002000 SHA flz0 3500 SHA BYTES [nested]
//   joined 51300 DIGEST               a bundle a join built from here: the one it
//                                     replaced, where a join built that too, and its own
//
// Each piece line gives its start and end offsets, the SHA-256 of its
// bytes as the bundle stores them ("-" where a split that runs has not
// read them yet), and whether it is an FLZ0 file; for
// one that is, its decoded size and SHA-256, the bytes after its stream,
// and "nested" where its content is itself an FLZ0 file. BYTES are "-"
// for none, else chunks joined by ",": hexadecimal (two lower-case digits
// a byte), or a run of one byte as the byte and its count ("00*1196032"),
// so that a record costs what its pieces do, padding or not.
//
// A split writes the record twice: whole, with "state running", before
// it writes the first piece, and again with "state done" after the last,
// so that a split that stops (an error, a signal) leaves a record that
// says so. Lines the reader does not know are kept out of the facts but do
// not make the record unreadable. A record of version 1 (one hash of
// every byte as "sha256", the bytes after a stream in hexadecimal, and
// the pieces written so far as "written" while the split ran) is read
// too, and kept as it says where a join writes it again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bundle.hpp"
#include "bundle_file.hpp"
#include "plan.hpp"
#include "sha256.hpp"

inline constexpr char kRecordName[] = "bndtools-split.txt";
inline constexpr int kRecordVersion = 2;
// The most bytes outside the pieces (before piece 0, or after the last) a
// record holds; a bundle with more gets no record, and is joined as before.
inline constexpr std::uint64_t kMaxRecordedGap = 16u << 20;

// One piece as the split found it.
struct PieceRecord {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    Digest stored{};                 // of the bytes the bundle holds
    bool hashed = true;              // whether `stored` is known: a running split may not know it yet
    bool flz0 = false;               // an FLZ0 file that decodes
    std::uint32_t decoded_size = 0;  // of its decoded content
    Digest decoded{};
    Bytes after;                     // the bytes after its stream
    bool nested = false;             // its content is itself an FLZ0 file
    std::uint32_t size() const { return end - start; }
};

struct SplitRecord {
    int version = kRecordVersion;  // as read
    std::string bundle;            // its file name, no directory
    Identity cut;                  // the bundle the pieces were cut from
    std::optional<Identity> original;  // where that was one a join from here wrote: the bundle first split
    bool finished = true;          // false while the split runs
    TableBytes table{};
    bool decoded = false;
    std::size_t listed = 0;        // the pieces the table lists
    std::size_t written = 0;       // version 1, while the split ran: the pieces written
    std::uint64_t head_start = kTableSize;  // the bytes [head_start, first piece) are `head`
    Bytes head;
    std::uint64_t tail_start = 0;  // the bytes [tail_start, size) are `tail`
    Bytes tail;
    std::vector<PieceRecord> pieces;  // every piece the table lists
    // The bundles joins built from here that the name may hold: the last
    // one's, and the one it replaced where a join built that too, since
    // the record is written before the new bundle takes the name.
    std::vector<Identity> joined;

    // first -- the bundle first split: the one a join keeps as BUNDLE.BAK
    const Identity& first() const { return original ? *original : cut; }
};

// What a bundle is, as the record sees it: one a join takes a piece from,
// or the one the name a join writes holds.
enum class SourceIs {
    unknown,   // none the record knows of (a bundle of the record's name, found by it), or no file
    original,  // the bundle first split (or its backup, which the first join kept)
    cut,       // the bundle the pieces were cut from, which a join wrote
    joined,    // a bundle a join from the pieces wrote
};

// loop_member -- what a bundle of this identity is
SourceIs loop_member(const SplitRecord& r, const Identity& id);

// identify_bundle -- what an open bundle is, as the record sees it, read
// once: a size no bundle of the loop had needs no hash to tell; else the
// SHA-256 of every byte is taken where the record knows a bundle by that
// (version 1), then the digest, its parts given in `parts` and each part
// read whole told to `seen` (as digest_bundle tells)
Outcome identify_bundle(const BundleFile& b, const SplitRecord& r, SourceIs& is, Identity& id,
                        std::vector<PartDigest>& parts, const PartSeen& seen = {});

// record_text -- the record as its file holds it (version 2)
std::string record_text(const SplitRecord& r);

// read_record -- a record from its file's text (version 1 or 2); none when
// the text is no such record, or a line of it does not read
std::optional<SplitRecord> read_record(std::string_view text);

// piece_unchanged -- whether a piece file's bytes are what the split
// wrote for piece k: its decoded content where it was written decoded,
// else its stored bytes, by size and hash
bool piece_unchanged(const SplitRecord& r, std::size_t k, std::uint64_t size, const Digest& hash);

// written_decoded -- whether the split wrote piece k decoded
bool written_decoded(const SplitRecord& r, std::size_t k);

// of_this_loop -- whether a bundle (by its file name, digest and table) is
// the one the record's pieces were cut from, the one first split, or one a
// join from here wrote: splitting it again loses nothing the loop made
bool of_this_loop(const SplitRecord& r, const std::string& name, const Identity& bundle, const TableBytes& table);

// load_record -- the split record in dir, if it holds one; one that does
// not read is cannot_open (record_unreadable), never taken as none
Outcome load_record(platform::FileSystem& fs, const std::string& dir, std::optional<SplitRecord>& record);

// required_record -- the split record in dir, where a tool cannot go on
// without one: a directory without it is cannot_open, for `why`
Outcome required_record(platform::FileSystem& fs, const std::string& dir, Why why, SplitRecord& record);

// record_output -- the record as an output of a plan, replacing the one
// in dir
PlannedOutput record_output(const std::string& dir, const SplitRecord& r, Durability durability);
