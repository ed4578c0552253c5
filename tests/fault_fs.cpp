#include "fault_fs.hpp"

#ifdef _WIN32
#include <windows.h>
const platform::SysError kInjected{ERROR_WRITE_FAULT};
#else
#include <cerrno>
const platform::SysError kInjected{EIO};
#endif

FaultyFs::~FaultyFs()
{
    // Handles a stopped run left open, as a crash would have.
    for (const auto& [h, name] : names_)
        inner_.close(h);
}

std::vector<std::string> FaultyFs::open_handles() const
{
    std::vector<std::string> open;
    for (const auto& [h, name] : names_)
        open.push_back(name);
    return open;
}

std::string FaultyFs::relative(const std::string& path) const
{
    if (!root_.empty() && path.starts_with(root_))
        return path.size() == root_.size() ? "." : path.substr(root_.size() + 1);
    return path;
}

std::string FaultyFs::name_of(platform::Handle h) const
{
    auto it = names_.find(h);
    return it == names_.end() ? "?" : it->second;
}

void FaultyFs::interrupt()
{
    if (&inner_ == &platform::system_files()) {
        platform::remove_held_temps();
        return;
    }
    // The handler's own removal would reach the disk, where these names
    // are not.
    for (const std::string& temp : platform::held_temps())
        inner_.remove(temp);
}

platform::SysError FaultyFs::step(const std::string& kind, const std::string& a, const std::string& b)
{
    if (stopped_)
        return kInjected;  // after a crash nothing more happens
    const int n = calls();
    log.push_back(kind + " " + a + (b.empty() ? "" : " " + b));
    if (n == stop_at) {
        stopped_ = true;
        if (interrupted)
            interrupt();
        return kInjected;
    }
    if (auto it = refuse.find(kind); it != refuse.end())
        return it->second;
    return n == fail_at ? error : platform::SysError{};
}

platform::Result<platform::Handle> FaultyFs::opened(platform::Result<platform::Handle> r, const std::string& path)
{
    if (!r.error)
        names_[r.value] = relative(path);
    return r;
}

platform::Result<std::size_t> FaultyFs::read(platform::Handle h, std::span<std::uint8_t> buf)
{
    const bool ended = end_at >= 0 && calls() >= end_at;
    if (platform::SysError e = step("read", name_of(h)))
        return {0, e};
    if (ended)
        return {0, {}};
    if (short_reads && buf.size() > 1)
        buf = buf.first(buf.size() / 2);
    return inner_.read(h, buf);
}

platform::SysError FaultyFs::close(platform::Handle h)
{
    // A failed close still closes: the handle is gone whatever the call says.
    platform::SysError e = step("close", name_of(h));
    if (stopped_)
        return e;  // left open, as a crash leaves it, until the end of the test
    names_.erase(h);
    platform::SysError inner_error = inner_.close(h);
    return e ? e : inner_error;
}
