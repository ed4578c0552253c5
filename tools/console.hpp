// Console output shared by the programs: progress on standard output,
// failures on standard error. A failure is a fixed message from
// messages.hpp, in the encoding the user reads, followed by one line of
// detail: "PROGRAM: FILE: REASON". Nothing is buffered: each text is
// written when it is said, so standard output and standard error read in
// order when they go to the same file, and a lost standard output is
// known at once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "failure.hpp"
#include "messages.hpp"
#include "plan.hpp"
#include "platform.hpp"

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

// say -- a text to standard output; output_lost if it could not be written
Outcome say(std::string_view text);

// say_data -- bytes to standard output as they are, a console or not;
// output_lost if they could not be written
Outcome say_data(std::span<const std::uint8_t> data);

// tell -- what a run tells as it goes, in words: each step's line to
// standard output, and a failure told as it comes reported, after which
// the run goes on
Outcome tell(const Event& e);

// tell_nothing -- for a run whose steps are not told
Outcome tell_nothing(const Event& e);

// complain -- an English text to standard error
void complain(std::string_view text);

// note -- a detail line on its own: "PROGRAM: FILE: REASON"
void note(const Detail& detail);

// note_text -- the same, with a reason in words
void note_text(const std::string& file, const std::string& reason);

// report -- a failure's message and its detail line; its exit status,
// kExitOk when there was none
int report(const Outcome& outcome);

// worst_reported -- the highest exit status report() has given since the
// program started
int worst_reported();

// fail_usage -- the usage line, and a detail line where one says what is
// wrong; gives the usage exit status
int fail_usage(std::string_view usage, const std::optional<std::pair<std::string, std::string>>& detail = std::nullopt);

// keeps_window_open -- whether the program has a console window of its
// own, which closes when it ends: the system made it for this process
// alone (started from Explorer, or files dropped on it), and both standard
// input and output are that console. Never in a console that a shell or a
// script shares, and never with either stream redirected.
bool keeps_window_open(const platform::ConsoleState& console);

// end_program -- the program's last step: where the window would close
// with it, a line asking for a key and the wait for one; the exit status
int end_program(int status);
