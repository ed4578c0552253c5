// Windows side of the platform layer, over the C runtime's file handles and
// the ANSI (code page) file API, so names pass through as the bytes given.
#include "platform.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace platform {

namespace {

// _read and _write take an unsigned int count.
constexpr std::size_t kMaxChunk = 1u << 30;

SysError g_last;

// failed / failed_win32 -- record the C runtime's or the system's error
// as the reason for the failure being returned
bool failed(int code = errno)
{
    g_last = SysError{code, false};
    return false;
}

bool failed_win32(DWORD code = GetLastError())
{
    g_last = SysError{static_cast<int>(code), true};
    return false;
}

Handle failed_handle(int code = errno)
{
    failed(code);
    return kNoHandle;
}

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

bool is_directory(DWORD attributes)
{
    return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileId> identity_of_handle(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        return std::nullopt;
    return FileId{info.dwVolumeSerialNumber,
                  (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
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
    if (!e.win32)
        return std::strerror(e.code);
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(e.code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "system error " + std::to_string(e.code);
    LocalFree(text);
    // The system's texts are sentences ending in ". \r\n"; a detail line wants the bare reason.
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

Handle open_read(const std::string& path)
{
    Handle h = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    return h >= 0 ? h : failed_handle();
}

Handle open_regular(const std::string& path, Links links)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == kNoAttributes) {
        failed_win32();
        return kNoHandle;
    }
    if (is_directory(attributes) || (links == Links::refuse && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return failed_handle(kNotRegular);
    Handle h = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (h < 0)
        return failed_handle();
    struct _stati64 st {};
    if (_fstati64(h, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {  // devices such as NUL
        _close(h);
        return failed_handle(kNotRegular);
    }
    return h;
}

Handle create_temp(const std::string& path)
{
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        failed_win32();
        return kNoHandle;
    }
    Handle h = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    return h >= 0 ? h : failed_handle();
}

bool close_file(Handle h)
{
    return _close(h) == 0 || failed();
}

std::ptrdiff_t read_some(Handle h, std::uint8_t* buf, std::size_t n)
{
    int got = _read(h, buf, static_cast<unsigned>(std::min(n, kMaxChunk)));
    if (got < 0)
        failed();
    return got;
}

std::ptrdiff_t write_some(Handle h, const std::uint8_t* data, std::size_t n)
{
    int put = _write(h, data, static_cast<unsigned>(std::min(n, kMaxChunk)));
    if (put < 0)
        failed();
    else if (put == 0)
        failed(ENOSPC);
    return put;
}

bool seek_to(Handle h, std::uint64_t offset)
{
    return _lseeki64(h, static_cast<__int64>(offset), SEEK_SET) == static_cast<__int64>(offset) || failed();
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
    return _commit(h) == 0 || failed();
}

bool copy_attributes(Handle, Handle)
{
    // A new file has the default security of its directory, as the old
    // one had; the read-only attribute is not carried over, since a
    // read-only file could not be replaced.
    return true;
}

bool remove_file(const std::string& path)
{
    return DeleteFileA(path.c_str()) != 0 || failed_win32();
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != kNoAttributes;
}

std::optional<FileId> identity(Handle h)
{
    return identity_of_handle(reinterpret_cast<HANDLE>(_get_osfhandle(h)));
}

std::optional<FileId> identity_of(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<FileId> id = identity_of_handle(h);
    CloseHandle(h);
    return id;
}

DirResult make_dir(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), nullptr))
        return DirResult::created;
    DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS && is_directory(GetFileAttributesA(path.c_str())))
        return DirResult::existed;
    failed_win32(code == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : code);
    return DirResult::failed;
}

std::optional<std::vector<std::string>> list_dir(const std::string& path)
{
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        failed_win32();
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    } while (FindNextFileA(find, &entry));
    DWORD code = GetLastError();
    FindClose(find);
    if (code != ERROR_NO_MORE_FILES) {
        failed_win32(code);
        return std::nullopt;
    }
    return names;
}

std::string parent_dir(const std::string& path)
{
    std::size_t sep = path.find_last_of(kPathSeparators);
    if (sep == std::string::npos)
        return ".";
    return path.substr(0, sep + 1);
}

bool sync_dir(const std::string&)
{
    // Renames are made with MOVEFILE_WRITE_THROUGH: they are on disk when
    // the call returns, and a directory cannot be synced apart from them.
    return true;
}

LinkResult link_file(const std::string& from, const std::string& to)
{
    if (CreateHardLinkA(to.c_str(), from.c_str(), nullptr))
        return LinkResult::linked;
    DWORD code = GetLastError();
    failed_win32(code);
    bool unsupported = code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
                       code == ERROR_NOT_SAME_DEVICE || code == ERROR_TOO_MANY_LINKS ||
                       code == ERROR_ACCESS_DENIED;
    return unsupported ? LinkResult::unsupported : LinkResult::failed;
}

bool rename_over(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           failed_win32();
}

bool rename_noreplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0 || failed_win32();
}

bool rename_by_link(const std::string& from, const std::string& to)
{
    if (!CreateHardLinkA(to.c_str(), from.c_str(), nullptr))
        return failed_win32();
    if (DeleteFileA(from.c_str()))
        return true;
    DWORD code = GetLastError();
    DeleteFileA(to.c_str());
    return failed_win32(code);
}

bool write_console(Stream s, std::string_view text, TextEncoding encoding)
{
    HANDLE h = GetStdHandle(s == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &mode))
        return false;  // a file or a pipe: it gets the bytes
    UINT from = encoding == TextEncoding::utf8 ? CP_UTF8 : CP_ACP;
    int n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    std::wstring lines;
    for (wchar_t c : wide) {
        if (c == L'\n')
            lines += L'\r';
        lines += c;
    }
    DWORD written = 0;
    return WriteConsoleW(h, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) != 0;
}

std::string locale_codeset()
{
    // Redirected output keeps the tools' original bytes: Shift-JIS.
    return "CP932";
}

}  // namespace platform
