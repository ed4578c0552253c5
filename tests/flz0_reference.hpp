// The plain reading of the FLZ0 format, a byte at a time through the ring,
// written apart from the shipped decoder so the two can be compared.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// flz0_reference_decode -- the original-size output of a whole FLZ0 image,
// or none when its stream ends too soon; the ring starts as `fill` bytes
// (zeros, as FLZ0's does, unless an encoder that starts it otherwise is
// being checked)
std::optional<std::vector<std::uint8_t>> flz0_reference_decode(std::span<const std::uint8_t> image,
                                                               std::uint8_t fill = 0);

// flz0_group_end_decode -- what a decoder that tests the remaining count
// only before each flag byte produces: every item of the last group is
// decoded, bytes beyond the image reading as zero, so the output can run
// past the original size
std::vector<std::uint8_t> flz0_group_end_decode(std::span<const std::uint8_t> image);
