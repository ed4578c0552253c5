#include "support.hpp"

#include <windows.h>

#include "unicode.hpp"

namespace {

// quote -- one argument as the C runtime splits a command line: quotes
// around it when needed, backslashes doubled only before a quote
std::string quote(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

// windows_path -- the build gives Linux paths; under wine the Linux root is Z:
std::string windows_path(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string out = "Z:";  // appended apart: GCC 12 warns falsely of "Z:" + path (-Wrestrict)
    out += path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

// wide -- UTF-8 text as the wide calls take it; the three bytes of an
// encoded surrogate become that lone surrogate, so that a test can give a
// program a name no well-formed text holds
std::wstring wide(const std::string& utf8)
{
    std::wstring out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
        if (byte(i) == 0xED && i + 2 < utf8.size() && byte(i + 1) >= 0xA0) {
            out += static_cast<wchar_t>(0xD000 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F));
            i += 3;
            continue;
        }
        std::size_t n = 1;
        while (i + n < utf8.size() && (byte(i + n) & 0xC0) == 0x80)
            ++n;
        const std::u16string w = utf8_to_utf16(utf8.substr(i, n)).value();
        out.append(w.begin(), w.end());
        i += n;
    }
    return out;
}

HANDLE inheritable_file(const std::string& path)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int open_descriptors()
{
    return -1;  // a handle left open shows when its directory cannot be removed
}

int spawn_and_wait(const std::string& exe, const std::string& name, const std::vector<std::string>& args,
                   const fs::path& cwd, const std::string& out_path, const std::string& err_path,
                   const RunOptions&)
{
    std::string command = quote(name);
    for (const std::string& a : args) {
        command += ' ';  // apart from the argument: GCC 12 warns falsely of " " + quote(a) (-Wrestrict)
        command += quote(a);
    }

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = inheritable_file(out_path);
    si.hStdError = err_path == out_path ? si.hStdOutput : inheritable_file(err_path);
    PROCESS_INFORMATION pi{};
    int status = -1;
    // Every name goes as UTF-16, so that a test's Unicode names reach the
    // program as they are, whatever the code page.
    const std::wstring app = wide(windows_path(exe));
    const std::wstring cwd_text = cwd.wstring();
    std::wstring command_line = wide(command);
    // wine now and then fails to start a process at all; a program that
    // cannot be started fails every time, so a few tries hide nothing.
    constexpr int kTries = 3;
    bool started = false;
    for (int t = 0; t < kTries && !started; ++t) {
        started = CreateProcessW(app.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd_text.c_str(),
                                 &si, &pi) != 0;
        if (!started)
            Sleep(200);
    }
    if (started) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(pi.hProcess, &code))
            status = static_cast<int>(code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(si.hStdOutput);
    if (si.hStdError != si.hStdOutput)
        CloseHandle(si.hStdError);
    return status;
}

void* hold_open(const fs::path& path)
{
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void let_go(void* held)
{
    if (held)
        CloseHandle(held);
}
