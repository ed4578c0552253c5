// STUB
#include "encoders.hpp"
#include <algorithm>
#include "flz0.hpp"
#include "pack.hpp"
namespace { constexpr Encoder kKnown[] = {{EncoderFamily::pack, 0}}; }
std::span<const Encoder> known_encoders() { return kKnown; }
bool encoder_known(const Encoder& e) { return e == kKnown[0]; }
std::optional<Bytes> encode_stream(const Encoder& e, std::span<const std::uint8_t> content)
{
    if (!encoder_known(e)) return std::nullopt;
    auto f = flz0_pack(content);
    if (!f) return std::nullopt;
    return Bytes(f->begin() + kFlz0HeaderSize, f->end());
}
std::optional<Identified> identify_encoder(std::span<const std::uint8_t> file, std::span<const std::uint8_t> content)
{
    for (const Encoder& e : known_encoders()) {
        auto s = encode_stream(e, content);
        if (s && file.size() >= kFlz0HeaderSize + s->size() && std::equal(s->begin(), s->end(), file.begin() + kFlz0HeaderSize))
            return Identified{e, s->size()};
    }
    return std::nullopt;
}
