#include "console.hpp"

#include <algorithm>
#include <cctype>

#include "render.hpp"
#include "text.hpp"

namespace {

// Set once, when the program starts.
const char* g_program = "";
Encoding g_encoding = Encoding::utf8;
int g_worst = kExitOk;  // the highest status reported


// canonical -- a codeset name in upper case without '-' and '_', so that
// "Shift_JIS", "SHIFT-JIS" and "shift_jis" compare equal
std::string canonical(std::string_view codeset)
{
    std::string out;
    for (char c : codeset)
        if (c != '-' && c != '_')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// write_text -- text made here (ASCII, and file names as given) to a stream:
// a console takes it as Unicode, a file or pipe in the system's bytes
platform::SysError write_text(platform::Stream s, std::string_view utf8)
{
    if (platform::is_console(s))
        return platform::write_console(s, utf8);
    return platform::write_stream(s, platform::native_text(utf8));
}

}  // namespace

Encoding encoding_for(std::string_view codeset)
{
    static constexpr std::string_view kShiftJis[] = {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J"};
    std::string name = canonical(codeset);
    if (std::find(std::begin(kShiftJis), std::end(kShiftJis), name) != std::end(kShiftJis))
        return Encoding::sjis;
    if (name == "EUCJP")
        return Encoding::euc_jp;
    return Encoding::utf8;
}

std::string_view in_encoding(const msg::Text& text, Encoding e)
{
    switch (e) {
    case Encoding::sjis:
        return text.sjis;
    case Encoding::euc_jp:
        return text.euc_jp;
    case Encoding::utf8:
        break;
    }
    return text.utf8;
}

void start_console(const char* program)
{
    g_program = program;
    g_worst = kExitOk;
    // Where no locale says, the tools' original bytes: Shift-JIS.
    const std::optional<std::string> codeset = platform::locale_codeset();
    g_encoding = codeset ? encoding_for(*codeset) : Encoding::sjis;
}

Outcome say(std::string_view text)
{
    if (platform::SysError e = write_text(platform::Stream::out, text))
        return system_failure(Fault::output_lost, msg::kStandardOutput, e);
    return {};
}

Outcome say_data(std::span<const std::uint8_t> data)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    if (platform::SysError e = platform::write_stream(platform::Stream::out, bytes, platform::StreamMode::binary))
        return system_failure(Fault::output_lost, msg::kStandardOutput, e);
    return {};
}

Outcome tell(const Event& e)
{
    if (e.what == Tell::failed) {
        report(e.failure);
        return {};
    }
    return say(event_line(e));
}

Outcome tell_nothing(const Event&)
{
    return {};
}

void complain(std::string_view text)
{
    write_text(platform::Stream::err, text);  // a lost standard error has nowhere to be reported
}

int report(const Outcome& outcome)
{
    if (!outcome)
        return kExitOk;
    const FaultReport r = report_of(outcome->fault);
    const platform::Stream err = platform::Stream::err;
    if (platform::is_console(err))
        platform::write_console(err, r.text->utf8);
    else
        platform::write_stream(err, in_encoding(*r.text, g_encoding));
    note(outcome->detail);
    g_worst = std::max(g_worst, r.status);
    return r.status;
}

void note(const Detail& d)
{
    note_text(d.file, reason_text(d));
}

void note_text(const std::string& file, const std::string& reason)
{
    complain(format_text(msg::kDetailFormat, g_program, file.c_str(), reason.c_str()));
}

int worst_reported()
{
    return g_worst;
}

int fail_usage(std::string_view usage, const std::optional<std::pair<std::string, std::string>>& detail)
{
    complain(usage);
    if (detail)
        note_text(detail->first, detail->second);
    return kExitInput;
}

bool keeps_window_open(const platform::ConsoleState& console)
{
    return console.processes == 1 && console.input && console.output;
}

int end_program(int status)
{
    if (keeps_window_open(platform::console_state())) {
        (void)say(msg::kPressAnyKey);  // if it cannot be seen, a key still closes the window
        platform::wait_for_key();
    }
    return status;
}
