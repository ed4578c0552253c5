// POSIX side of the platform layer.
#include "platform.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr mode_t kNewDirMode = 0777;

bool is_directory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Handle open_read(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

Handle create_write(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
}

bool close_file(Handle h)
{
    return ::close(h) == 0;
}

std::ptrdiff_t read_some(Handle h, std::uint8_t* buf, std::size_t n)
{
    ssize_t got;
    do
        got = ::read(h, buf, n);
    while (got < 0 && errno == EINTR);
    return got;
}

std::ptrdiff_t write_some(Handle h, const std::uint8_t* data, std::size_t n)
{
    ssize_t put;
    do
        put = ::write(h, data, n);
    while (put < 0 && errno == EINTR);
    return put;
}

bool seek_to(Handle h, std::uint64_t offset)
{
    static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");
    return ::lseek(h, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::optional<std::uint64_t> regular_size(Handle h)
{
    struct stat st {};
    if (::fstat(h, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool sync_file(Handle h)
{
    return ::fsync(h) == 0;
}

bool remove_file(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

DirResult make_dir(const std::string& path)
{
    if (::mkdir(path.c_str(), kNewDirMode) == 0)
        return DirResult::created;
    if (errno == EEXIST && is_directory(path))
        return DirResult::existed;
    return DirResult::failed;
}

bool rename_noreplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    // EINVAL: the filesystem does not support the flag; ENOSYS: nor the kernel.
    if (errno == EINVAL || errno == ENOSYS)
        return rename_by_link(from, to);
    return false;
}

bool rename_by_link(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;  // EEXIST among others: the new name stays as it was
    if (::unlink(from.c_str()) == 0)
        return true;
    ::unlink(to.c_str());  // back to the one name it had
    return false;
}

}  // namespace platform
