#include "bundle_reference.hpp"

std::uint32_t entry_at(std::string_view bundle, std::size_t k)
{
    std::uint32_t v = 0;
    for (std::size_t b = 4; b-- > 0;)
        v = v << 8 | (k * 4 + b < bundle.size() ? static_cast<unsigned char>(bundle[k * 4 + b]) : 0u);
    return v;
}
