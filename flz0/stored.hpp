// The stored form of an FLZ0 piece: what a bundle holds for a piece that
// is an FLZ0 file, and how it is stored again once its content changed.
//
// A piece that is an FLZ0 file holds its content (the bytes it decodes
// to, as varnix decodes them) and, past the last byte its stream takes,
// any bytes the piece holds beyond it: often a run of one byte that fills
// a fixed slot, sometimes other bytes. Stored again, the content is
// compressed as flz0_pack compresses it and the bytes after put back, so
// that a piece made this way is made the same way every time: a patch
// holds only the content and the bytes after, and the compressor's
// version says which compressor made them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "failure.hpp"
#include "files.hpp"

// The version of the compressor's output: it goes up whenever flz0_pack
// gives other bytes for any input.
inline constexpr std::uint64_t kCompressorVersion = 1;

// An FLZ0 file as varnix reads it: its decoded content, and where the
// bytes after its stream start (past the last byte any item took).
struct Flz0Content {
    Bytes decoded;
    std::size_t after = 0;
};

// flz0_content -- the content of a file that starts with "FLZ0" and
// decodes as varnix decodes it; none for any other. A file shorter than
// the header reads as one of no bytes, with nothing after its stream.
std::optional<Flz0Content> flz0_content(std::span<const std::uint8_t> file);

// A piece's content: an FLZ0 file that decodes is its decoded bytes and
// the bytes after its stream; anything else is itself, with none after.
struct Content {
    bool flz0 = false;
    Bytes content;
    Bytes after;
};
Content content_of(std::span<const std::uint8_t> stored);

// stored_form -- content compressed as flz0_pack does, then `after`; none
// where no FLZ0 file holds the content
std::optional<Bytes> stored_form(std::span<const std::uint8_t> content, std::span<const std::uint8_t> after);

// made_by_pack -- whether stored bytes are an FLZ0 file that stored_form
// gives back byte for byte from their own content and bytes after, as a
// piece a join compressed again is
bool made_by_pack(std::span<const std::uint8_t> stored);

// one_byte_run -- whether bytes are one byte repeated, at least once, as
// padding to a slot or a grid is
bool one_byte_run(std::span<const std::uint8_t> bytes);

// What a piece that was an FLZ0 file held, as the record of its split
// says: its size, the bytes after its stream, and whether its content was
// itself an FLZ0 file (compressed twice).
struct WasFlz0 {
    std::uint64_t size = 0;
    std::span<const std::uint8_t> after;
    bool nested = false;
};

// How a changed piece is stored.
enum class StoredAs { compressed, as_it_stands };

// store_again -- what is stored for `edited` (the piece file as the user
// left it) in the place of a piece that was an FLZ0 file: an FLZ0 file
// the user made it stands as it is, unless the piece's content was itself
// one; else it is compressed as flz0_pack does. The bytes after the old
// stream go after the new one: where they are a run of one byte, the run
// keeps the piece at its old size wherever the new stream fits in it, so
// nothing after it moves; where it does not fit, the piece grows, and
// with `grid_pads` the run is left off, since the layout pads the piece
// to its grid with the run's byte. A content that no FLZ0 file holds is
// bad_piece, naming `name`.
Outcome store_again(const std::string& name, std::span<const std::uint8_t> edited, const WasFlz0& was, bool grid_pads,
                    Bytes& stored, StoredAs& how);

// stored_beside -- what is stored for a file beside the FLZ0 file it may
// have been decoded from (its .BAK): those bytes where they decode to
// exactly the file; else the file as it stands where it is an FLZ0 file
// itself; else the file compressed (bad_piece, naming `name`, where no
// FLZ0 file holds it). `beside` none: there is no FLZ0 file beside it.
Outcome stored_beside(const std::string& name, std::span<const std::uint8_t> file, const std::optional<Bytes>& beside,
                      Bytes& stored);
