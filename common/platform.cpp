// The parts of the platform layer that are the same on every system.
#include "platform.hpp"

namespace platform {

namespace {

StreamCapture* g_capture = nullptr;

// A redirected text stream on Windows has each line feed go out as CR LF.
#ifdef _WIN32
constexpr bool kCrLfLines = true;
#else
constexpr bool kCrLfLines = false;
#endif

}  // namespace

SysError write_stream(Stream s, std::string_view bytes, StreamMode mode)
{
    std::string lines;
    for (char c : bytes) {
        if (kCrLfLines && mode == StreamMode::text && c == '\n')
            lines += '\r';
        lines += c;
    }
    if (!g_capture)
        return system_write_stream(s, lines);
    (s == Stream::out ? g_capture->out : g_capture->err) += lines;
    return {};
}

bool is_console(Stream s)
{
    return !g_capture && system_is_console(s);
}

void capture_streams(StreamCapture* capture)
{
    g_capture = capture;
}

std::string parent_dir(const std::string& path)
{
    const std::size_t sep = path.find_last_of(kPathSeparators);
    if (sep == std::string::npos)
        return ".";
    // A root ("/", "C:\") or a drive ("C:") keeps its separator: without
    // it, it would name another directory.
    const bool root = sep == 0 || path[sep] == ':' || (sep == 2 && path[1] == ':');
    return path.substr(0, root ? sep + 1 : sep);
}

}  // namespace platform
