#include "flz0_files.hpp"

#include <array>
#include <cstdlib>
#include <optional>

#include "flz0.hpp"
#include "pack.hpp"

std::string flz0_header(std::size_t original, std::size_t stream)
{
    std::array<std::uint8_t, kFlz0HeaderSize> h{};
    write_flz0_header(h, {static_cast<std::uint16_t>(original), static_cast<std::uint16_t>(stream)});
    return std::string(h.begin(), h.end());
}

std::string flz0_encode(const std::string& data)
{
    std::optional<std::vector<std::uint8_t>> file =
        flz0_pack(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    if (!file)
        std::abort();  // a test asked for data no FLZ0 file holds
    return std::string(file->begin(), file->end());
}

std::string flz0_literals(const std::string& data)
{
    std::string stream;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i % kItemsPerGroup == 0)
            stream += '\xFF';
        stream += data[i];
    }
    return flz0_header(data.size(), stream.size()) + stream;
}
