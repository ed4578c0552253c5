// A delta: how to make one byte string (the target) from another (the
// source), as copies from the source and bytes of its own.
//
//   delta   := size op*            size: the target's length
//   op      := 0 shift length      copy `length` bytes of the source, from
//                                  where the last copy ended (0 at first)
//                                  moved by `shift`
//            | 1 length byte*      `length` bytes of the delta's own
//
// Numbers are unsigned LEB128 (seven bits a byte, low first, at most ten
// bytes); a shift is zigzag-coded (0, -1, 1, -2, ... as 0, 1, 2, 3, ...),
// so that a copy that follows on from the last costs one byte. The ops
// make exactly `size` bytes and the delta ends with the last of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// make_delta -- a delta that makes target from source
std::vector<std::uint8_t> make_delta(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target);

enum class DeltaStatus {
    ok,
    truncated,        // it ends inside an op, or before the target is whole
    past_the_source,  // a copy reaches outside the source
    too_large,        // the target would be larger than the limit, or a number overflows
    malformed,        // an op that is none, an op past the target's end, or bytes after the last
};

// apply_delta -- the target a delta makes from source, into out; nothing
// of `out` is kept where it does not read right. The target may be at most
// `limit` bytes.
DeltaStatus apply_delta(std::span<const std::uint8_t> source, std::span<const std::uint8_t> delta, std::size_t limit,
                        std::vector<std::uint8_t>& out);

// put_number -- n as an unsigned LEB128 number at the end of out
void put_number(std::vector<std::uint8_t>& out, std::uint64_t n);

// read_number -- the LEB128 number at bytes[at], `at` moved past it; false
// where the bytes end inside it (truncated) or it holds more than 64 bits
// (too_large), `why` saying which
bool read_number(std::span<const std::uint8_t> bytes, std::size_t& at, std::uint64_t& n, DeltaStatus& why);
