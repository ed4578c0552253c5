// Console output shared by both programs: progress on standard output,
// failures on standard error, each a fixed text from messages.hpp.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Exit statuses, the same for both programs.
inline constexpr int kExitOk = 0;      // the run completed
inline constexpr int kExitInput = 1;   // usage, or an input that cannot be used
inline constexpr int kExitOutput = 2;  // an output cannot be created, written, closed or moved

// say -- write a text to standard output
void say(std::string_view text);

// complain -- write a failure text to standard error, after whatever
// standard output still holds, so the two read in order when merged
void complain(std::string_view text);

// fail -- complain with a failure's text and give its exit status
int fail(std::string_view text, int status);

// finish_stdout -- flush standard output; false if any of it was lost
bool finish_stdout();

// format_text -- fill a printf-style format from messages.hpp
template <typename... Args>
std::string format_text(const char* format, Args... args)
{
    int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}
