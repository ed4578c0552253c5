// What a piece is, in a few words, for bndsplit -l: an FLZ0 file with its
// decoded size and the bytes after its stream, or raw; and a type guessed
// from the first bytes of its content. The guess is only shown, never
// used to name or treat a piece.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// piece_kind -- the words for a piece from its stored bytes:
// "FLZ0, 3500 bytes decoded, 13 bytes after its stream, text", "raw, PNG image"
std::string piece_kind(std::span<const std::uint8_t> bytes);

// content_type -- the type the first bytes suggest, or "" where none does
const char* content_type(std::span<const std::uint8_t> bytes);
