#include "flz0.hpp"

#include <algorithm>

#include "le.hpp"

namespace {

// All the decoder's state. Input and output positions only ever move
// forward and are checked against their spans' ends before each access.
struct Decoder {
    std::span<const std::uint8_t> in;
    std::size_t in_pos = 0;
    std::span<std::uint8_t> out;
    std::size_t out_pos = 0;
    std::array<std::uint8_t, kRingSize> ring{};  // zero bytes at the start
    std::size_t w = kRingStart;                  // ring write position
};

// next -- the next stream byte; false when the stream has ended
bool next(Decoder& d, std::uint8_t& byte)
{
    if (d.in_pos >= d.in.size())
        return false;
    byte = d.in[d.in_pos++];
    return true;
}

void emit(Decoder& d, std::uint8_t byte)
{
    d.ring[d.w] = byte;
    d.w = (d.w + 1) % kRingSize;
    d.out[d.out_pos++] = byte;
}

bool done(const Decoder& d)
{
    return d.out_pos == d.out.size();
}

// copy_reference -- the bytes of a reference, or of its start when the
// original size is reached first
void copy_reference(Decoder& d, std::uint8_t b0, std::uint8_t b1)
{
    std::size_t p = b0 | static_cast<std::size_t>(b1 & 0xF0) << 4;
    unsigned n = (b1 & 0x0F) + kMinMatch;
    for (unsigned i = 0; i < n && !done(d); ++i, p = (p + 1) % kRingSize)
        emit(d, d.ring[p]);
}

// decode_group -- one flag byte and up to eight items
bool decode_group(Decoder& d)
{
    std::uint8_t flags = 0;
    if (!next(d, flags))
        return false;
    for (unsigned item = 0; item < kItemsPerGroup && !done(d); ++item, flags >>= 1) {
        std::uint8_t b0 = 0, b1 = 0;
        if (flags & 1) {
            if (!next(d, b0))
                return false;
            emit(d, b0);
        } else {
            if (!next(d, b0) || !next(d, b1))
                return false;
            copy_reference(d, b0, b1);
        }
    }
    return true;
}

}  // namespace

bool has_flz0_magic(std::span<const std::uint8_t> image)
{
    return image.size() >= kFlz0Magic.size() && std::equal(kFlz0Magic.begin(), kFlz0Magic.end(), image.begin());
}

Flz0Header read_flz0_header(std::span<const std::uint8_t> image)
{
    std::array<std::uint8_t, kFlz0HeaderSize> header{};
    std::copy_n(image.begin(), std::min(image.size(), header.size()), header.begin());
    return {get_le16(header.data() + kOriginalSizeOffset), get_le16(header.data() + kCompressedSizeOffset)};
}

std::span<const std::uint8_t> flz0_stream(std::span<const std::uint8_t> image)
{
    return image.size() > kFlz0HeaderSize ? image.subspan(kFlz0HeaderSize) : std::span<const std::uint8_t>{};
}

DecodeStatus flz0_decode(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
{
    Decoder d;
    d.in = stream;
    d.out = out;
    while (!done(d))
        if (!decode_group(d))
            return DecodeStatus::truncated;
    return DecodeStatus::ok;
}
