// Console output shared by the programs: progress on standard output,
// failures on standard error. A failure is a fixed message from
// messages.hpp, in the encoding the user reads, followed by one line of
// detail: "PROGRAM: FILE: REASON".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "messages.hpp"
#include "platform.hpp"

// Exit statuses, the same for every program.
inline constexpr int kExitOk = 0;      // the run completed
inline constexpr int kExitInput = 1;   // usage, or an input that cannot be used
inline constexpr int kExitOutput = 2;  // an output cannot be created, written, closed or moved

// What the detail line says: the file a failure concerns, as the user
// would write it, and the system's error or, where there is none, a short
// English reason of the tool's own.
struct Detail {
    std::string file;
    platform::SysError error{};
    std::string reason;
};

// system_detail -- the file, with the error of the platform call that has
// just failed
Detail system_detail(std::string file);

// tool_detail -- the file, with a reason of the tool's own
Detail tool_detail(std::string file, std::string reason);

enum class Encoding { utf8, sjis, euc_jp };

// encoding_for -- the encoding of the messages for a locale's codeset:
// Shift-JIS or EUC-JP where it names them, UTF-8 for anything else, the
// C and POSIX locales included
Encoding encoding_for(std::string_view codeset);

// in_encoding -- a message's bytes in an encoding
std::string_view in_encoding(const msg::Text& text, Encoding e);

// start_console -- name the program for its detail lines and choose the
// encoding of its messages from the locale
void start_console(const char* program);

// say -- write a text to standard output
void say(std::string_view text);

// say_now -- write a text to standard output and flush it, so that it is
// seen before the work it announces; false if it was lost
bool say_now(std::string_view text);

// complain -- write an English text to standard error, after whatever
// standard output still holds, so the two read in order when merged
void complain(std::string_view text);

// fail -- a failure's message and its detail line; gives its exit status
int fail(const msg::Text& text, int status, const Detail& detail);

// fail_usage -- the usage line alone; gives the usage exit status
int fail_usage(std::string_view usage);

// finish_stdout -- flush standard output; false if any of it was lost
bool finish_stdout();

// finish_output -- the exit status of a run that ends with status: itself,
// or the write failure when standard output was lost
int finish_output(int status);

// stdout_detail -- the detail line for standard output that was lost
Detail stdout_detail();

// format_text -- fill a printf-style format from messages.hpp
template <typename... Args>
std::string format_text(const char* format, Args... args)
{
    int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}
