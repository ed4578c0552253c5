// A bundle's table read for tests, apart from the tools' own reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// entry_at -- entry k of a bundle's table, assembled byte by byte, least
// significant first; bytes past the end of a short bundle read as 0
std::uint32_t entry_at(std::string_view bundle, std::size_t k);
