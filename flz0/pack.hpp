// The FLZ0 compressor: the smallest stream that every decoder reads right.
//
// A stream's size is its flag bytes plus one byte per literal and two per
// reference, whatever a reference points at. The items are chosen by a
// shortest-path parse over the whole input: at every position a literal,
// or a reference of any length from 3 up to the longest match there, from
// anywhere in the ring (bytes already produced, copies that overlap their
// own output, and the ring's initial zero bytes).
//
// Some decoders decode every item of the last group, taking bytes from
// beyond the stream. So the parse is the smallest one whose item count is
// a multiple of eight, which makes the last group end exactly at the
// original size with its eighth item. Only where no parse has such a count
// (fewer than eight bytes, or data with too few matches to adjust the
// count) is it the smallest parse of any count, and the flag bits of the
// missing items are 1: a literal reads and writes a single byte, the least
// a group-to-the-end decoder can overrun.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "failure.hpp"

// flz0_pack -- the whole FLZ0 file (header and stream) holding data; none
// when data is longer than kMaxOriginalSize or the file would be longer
// than kMaxFlz0FileSize. The header's compressed size is the stream's
// length.
std::optional<std::vector<std::uint8_t>> flz0_pack(std::span<const std::uint8_t> data);

// flz0_pack_checked -- data compressed as flz0pack compresses it, checked
// by decoding it again before anyone writes it; `name` names it in a
// failure: too_large where no FLZ0 file holds it
Outcome flz0_pack_checked(const std::string& name, std::span<const std::uint8_t> data, std::vector<std::uint8_t>& packed);
