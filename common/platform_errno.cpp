// The errors of a system that reports them as errno values (POSIX, and
// the WebAssembly system interface the page is built for), read one way.
#include "platform.hpp"

#include <cerrno>
#include <cstring>

namespace platform {

std::string system_error_text(SysError e)
{
    return std::strerror(e.code);
}

bool not_found(SysError e)
{
    return e.code == ENOENT;
}

SysError nothing_there()
{
    return SysError{ENOENT};
}

SysError not_a_directory()
{
    return SysError{ENOTDIR};
}

bool out_of_memory(SysError e)
{
    return e.code == ENOMEM;
}

bool link_refused(SysError e)
{
    return e.code == EPERM || e.code == EXDEV || e.code == EMLINK || e.code == ENOTSUP || e.code == EOPNOTSUPP;
}

bool dir_sync_refused(SysError e)
{
    return e.code == EINVAL || e.code == ENOTSUP;
}

bool noreplace_refused(SysError e)
{
    // EINVAL: the filesystem does not take the flag; ENOSYS: nor the
    // kernel; ENOTSUP: the macOS filesystem does not.
    return e.code == kUnsupported || e.code == EINVAL || e.code == ENOSYS || e.code == ENOTSUP;
}

}  // namespace platform
