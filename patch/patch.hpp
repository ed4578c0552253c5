// A patch: what turns one bundle (OLD) into another (NEW) a piece at a
// time, and back again, with what each side held where it changes.
//
//   "BNDPATCH"                   8 bytes
//   version                      1
//   compressor                   the FLZ0 compressor's version the patch expects
//   OLD  size  SHA-256  pieces   the whole bundle, and the pieces its table lists
//   NEW  size  SHA-256  pieces
//   count  entry*                the frame first, if any, then pieces by number
//   SHA-256                      of every byte before it
//
//   entry  := what  side side  change change
//   what   := 0 piece            a piece, by number
//           | 1                  the frame: the table, the bytes between it and
//                                piece 0 and those after the last piece, end to end
//   side   := 0                  OLD's, then NEW's: none
//           | 1 size SHA-256     the bytes the bundle stores
//   change := 0 delta            forward (OLD to NEW), then reverse: the bytes
//                                from the other side's stored bytes
//           | 1 delta delta      an FLZ0 file, compressed again from its content
//                                made from the other side's content, then the
//                                bytes after its stream from the other side's
//           | 2                  reverse only: not held, the patch made one way
//   delta  := length byte*       see delta.hpp
//
// Both bundles list at least one piece, a patch has at least one entry,
// and every piece one bundle lists and the other does not has one.
// Numbers are unsigned LEB128, as in a delta. A piece the other side has
// no such piece for is made from no bytes; the content of a piece that is
// no FLZ0 file is its stored bytes, and it has no bytes after a stream.
//
// A patch without a frame keeps the bytes outside the pieces where they
// are, and piece 0 where it starts (see frame_without_patch).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "failure.hpp"
#include "files.hpp"
#include "sha256.hpp"
#include "stored.hpp"


inline constexpr std::array<std::uint8_t, 8> kPatchMagic = {'B', 'N', 'D', 'P', 'A', 'T', 'C', 'H'};
inline constexpr std::uint64_t kPatchVersion = 1;
// The largest patch read: far more than 127 pieces and their gaps need.
inline constexpr std::uint64_t kMaxPatchSize = 1u << 30;
// The entry of the frame, where a piece's number would be.
inline constexpr std::uint32_t kFrame = UINT32_MAX;

// How a side is made: from the other's stored bytes, from its content
// compressed again, or not at all (the way back of a patch made one way).
enum class Remake : std::uint8_t { raw = 0, flz0 = 1, none = 2 };

// How one side's bytes are made from the other's.
struct Change {
    Remake how = Remake::raw;
    Bytes delta;  // of the stored bytes (raw), or of the content (flz0)
    Bytes after;  // flz0: of the bytes after the stream
};

struct Entry {
    std::uint32_t piece = 0;  // or kFrame
    Side old_side;
    Side new_side;
    Change forward;
    Change reverse;
};

struct BundleId {
    std::uint64_t size = 0;
    Digest hash{};
    std::uint32_t pieces = 0;
};

struct Patch {
    std::uint64_t compressor = kCompressorVersion;
    BundleId old_bundle;
    BundleId new_bundle;
    std::vector<Entry> entries;  // the frame first, if any, then pieces by number
};

// patch_bytes -- the patch as its file holds it
Bytes patch_bytes(const Patch& patch);

enum class PatchStatus {
    ok,
    not_a_patch,    // it does not start with the magic
    other_version,  // of a version this reader does not know
    damaged,        // its checksum does not match
    malformed,      // it reads wrong, or states what no bundle holds
};

// read_patch -- a patch from its file's bytes; `version` is the version it
// states (other_version)
PatchStatus read_patch(std::span<const std::uint8_t> bytes, Patch& patch, std::uint64_t& version);

// one_way -- whether a patch holds no way back for some entry
bool one_way(const Patch& patch);

// make_change -- how to make target from source: from its content, where
// target is an FLZ0 file its stored form gives back (made_by_pack), else
// from the stored bytes, whichever patch is smaller
Change make_change(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target);

enum class RemakeStatus { ok, bad_delta, cannot_pack };

// remake -- the bytes a change makes from source, at most `limit` of them
RemakeStatus remake(std::span<const std::uint8_t> source, const Change& change, std::size_t limit, Bytes& out);

// The bytes of a bundle outside its pieces: its table, then the bytes
// between it and piece 0, then those after the last piece.
struct Frame {
    TableBytes table{};
    Bytes head;
    Bytes tail;
};
Bytes frame_bytes(const Frame& frame);
// frame_of -- a frame's bytes read back; none where the table's piece 0
// does not start after it, within them
std::optional<Frame> frame_of(std::span<const std::uint8_t> bytes);

// frame_without_patch -- the frame a patch without one leaves, for pieces
// of these sizes over a bundle with frame `old`: the join's layout rule
// (layout.hpp), keeping the old layout whatever the number of pieces;
// with the pieces' places
Frame frame_without_patch(std::span<const std::uint32_t> sizes, const Frame& old, std::vector<Piece>& pieces);

// side_of -- bytes as one side of an entry: their size and hash
Side side_of(std::span<const std::uint8_t> bytes);
