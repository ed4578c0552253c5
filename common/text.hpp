// Filling a printf-style format.
#pragma once

#include <cstdio>
#include <string>

// format_text -- fill a printf-style format
template <typename... Args>
std::string format_text(const char* format, Args... args)
{
    int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}
