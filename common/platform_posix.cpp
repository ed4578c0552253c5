// POSIX side of the platform layer.
#include "platform.hpp"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr mode_t kNewDirMode = 0777;
constexpr mode_t kPermissionBits = 07777;

SysError g_last;

// failed -- record errno (or one of this layer's own codes) as the reason
// for the failure being returned
bool failed(int code = errno)
{
    g_last = SysError{code, false};
    return false;
}

Handle failed_handle(int code = errno)
{
    failed(code);
    return kNoHandle;
}

FileId id_of(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool is_directory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

SysError last_error()
{
    return g_last;
}

std::string error_text(SysError e)
{
    if (e.code == kNotRegular)
        return "not a regular file";
    return std::strerror(e.code);
}

Handle open_read(const std::string& path)
{
    Handle h = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return h >= 0 ? h : failed_handle();
}

Handle open_regular(const std::string& path, Links links)
{
    // Looked at before it is opened: opening a FIFO waits for a writer, and
    // opening some devices acts on them.
    struct stat st {};
    int looked = links == Links::follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (looked != 0)
        return failed_handle();
    if (!S_ISREG(st.st_mode))
        return failed_handle(kNotRegular);
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::refuse ? O_NOFOLLOW : 0);
    Handle h = ::open(path.c_str(), flags);
    if (h < 0)
        return failed_handle(errno == ELOOP ? kNotRegular : errno);
    // The name may have been given to something else in between.
    if (::fstat(h, &st) != 0 || !S_ISREG(st.st_mode)) {
        int code = errno;
        ::close(h);
        return failed_handle(S_ISREG(st.st_mode) ? code : kNotRegular);
    }
    return h;
}

Handle create_temp(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return failed_handle();
    Handle h = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    return h >= 0 ? h : failed_handle();
}

bool close_file(Handle h)
{
    return ::close(h) == 0 || failed();
}

std::ptrdiff_t read_some(Handle h, std::uint8_t* buf, std::size_t n)
{
    ssize_t got;
    do
        got = ::read(h, buf, n);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        failed();
    return got;
}

std::ptrdiff_t write_some(Handle h, const std::uint8_t* data, std::size_t n)
{
    ssize_t put;
    do
        put = ::write(h, data, n);
    while (put < 0 && errno == EINTR);
    if (put < 0)
        failed();
    else if (put == 0)
        failed(EIO);
    return put;
}

bool seek_to(Handle h, std::uint64_t offset)
{
    static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");
    return ::lseek(h, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset) || failed();
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
    return ::fsync(h) == 0 || failed();
}

bool copy_attributes(Handle from, Handle to)
{
    struct stat st {};
    if (::fstat(from, &st) != 0)
        return failed();
    // Owner first: a change of owner clears the set-user-ID and
    // set-group-ID bits. Only a privileged process may give a file away;
    // for others this fails, and the file stays theirs.
    if (::fchown(to, st.st_uid, st.st_gid) != 0) {
    }
    return ::fchmod(to, st.st_mode & kPermissionBits) == 0 || failed();
}

bool remove_file(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || failed();
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::optional<FileId> identity(Handle h)
{
    struct stat st {};
    return ::fstat(h, &st) == 0 ? std::optional<FileId>(id_of(st)) : std::nullopt;
}

std::optional<FileId> identity_of(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::optional<FileId>(id_of(st)) : std::nullopt;
}

DirResult make_dir(const std::string& path)
{
    if (::mkdir(path.c_str(), kNewDirMode) == 0)
        return DirResult::created;
    int code = errno;
    if (code == EEXIST && is_directory(path))
        return DirResult::existed;
    failed(code == EEXIST ? ENOTDIR : code);
    return DirResult::failed;
}

std::optional<std::vector<std::string>> list_dir(const std::string& path)
{
    DIR* d = ::opendir(path.c_str());
    if (!d) {
        failed();
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    int code = errno;
    ::closedir(d);
    if (code != 0) {
        failed(code);
        return std::nullopt;
    }
    return names;
}

std::string parent_dir(const std::string& path)
{
    std::size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sync_dir(const std::string& path)
{
    int d = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d < 0)
        return failed();
    int synced = ::fsync(d);
    int code = errno;
    ::close(d);
    // Some filesystems keep no directory data to sync and say so.
    return synced == 0 || code == EINVAL || code == ENOTSUP || failed(code);
}

LinkResult link_file(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0)
        return LinkResult::linked;
    int code = errno;
    failed(code);
    bool unsupported = code == EPERM || code == EXDEV || code == EMLINK || code == ENOTSUP || code == EOPNOTSUPP;
    return unsupported ? LinkResult::unsupported : LinkResult::failed;
}

// exchange -- swap the files two names give, in one step, where the system
// can; false, with nothing changed, where it cannot
bool exchange(const std::string& a, const std::string& b)
{
#if defined(BNDTOOLS_HAVE_RENAMEAT2)
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#elif defined(BNDTOOLS_HAVE_RENAMEX_NP)
    return ::renamex_np(a.c_str(), b.c_str(), RENAME_SWAP) == 0;
#else
    (void)a;
    (void)b;
    return false;
#endif
}

bool rename_over(const std::string& from, const std::string& to)
{
    // Over a regular file, the two names are exchanged in one step and the
    // old file is then removed: a rename that replaces a file makes ext4
    // write the new file's data out at once (its guard for programs that
    // never sync), which made replacing 127 pieces take several times as
    // long as writing them. A crash in between, or a failed unlink, leaves
    // the old file under the temporary name, which the next run removes.
    // Once exchanged, the new file has the name: that is a success, and
    // never a failure after which a caller would drop the temporary name
    // as if it still held the new file.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 && S_ISREG(st.st_mode) && exchange(from, to)) {
        ::unlink(from.c_str());
        return true;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 || failed();
}

bool rename_noreplace(const std::string& from, const std::string& to)
{
#if defined(BNDTOOLS_HAVE_RENAMEAT2)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    // EINVAL: the filesystem does not support the flag; ENOSYS: nor the kernel.
    if (errno != EINVAL && errno != ENOSYS)
        return failed();
#elif defined(BNDTOOLS_HAVE_RENAMEX_NP)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0)
        return true;
    // ENOTSUP: the filesystem does not support the flag.
    if (errno != ENOTSUP && errno != EINVAL)
        return failed();
#endif
    return rename_by_link(from, to);
}

bool rename_by_link(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) != 0)
        return failed();  // EEXIST among others: the new name stays as it was
    if (::unlink(from.c_str()) == 0)
        return true;
    int code = errno;
    ::unlink(to.c_str());  // back to the one name it had
    return failed(code);
}

bool write_console(Stream, std::string_view, TextEncoding)
{
    return false;  // a terminal here takes bytes in the locale's encoding
}

std::string locale_codeset()
{
    // Only the character type is taken from the environment: the system's
    // error texts stay English, as the detail lines promise.
    std::setlocale(LC_CTYPE, "");
    return ::nl_langinfo(CODESET);
}

}  // namespace platform
