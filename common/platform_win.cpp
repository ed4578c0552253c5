// Windows side of the platform layer, over the wide (UTF-16) system calls
// only: every name is UTF-8 inside the tools and becomes UTF-16 here, at
// the call.
#include "platform.hpp"

#include <algorithm>
#include <atomic>
#include <new>
#include <windows.h>

#include "long_paths.hpp"
#include "text.hpp"
#include "unicode.hpp"

namespace platform {

namespace {

// ReadFile and WriteFile take a 32-bit count.
constexpr std::size_t kMaxChunk = 1u << 30;

SysError call_error()
{
    return SysError{static_cast<int>(GetLastError())};
}

HANDLE win(Handle h)
{
    return reinterpret_cast<HANDLE>(h);
}

Handle ours(HANDLE h)
{
    return reinterpret_cast<Handle>(h);
}

std::wstring as_wide(const std::u16string& s)
{
    return std::wstring(s.begin(), s.end());
}

// full_path -- the system's full path for a name (the current directory
// and drive put in front, `.` and `..` resolved, `/` made `\`); none
// when it cannot make one
std::optional<std::wstring> full_path(const std::wstring& name)
{
    DWORD n = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    while (n > full.size()) {  // the size asked for includes the final zero
        full.assign(n, L'\0');
        n = GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
        if (n == 0)
            return std::nullopt;
    }
    if (n == 0)
        return std::nullopt;
    full.resize(n);
    return full;
}

// system_path -- a name as the wide calls take it: a long one as a full
// path in extended form; none when it is not well-formed UTF-8, which no
// file can have
std::optional<std::wstring> system_path(const std::string& path)
{
    std::optional<std::u16string> wide = utf8_to_utf16(path);
    if (!wide)
        return std::nullopt;
    // A relative name may be long once the current directory is in front
    // of it; one the system cannot make full is left to fail at the call.
    std::optional<std::wstring> full = full_path(as_wide(*wide));
    if (!full)
        return as_wide(*wide);
    return as_wide(system_form(*wide, std::u16string(full->begin(), full->end())));
}

// A name made ready for a call, or the error that stands for it.
struct SystemPath {
    std::wstring text;
    SysError error;
};

// path_for -- the name for a call. Like every call of this layer it hands
// back its failure: one thrown in the middle of a rename's steps would skip
// their undoing.
SystemPath path_for(const std::string& path)
{
    try {
        std::optional<std::wstring> p = system_path(path);
        if (!p)
            return {{}, SysError{ERROR_INVALID_NAME}};
        return {std::move(*p), {}};
    } catch (const std::bad_alloc&) {
        return {{}, SysError{ERROR_NOT_ENOUGH_MEMORY}};
    }
}

std::string utf8_of(const wchar_t* s)
{
    std::u16string u(s, s + wcslen(s));
    return utf16_to_utf8(u, LoneSurrogates::encode).value_or("");
}

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

FileInfo info_of(HANDLE h, bool refuse_links, SysError& error)
{
    BY_HANDLE_FILE_INFORMATION i{};
    if (!GetFileInformationByHandle(h, &i)) {
        error = call_error();
        return {};
    }
    Kind kind = Kind::regular;
    if (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        kind = Kind::directory;
    else if ((refuse_links && (i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) || GetFileType(h) != FILE_TYPE_DISK)
        kind = Kind::other;
    return {kind, (static_cast<std::uint64_t>(i.nFileSizeHigh) << 32) | i.nFileSizeLow,
            FileId{i.dwVolumeSerialNumber, (static_cast<std::uint64_t>(i.nFileIndexHigh) << 32) | i.nFileIndexLow}};
}

SysError ok_or_last(BOOL done)
{
    return done ? SysError{} : call_error();
}

class WindowsFiles final : public FileSystem {
public:
    Result<Handle> open_regular(const std::string& path, Links links) override
    {
        SystemPath p = path_for(path);
        if (p.error)
            return {kNoHandle, p.error};
        DWORD attributes = GetFileAttributesW(p.text.c_str());
        if (attributes == kNoAttributes)
            return {kNoHandle, call_error()};
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (links == Links::refuse && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
            return {kNoHandle, SysError{kNotRegular}};
        HANDLE h = CreateFileW(p.text.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return {kNoHandle, call_error()};
        if (GetFileType(h) != FILE_TYPE_DISK) {  // devices such as NUL or CON
            CloseHandle(h);
            return {kNoHandle, SysError{kNotRegular}};
        }
        return {ours(h), {}};
    }

    Result<Handle> create_new(const std::string& path) override
    {
        SystemPath p = path_for(path);
        if (p.error)
            return {kNoHandle, p.error};
        // Shared for deletion, so that an interrupt can remove it while it
        // is open.
        HANDLE h = CreateFileW(p.text.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return {kNoHandle, call_error()};
        return {ours(h), {}};
    }

    Result<std::size_t> read(Handle h, std::span<std::uint8_t> buf) override
    {
        DWORD got = 0;
        if (!ReadFile(win(h), buf.data(), static_cast<DWORD>(std::min(buf.size(), kMaxChunk)), &got, nullptr))
            return {0, call_error()};
        return {got, {}};
    }

    Result<std::size_t> write(Handle h, std::span<const std::uint8_t> data) override
    {
        DWORD put = 0;
        if (!WriteFile(win(h), data.data(), static_cast<DWORD>(std::min(data.size(), kMaxChunk)), &put, nullptr))
            return {0, call_error()};
        if (put == 0)
            return {0, SysError{ERROR_DISK_FULL}};
        return {put, {}};
    }

    SysError seek(Handle h, std::uint64_t offset) override
    {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        return ok_or_last(SetFilePointerEx(win(h), to, nullptr, FILE_BEGIN));
    }

    Result<FileInfo> info(Handle h) override
    {
        SysError e;
        FileInfo i = info_of(win(h), false, e);
        return {i, e};
    }

    SysError start_writeback(Handle, std::uint64_t, std::uint64_t) override
    {
        return SysError{kUnsupported};  // the system has no such call: the sync does all the writing
    }

    SysError sync(Handle h) override
    {
        // A file open only for reading has no writes of this process to
        // flush, and the system refuses the call for it.
        if (!FlushFileBuffers(win(h)) && GetLastError() != ERROR_ACCESS_DENIED)
            return call_error();
        return {};
    }

    SysError close(Handle h) override
    {
        return ok_or_last(CloseHandle(win(h)));
    }

    SysError copy_attributes(Handle, Handle) override
    {
        // A new file has the default security of its directory, as the old
        // one had; the read-only attribute is not carried over, since a
        // read-only file could not be replaced.
        return {};
    }

    Result<FileInfo> look(const std::string& path, Links links) override
    {
        SystemPath p = path_for(path);
        if (p.error)
            return {{}, p.error};
        // Opened for no access at all: only to be looked at. Directories
        // open only with backup semantics.
        DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (links == Links::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
        HANDLE h = CreateFileW(p.text.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, flags, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            SysError e = call_error();
            return {{}, not_found(e) ? SysError{} : e};
        }
        SysError e;
        FileInfo i = info_of(h, links == Links::refuse, e);
        CloseHandle(h);
        return {i, e};
    }

    SysError remove(const std::string& path) override
    {
        SystemPath p = path_for(path);
        return p.error ? p.error : ok_or_last(DeleteFileW(p.text.c_str()));
    }

    SysError make_dir(const std::string& path) override
    {
        SystemPath p = path_for(path);
        if (p.error)
            return p.error;
        if (CreateDirectoryW(p.text.c_str(), nullptr))
            return {};
        SysError e = call_error();
        if (e.code != ERROR_ALREADY_EXISTS)
            return e;
        DWORD attributes = GetFileAttributesW(p.text.c_str());
        bool directory = attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return directory ? SysError{} : SysError{ERROR_DIRECTORY};
    }

    Result<std::vector<std::string>> list_dir(const std::string& path) override
    {
        SystemPath p = path_for(path);
        if (p.error)
            return {{}, p.error};
        // A directory named with its separator ("C:\\", "DATA\\", or the
        // drive "C:", whose current directory it is) takes the pattern
        // straight after it.
        const wchar_t last = p.text.empty() ? L'\0' : p.text.back();
        if (last != L'\\' && last != L'/' && last != L':')
            p.text += L'\\';
        p.text += L'*';
        WIN32_FIND_DATAW entry{};
        HANDLE find = FindFirstFileW(p.text.c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return {{}, call_error()};
        Result<std::vector<std::string>> r;
        try {
            do {
                std::string name = utf8_of(entry.cFileName);
                if (name != "." && name != "..")
                    r.value.push_back(std::move(name));
            } while (FindNextFileW(find, &entry));
            if (SysError e = call_error(); e.code != ERROR_NO_MORE_FILES)
                r = {{}, e};
        } catch (const std::bad_alloc&) {
            r = {{}, SysError{ERROR_NOT_ENOUGH_MEMORY}};
        }
        FindClose(find);
        return r;
    }

    SysError sync_dir(const std::string&) override
    {
        // Renames are made with MOVEFILE_WRITE_THROUGH: they are on disk
        // when the call returns, and a directory cannot be synced apart.
        return {};
    }

    Result<std::uint64_t> free_space(const std::string& dir) override
    {
        SystemPath d = path_for(dir);
        if (d.error)
            return {0, d.error};
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(d.text.c_str(), &available, nullptr, nullptr))
            return {0, call_error()};
        return {available.QuadPart, {}};
    }

    SysError link(const std::string& from, const std::string& to) override
    {
        SystemPath f = path_for(from), t = path_for(to);
        if (f.error || t.error)
            return f.error ? f.error : t.error;
        return ok_or_last(CreateHardLinkW(t.text.c_str(), f.text.c_str(), nullptr));
    }

    SysError rename_replace(const std::string& from, const std::string& to) override
    {
        return move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }

    SysError rename_noreplace(const std::string& from, const std::string& to) override
    {
        // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
        return move(from, to, MOVEFILE_WRITE_THROUGH);
    }

    SysError exchange(const std::string&, const std::string&) override
    {
        return SysError{kUnsupported};
    }

private:
    static SysError move(const std::string& from, const std::string& to, DWORD flags)
    {
        SystemPath f = path_for(from), t = path_for(to);
        if (f.error || t.error)
            return f.error ? f.error : t.error;
        return ok_or_last(MoveFileExW(f.text.c_str(), t.text.c_str(), flags));
    }
};

HANDLE stream_handle(Stream s)
{
    return GetStdHandle(s == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// The temporaries to remove on an interrupt, as the wide call takes them.
// The handler runs on a thread of its own, so each name made ready is kept
// to the end of the process: one that the handler may be reading is never
// freed.
std::atomic<const wchar_t*> g_temps[kMaxHeldTemps];

BOOL WINAPI remove_temps_and_end(DWORD)
{
    remove_held_temps();
    return FALSE;  // the default handler then ends the process
}

}  // namespace

std::string system_error_text(SysError e)
{
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(e.code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n && text ? utf8_of(text) : std::string();
    LocalFree(text);
    // The system's texts are sentences ending in ". \r\n"; a detail line wants the bare reason.
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

bool not_found(SysError e)
{
    return e.code == ERROR_FILE_NOT_FOUND || e.code == ERROR_PATH_NOT_FOUND;
}

SysError nothing_there()
{
    return SysError{ERROR_FILE_NOT_FOUND};
}

SysError not_a_directory()
{
    return SysError{ERROR_DIRECTORY};
}

bool out_of_memory(SysError e)
{
    return e.code == ERROR_NOT_ENOUGH_MEMORY || e.code == ERROR_OUTOFMEMORY;
}

bool link_refused(SysError e)
{
    return e.code == ERROR_INVALID_FUNCTION || e.code == ERROR_NOT_SUPPORTED || e.code == ERROR_NOT_SAME_DEVICE ||
           e.code == ERROR_TOO_MANY_LINKS || e.code == ERROR_ACCESS_DENIED;
}

bool dir_sync_refused(SysError)
{
    return false;  // a directory is never synced apart here
}

bool noreplace_refused(SysError e)
{
    return e.code == kUnsupported;  // MoveFileExW always refuses to replace
}

FileSystem& system_files()
{
    static WindowsFiles files;
    return files;
}

SysError system_write_stream(Stream s, std::string_view bytes)
{
    HANDLE h = stream_handle(s);
    std::string_view rest = bytes;
    while (!rest.empty()) {
        DWORD put = 0;
        if (!WriteFile(h, rest.data(), static_cast<DWORD>(std::min(rest.size(), kMaxChunk)), &put, nullptr))
            return call_error();
        if (put == 0)
            return SysError{ERROR_DISK_FULL};
        rest.remove_prefix(put);
    }
    return {};
}

bool system_is_console(Stream s)
{
    DWORD mode = 0;
    HANDLE h = stream_handle(s);
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

SysError write_console(Stream s, std::string_view utf8)
{
    std::wstring lines;
    for (char16_t c : utf8_to_utf16_shown(utf8)) {
        if (c == u'\n')
            lines += L'\r';
        lines += static_cast<wchar_t>(c);
    }
    DWORD written = 0;
    return ok_or_last(WriteConsoleW(stream_handle(s), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr));
}

std::string native_text(std::string_view utf8)
{
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(utf8);
    const std::wstring wide = as_wide(utf8_to_utf16_shown(utf8));
    // No best fit: a look-alike of a character Shift-JIS lacks would name
    // another file; '?' names none.
    constexpr UINT kShiftJis = 932;
    int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                "?", nullptr);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n, "?",
                        nullptr);
    return out;
}

std::optional<std::string> locale_codeset()
{
    return std::nullopt;  // a code page, not a locale, says how text reaches a file
}

void prepare_process()
{
    SetConsoleCtrlHandler(remove_temps_and_end, TRUE);
}

struct Thread {
    HANDLE handle;
    void (*task)(void*);
    void* arg;
};

namespace {

DWORD WINAPI run_thread(LPVOID thread)
{
    Thread* t = static_cast<Thread*>(thread);
    t->task(t->arg);
    return 0;
}

}  // namespace

Thread* start_thread(void (*task)(void* arg), void* arg)
{
    Thread* t = new Thread{nullptr, task, arg};
    t->handle = ::CreateThread(nullptr, 0, run_thread, t, 0, nullptr);
    if (!t->handle) {
        delete t;
        return nullptr;
    }
    return t;
}

void join_thread(Thread* thread)
{
    ::WaitForSingleObject(thread->handle, INFINITE);
    ::CloseHandle(thread->handle);
    delete thread;
}

Result<int> hold_temp(const std::string& path)
{
    SystemPath p = path_for(path);
    if (p.error)
        return {kNoSlot, p.error};
    wchar_t* kept = new wchar_t[p.text.size() + 1];
    std::copy(p.text.c_str(), p.text.c_str() + p.text.size() + 1, kept);
    for (int slot = 0; slot < kMaxHeldTemps; ++slot) {
        const wchar_t* none = nullptr;
        if (g_temps[slot].compare_exchange_strong(none, kept))
            return {slot, {}};
    }
    delete[] kept;  // never seen by the handler
    return {kNoSlot, SysError{kTooManyTemps}};
}

void release_temp(int slot)
{
    if (slot != kNoSlot)
        g_temps[slot].store(nullptr);
}

void remove_held_temps()
{
    for (std::atomic<const wchar_t*>& held : g_temps)
        if (const wchar_t* temp = held.load())
            DeleteFileW(temp);
}

std::vector<std::string> held_temps()
{
    std::vector<std::string> names;
    for (std::atomic<const wchar_t*>& held : g_temps)
        if (const wchar_t* temp = held.load())
            names.push_back(utf8_of(temp));
    return names;
}

ConsoleState console_state()
{
    DWORD ids[2];
    DWORD mode = 0;
    ConsoleState c;
    c.processes = GetConsoleProcessList(ids, 2);  // how many there are, even past the two asked for
    c.input = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
    c.output = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    return c;
}

void wait_for_key()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(in);  // keys pressed while the tool ran do not count
    INPUT_RECORD record{};
    DWORD got = 0;
    while (ReadConsoleInputW(in, &record, 1, &got)) {
        if (got == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
    }
}

Result<std::string> program_path()
{
    // The call cuts a path too long for the buffer, and says so only by
    // filling it: a larger one is tried until the path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {{}, call_error()};
        if (n < path.size()) {
            path.resize(n);
            return {utf8_of(path.c_str()), {}};
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
