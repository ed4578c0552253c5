#include "flz0_reference.hpp"

#include <array>

std::optional<std::vector<std::uint8_t>> flz0_reference_decode(std::span<const std::uint8_t> image, std::uint8_t fill)
{
    auto at = [&](std::size_t i) -> int { return i < image.size() ? image[i] : -1; };
    // Header bytes past the end of a short image read as zero.
    auto header = [&](std::size_t i) -> unsigned { return i < image.size() ? image[i] : 0u; };
    long remaining = static_cast<long>(header(4) | header(5) << 8);

    std::array<std::uint8_t, 4096> ring;
    ring.fill(fill);
    unsigned w = 4078;
    std::size_t in = 8;
    std::vector<std::uint8_t> out;
    while (remaining > 0) {
        int flags = at(in++);
        if (flags < 0)
            return std::nullopt;
        for (int bit = 0; bit < 8 && remaining > 0; ++bit) {
            if (flags >> bit & 1) {
                int x = at(in++);
                if (x < 0)
                    return std::nullopt;
                ring[w] = static_cast<std::uint8_t>(x);
                out.push_back(ring[w]);
                w = (w + 1) % 4096;
                --remaining;
                continue;
            }
            int b0 = at(in), b1 = at(in + 1);
            in += 2;
            if (b0 < 0 || b1 < 0)
                return std::nullopt;
            unsigned p = static_cast<unsigned>(b0 | (b1 & 0xF0) << 4);
            for (int n = (b1 & 0x0F) + 3; n > 0 && remaining > 0; --n) {
                ring[w] = ring[p];
                out.push_back(ring[w]);
                w = (w + 1) % 4096;
                p = (p + 1) % 4096;
                --remaining;
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> flz0_group_end_decode(std::span<const std::uint8_t> image)
{
    auto at = [&](std::size_t i) -> unsigned { return i < image.size() ? image[i] : 0u; };
    long remaining = static_cast<long>(at(4) | at(5) << 8);
    std::array<std::uint8_t, 4096> ring{};
    unsigned w = 4078;
    std::size_t in = 8;
    std::vector<std::uint8_t> out;
    auto emit = [&](std::uint8_t x) {
        ring[w] = x;
        out.push_back(x);
        w = (w + 1) % 4096;
        --remaining;
    };
    while (remaining > 0) {
        unsigned flags = at(in++);
        for (int bit = 0; bit < 8; ++bit) {
            if (flags >> bit & 1) {
                emit(static_cast<std::uint8_t>(at(in++)));
                continue;
            }
            unsigned b0 = at(in), b1 = at(in + 1);
            in += 2;
            for (unsigned p = b0 | (b1 & 0xF0) << 4, n = (b1 & 0x0F) + 3; n > 0; --n, p = (p + 1) % 4096)
                emit(ring[p]);
        }
    }
    return out;
}
