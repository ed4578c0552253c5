// The parts of the platform layer that are the same on every system.
#include "platform.hpp"

#include "messages.hpp"

namespace platform {

std::string error_text(SysError e)
{
    if (e.code == kNotRegular)
        return msg::kNotRegularFile;
    if (e.code == kUnsupported)
        return msg::kNotSupported;
    if (e.code == kTooManyTemps)
        return msg::kTooManyAtOnce;
    return system_error_text(e);
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
