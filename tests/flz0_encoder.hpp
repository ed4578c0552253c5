// A greedy FLZ0 encoder, for round-trip tests and sample data only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// flz0_encode -- a whole FLZ0 file (header and stream) holding data, at most
// 65,535 bytes. References reach back over the ring, including the zero
// bytes it starts with.
std::vector<std::uint8_t> flz0_encode(std::span<const std::uint8_t> data);
std::string flz0_encode(const std::string& data);

// flz0_literals -- a whole FLZ0 file holding data as literals only, the
// largest stream that data can have
std::string flz0_literals(const std::string& data);
