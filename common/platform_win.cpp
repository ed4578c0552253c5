// Windows side of the platform layer, over the C runtime's file handles and
// the ANSI (code page) file API, so names pass through as the bytes given.
#include "platform.hpp"

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace platform {

namespace {

// _read and _write take an unsigned int count.
constexpr std::size_t kMaxChunk = 1u << 30;

bool is_directory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

Handle open_read(const std::string& path)
{
    return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

Handle create_write(const std::string& path)
{
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

bool close_file(Handle h)
{
    return _close(h) == 0;
}

std::ptrdiff_t read_some(Handle h, std::uint8_t* buf, std::size_t n)
{
    return _read(h, buf, static_cast<unsigned>(std::min(n, kMaxChunk)));
}

std::ptrdiff_t write_some(Handle h, const std::uint8_t* data, std::size_t n)
{
    return _write(h, data, static_cast<unsigned>(std::min(n, kMaxChunk)));
}

bool seek_to(Handle h, std::uint64_t offset)
{
    return _lseeki64(h, static_cast<__int64>(offset), SEEK_SET) == static_cast<__int64>(offset);
}

std::optional<std::uint64_t> regular_size(Handle h)
{
    struct _stati64 st {};
    if (_fstati64(h, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool sync_file(Handle h)
{
    return _commit(h) == 0;
}

bool remove_file(const std::string& path)
{
    return DeleteFileA(path.c_str()) != 0;
}

DirResult make_dir(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), nullptr))
        return DirResult::created;
    if (GetLastError() == ERROR_ALREADY_EXISTS && is_directory(path))
        return DirResult::existed;
    return DirResult::failed;
}

bool rename_noreplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool rename_by_link(const std::string& from, const std::string& to)
{
    if (!CreateHardLinkA(to.c_str(), from.c_str(), nullptr))
        return false;
    if (DeleteFileA(from.c_str()))
        return true;
    DeleteFileA(to.c_str());
    return false;
}

}  // namespace platform
