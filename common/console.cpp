#include "console.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

const char* g_program = "";
Encoding g_encoding = Encoding::utf8;
bool g_stdout_lost_told = false;  // a failure has already named standard output

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

// write_stderr -- bytes to standard error, or as UTF-16 to a Windows console
void write_stderr(std::string_view bytes, std::string_view utf8, platform::TextEncoding encoding)
{
    std::fflush(stdout);
    if (!platform::write_console(platform::Stream::err, utf8, encoding))
        std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

Detail system_detail(std::string file)
{
    return Detail{std::move(file), platform::last_error(), {}};
}

Detail tool_detail(std::string file, std::string reason)
{
    return Detail{std::move(file), {}, std::move(reason)};
}

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
    g_encoding = encoding_for(platform::locale_codeset());
}

void say(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

bool say_now(std::string_view text)
{
    say(text);
    return finish_stdout();
}

void complain(std::string_view text)
{
    write_stderr(text, text, platform::TextEncoding::native);
}

int fail(const msg::Text& text, int status, const Detail& detail)
{
    write_stderr(in_encoding(text, g_encoding), text.utf8, platform::TextEncoding::utf8);
    std::string reason = detail.error.code != 0 ? platform::error_text(detail.error) : detail.reason;
    complain(format_text(msg::kDetailFormat, g_program, detail.file.c_str(), reason.c_str()));
    return status;
}

int fail_usage(std::string_view usage)
{
    complain(usage);
    return kExitInput;
}

bool finish_stdout()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

Detail stdout_detail()
{
    g_stdout_lost_told = true;
    return Detail{"standard output", platform::SysError{errno ? errno : EIO, false}, {}};
}

int finish_output(int status)
{
    if (finish_stdout())
        return status;
    if (g_stdout_lost_told)
        return std::max(status, kExitOutput);
    return std::max(status, fail(msg::kWriteFailed, kExitOutput, stdout_detail()));
}
