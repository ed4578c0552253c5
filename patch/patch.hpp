// A patch: what turns one bundle (OLD) into another (NEW) a piece at a
// time, and back again, with what each side held where it changes.
//
//   "BNDPATCH"                   8 bytes
//   version                      2 (a patch of version 1 is read too)
//   compressor                   the FLZ0 compressor's version the patch expects
//   OLD  size  SHA-256  pieces   the whole bundle, and the pieces its table lists
//   mark*                        version 2: each of OLD's pieces, by number
//   NEW  size  SHA-256  pieces
//   count  entry*                the frame first, if any, then pieces by number
//   SHA-256                      of every byte before it
//
//   mark   := size  8 bytes      a piece's size, and the first 8 bytes of its SHA-256
//   entry  := what  side side  change change
//   what   := 0 piece            a piece, by number
//           | 1                  the frame: the table, the bytes between it and
//                                piece 0 and those after the last piece, end to end
//   side   := 0                  OLD's, then NEW's: none
//           | 1 size SHA-256     the bytes the bundle stores
//   change := 0 delta            forward (OLD to NEW), then reverse: the bytes
//                                from the other side's stored bytes
//           | 1 [encoder] delta delta
//                                an FLZ0 file, its content compressed again by
//                                the encoder that made it, made from the other
//                                side's content; then the bytes after its stream
//                                from the other side's bytes after
//           | 2                  reverse only: not held; the bundle before the
//                                patch (its .BAK) gives the piece back
//   encoder:= family setting stated
//                                version 2: the encoder (encoders.hpp) and the
//                                compressed size the FLZ0 header states; in
//                                version 1 the encoder is flz0_pack and the
//                                header states the stream's length
//   delta  := length byte*       see delta.hpp
//
// Both bundles list at least one piece, a patch has at least one entry,
// and every piece one bundle lists and the other does not has one.
// Numbers are unsigned LEB128, as in a delta. A piece the other side has
// no such piece for is made from no bytes; the content of a piece that is
// no FLZ0 file is its stored bytes, and it has no bytes after a stream.
//
// The marks tell, of a bundle a patch does not apply to, which of its
// pieces differ from the patch's OLD where the patch touches nothing
// (another patch, or another version): eight bytes of a hash are enough
// to tell a piece from another, and cost a tenth of a whole one.
//
// A patch without a frame keeps the bytes outside the pieces where they
// are, and piece 0 where it starts (see frame_without_patch).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "encoders.hpp"
#include "failure.hpp"
#include "files.hpp"
#include "sha256.hpp"
#include "stored.hpp"


inline constexpr std::array<std::uint8_t, 8> kPatchMagic = {'B', 'N', 'D', 'P', 'A', 'T', 'C', 'H'};
inline constexpr std::uint64_t kPatchVersion = 2;
inline constexpr std::uint64_t kFirstPatchVersion = 1;  // the oldest read
// The bytes of a piece's SHA-256 its mark keeps.
inline constexpr std::size_t kMarkSize = 8;
// The largest patch read: far more than 127 pieces and their gaps need.
inline constexpr std::uint64_t kMaxPatchSize = 1u << 30;
// The entry of the frame, where a piece's number would be.
inline constexpr std::uint32_t kFrame = UINT32_MAX;

// How a side is made: from the other's stored bytes, from its content
// compressed again, or not here (the way back, from the bundle before).
enum class Remake : std::uint8_t { raw = 0, flz0 = 1, none = 2 };

// How one side's bytes are made from the other's.
struct Change {
    Remake how = Remake::raw;
    Bytes delta{};  // of the stored bytes (raw), or of the content (flz0)
    Bytes after{};  // flz0: of the bytes after the stream
    Encoder encoder{};                      // flz0: what compresses the content again
    std::optional<std::uint16_t> stated{};  // flz0: the header's compressed size; none: the stream's length
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

// A piece as a patch marks it: its size, and the start of its SHA-256.
struct Mark {
    std::uint64_t size = 0;
    std::array<std::uint8_t, kMarkSize> hash{};
    bool operator==(const Mark&) const = default;
};
Mark mark_of(std::span<const std::uint8_t> piece);

struct Patch {
    std::uint64_t version = kPatchVersion;  // as read
    std::uint64_t compressor = kCompressorVersion;
    BundleId old_bundle;
    std::vector<Mark> old_marks;  // each of OLD's pieces; none in a patch of version 1
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

// way_back_size -- the bytes of the patch that only its way back needs
std::uint64_t way_back_size(const Patch& patch);

// make_change -- how to make target from source: from its content, where
// target is an FLZ0 file a known encoder gives back from its content (and
// the bytes after), else from the stored bytes, whichever is smaller; an
// FLZ0 file no known encoder gives back is made from its stored bytes only
// where they are `carried`, else not at all (Remake::none)
Change make_change(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target, bool carried = true);

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
