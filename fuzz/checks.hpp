// What must hold for any input, one check per fuzz target. Each returns an
// empty string when all holds, otherwise what did not. The fuzz targets and
// the corpus replay test both run them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

using FuzzData = std::span<const std::uint8_t>;

// check_flz0_decode -- any bytes as an FLZ0 image: the decoder gives exactly
// the original size or reports truncation, and agrees with the plain reading
std::string check_flz0_decode(FuzzData data);

// check_round_trip -- any data (its first 65,535 bytes) through the
// compressor decodes to itself, also by a decoder that runs the last group
// to its end, which overruns only where no parse ends with a whole group;
// for inputs of up to 40 bytes the stream is as small as a plain search
// over every parse finds
std::string check_round_trip(FuzzData data);

// check_bundle_table -- any 512-byte table and limit (the four bytes after
// the table, little-endian; 127 when absent) enumerate by the rules
std::string check_bundle_table(FuzzData data);

// check_parse_count -- any text reads as an independent reading of the
// same rules does
std::string check_parse_count(FuzzData data);

// check_join_layout -- any old table (the first 512 bytes), old size (the
// next 4 bytes), whether there is an old bundle (the next byte) and piece
// sizes (3 bytes each after it): the planned bundle's table lists exactly
// the new pieces, end to end; where the old layout is kept, every byte of
// it outside its pieces stays, and otherwise the layout is bndsplit's plain one
std::string check_join_layout(FuzzData data);

// check_split_join -- any bytes after the first as a bundle, split (the
// first byte's low bit: FLZ0 pieces decoded; its next two bits, a limit of
// 1 to 3 pieces where not 0) into a scratch directory and joined unchanged,
// in place and into a new file: wherever the split completes, each join
// gives back the bundle byte for byte
std::string check_split_join(FuzzData data);

// check_delta -- any bytes as a delta over a fixed source: it reads right
// or is refused, never out of bounds; and the first half of any bytes made
// into the second half by a delta made for them, and back
std::string check_delta(FuzzData data);

// check_patch -- any bytes as the body of a patch (its checksum made here,
// so that every field is reached), applied both ways to a fixed bundle
// into a new file: refused with nothing written, or the new bundle holds,
// in each piece it touches, what the patch records; the bundle read is
// never changed. Bytes that read as a folder patch are written again and
// read back alike, and every file a plan of it writes in a folder is
// inside that folder, under a path no check refuses.
std::string check_patch(FuzzData data);

// check_merge -- any bytes as a base and two changes of it (split where
// the second and third bytes say; the first byte's low bit: over an
// alphabet of two letters, a space and a line end): a change merged with
// none, or with itself, is that change; two changes merge alike in either
// order, or are refused alike, naming a range within the base
std::string check_merge(FuzzData data);
