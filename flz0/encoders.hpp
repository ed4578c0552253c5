// STUB (not committed): stands in until the encoders branch lands.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include "files.hpp"
enum class EncoderFamily : std::uint8_t { pack = 0, tree = 1, chain = 2 };
struct Encoder {
    EncoderFamily family = EncoderFamily::pack;
    std::uint32_t setting = 0;
    bool operator==(const Encoder&) const = default;
};
std::span<const Encoder> known_encoders();
bool encoder_known(const Encoder& e);
std::optional<Bytes> encode_stream(const Encoder& e, std::span<const std::uint8_t> content);
struct Identified { Encoder encoder; std::size_t stream_size = 0; };
std::optional<Identified> identify_encoder(std::span<const std::uint8_t> file, std::span<const std::uint8_t> content);
