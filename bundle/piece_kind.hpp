// What a piece is, for bndsplit -l: an FLZ0 file with its decoded size and
// the bytes after its stream, one that starts as FLZ0 but does not decode
// (as bndsplit -x and varnix find it), or raw; and a type guessed from the
// first bytes of its content. The guess is only shown, never used to name
// or treat a piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The types a piece's first bytes can suggest.
enum class ContentType { none, png, jpeg, gif, dds, wav, ogg, mp3, zip, gzip, sevenz, rar, elf, exe, bundle, text };

enum class PieceForm { raw, flz0, corrupt_flz0 };

struct PieceKind {
    PieceForm form = PieceForm::raw;
    std::size_t decoded = 0;    // flz0: the decoded size
    std::size_t after = 0;      // flz0: the bytes after its stream
    std::size_t produced = 0;   // corrupt_flz0: where the stream ends ...
    std::size_t original = 0;   // ... of the original size its header gives
    ContentType type = ContentType::none;  // of the decoded content, for an FLZ0 file
};

// piece_kind -- what a piece is, from its stored bytes
PieceKind piece_kind(std::span<const std::uint8_t> bytes);

// content_type -- the type the first bytes suggest
ContentType content_type(std::span<const std::uint8_t> bytes);
