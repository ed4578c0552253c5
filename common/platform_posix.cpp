// POSIX side of the platform layer.
#include "platform.hpp"

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <pthread.h>
#include <locale.h>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr mode_t kNewDirMode = 0777;
constexpr mode_t kPermissionBits = 07777;

SysError call_error()
{
    return SysError{errno};
}

int fd(Handle h)
{
    return static_cast<int>(h);
}

FileInfo info_of(const struct stat& st)
{
    const Kind kind = S_ISREG(st.st_mode) ? Kind::regular : S_ISDIR(st.st_mode) ? Kind::directory : Kind::other;
    return {kind, static_cast<std::uint64_t>(st.st_size),
            FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}};
}

class PosixFiles final : public FileSystem {
public:
    Result<Handle> open_regular(const std::string& path, Links links) override
    {
        // Looked at before it is opened: opening a FIFO waits for a writer,
        // and opening some devices acts on them.
        struct stat st {};
        int looked = links == Links::follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
        if (looked != 0)
            return {kNoHandle, call_error()};
        if (!S_ISREG(st.st_mode))
            return {kNoHandle, SysError{kNotRegular}};
        int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::refuse ? O_NOFOLLOW : 0);
        int h = ::open(path.c_str(), flags);
        if (h < 0)
            return {kNoHandle, SysError{errno == ELOOP ? kNotRegular : errno}};
        // The name may have been given to something else in between.
        if (::fstat(h, &st) != 0 || !S_ISREG(st.st_mode)) {
            SysError e{S_ISREG(st.st_mode) ? errno : kNotRegular};
            ::close(h);
            return {kNoHandle, e};
        }
        return {h, {}};
    }

    Result<Handle> create_new(const std::string& path) override
    {
        int h = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        return h >= 0 ? Result<Handle>{h, {}} : Result<Handle>{kNoHandle, call_error()};
    }

    Result<std::size_t> read(Handle h, std::span<std::uint8_t> buf) override
    {
        ssize_t got;
        do
            got = ::read(fd(h), buf.data(), buf.size());
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return {0, call_error()};
        return {static_cast<std::size_t>(got), {}};
    }

    Result<std::size_t> write(Handle h, std::span<const std::uint8_t> data) override
    {
        ssize_t put;
        do
            put = ::write(fd(h), data.data(), data.size());
        while (put < 0 && errno == EINTR);
        if (put < 0)
            return {0, call_error()};
        if (put == 0)
            return {0, SysError{EIO}};
        return {static_cast<std::size_t>(put), {}};
    }

    SysError seek(Handle h, std::uint64_t offset) override
    {
        static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");
        if (::lseek(fd(h), static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset))
            return call_error();
        return {};
    }

    Result<FileInfo> info(Handle h) override
    {
        struct stat st {};
        if (::fstat(fd(h), &st) != 0)
            return {{}, call_error()};
        return {info_of(st), {}};
    }

    SysError sync(Handle h) override
    {
        return ::fsync(fd(h)) == 0 ? SysError{} : call_error();
    }

    SysError start_writeback(Handle h, std::uint64_t offset, std::uint64_t size) override
    {
#if defined(BNDTOOLS_HAVE_SYNC_FILE_RANGE)
        return ::sync_file_range(fd(h), static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE) == 0
                   ? SysError{}
                   : call_error();
#else
        (void)h;
        (void)offset;
        (void)size;
        return SysError{kUnsupported};
#endif
    }

    SysError close(Handle h) override
    {
        return ::close(fd(h)) == 0 ? SysError{} : call_error();
    }

    SysError copy_attributes(Handle from, Handle to) override
    {
        struct stat st {};
        if (::fstat(fd(from), &st) != 0)
            return call_error();
        // Owner first: a change of owner clears the set-user-ID and
        // set-group-ID bits. Only a privileged process may give a file
        // away; for others this fails, and the file stays theirs.
        if (::fchown(fd(to), st.st_uid, st.st_gid) != 0 && errno != EPERM)
            return call_error();
        return ::fchmod(fd(to), st.st_mode & kPermissionBits) == 0 ? SysError{} : call_error();
    }

    Result<FileInfo> look(const std::string& path, Links links) override
    {
        struct stat st {};
        int looked = links == Links::follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
        if (looked == 0)
            return {info_of(st), {}};
        if (errno == ENOENT || errno == ENOTDIR)
            return {{}, {}};
        return {{}, call_error()};
    }

    SysError remove(const std::string& path) override
    {
        return ::unlink(path.c_str()) == 0 ? SysError{} : call_error();
    }

    SysError make_dir(const std::string& path) override
    {
        if (::mkdir(path.c_str(), kNewDirMode) == 0)
            return {};
        const int code = errno;
        struct stat st {};
        if (code == EEXIST)
            return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? SysError{} : SysError{ENOTDIR};
        return SysError{code};
    }

    Result<std::vector<std::string>> list_dir(const std::string& path) override
    {
        DIR* d = ::opendir(path.c_str());
        if (!d)
            return {{}, call_error()};
        Result<std::vector<std::string>> r;
        try {
            errno = 0;
            while (const dirent* e = ::readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..")
                    r.value.push_back(std::move(name));
            }
            if (errno != 0)
                r = {{}, call_error()};
        } catch (const std::bad_alloc&) {
            r = {{}, SysError{ENOMEM}};
        }
        ::closedir(d);
        return r;
    }

    SysError sync_dir(const std::string& path) override
    {
        int d = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d < 0)
            return call_error();
        const int synced = ::fsync(d);
        const int code = errno;
        ::close(d);
        // Some filesystems keep no directory data to sync and say so.
        if (synced == 0 || dir_sync_refused(SysError{code}))
            return {};
        return SysError{code};
    }

    Result<std::uint64_t> free_space(const std::string& dir) override
    {
        struct statvfs st;
        if (::statvfs(dir.c_str(), &st) != 0)
            return {0, call_error()};
        return {static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize, {}};
    }

    SysError link(const std::string& from, const std::string& to) override
    {
        return ::link(from.c_str(), to.c_str()) == 0 ? SysError{} : call_error();
    }

    SysError rename_replace(const std::string& from, const std::string& to) override
    {
        return ::rename(from.c_str(), to.c_str()) == 0 ? SysError{} : call_error();
    }

    SysError rename_noreplace(const std::string& from, const std::string& to) override
    {
#if defined(BNDTOOLS_HAVE_RENAMEAT2)
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? SysError{}
                                                                                                  : call_error();
#elif defined(BNDTOOLS_HAVE_RENAMEX_NP)
        return ::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0 ? SysError{} : call_error();
#else
        (void)from;
        (void)to;
        return SysError{kUnsupported};
#endif
    }

    SysError exchange(const std::string& a, const std::string& b) override
    {
#if defined(BNDTOOLS_HAVE_RENAMEAT2)
        return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ? SysError{}
                                                                                          : call_error();
#elif defined(BNDTOOLS_HAVE_RENAMEX_NP)
        return ::renamex_np(a.c_str(), b.c_str(), RENAME_SWAP) == 0 ? SysError{} : call_error();
#else
        (void)a;
        (void)b;
        return SysError{kUnsupported};
#endif
    }
};

// The temporaries to remove when a signal ends the process. A pointer is
// stored and loaded in one step, so the handler sees a whole name or none.
std::atomic<const char*> g_temps[kMaxHeldTemps];
static_assert(std::atomic<const char*>::is_always_lock_free);

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temps_and_end(int sig)
{
    remove_held_temps();
    // SA_RESETHAND has put back the default action: once this handler
    // returns, the signal ends the process with the usual status.
    ::raise(sig);
}

}  // namespace

FileSystem& system_files()
{
    static PosixFiles files;
    return files;
}

SysError system_write_stream(Stream s, std::string_view bytes)
{
    const int out = s == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
    while (!bytes.empty()) {
        ssize_t put = ::write(out, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return SysError{put < 0 ? errno : EIO};
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return {};
}

bool system_is_console(Stream)
{
    return false;  // a terminal here takes bytes in the locale's encoding
}

SysError write_console(Stream, std::string_view)
{
    return SysError{kUnsupported};
}

std::string native_text(std::string_view utf8)
{
    return std::string(utf8);
}

std::optional<std::string> locale_codeset()
{
    // Asked of a locale object of its own, so that the process keeps the C
    // locale: the system's error texts stay English, as the detail lines
    // promise, and nothing else reads text by the user's locale. A locale
    // that cannot be had reads as C.
    locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0))
        return std::string();
    std::string codeset = ::nl_langinfo_l(CODESET, user);
    ::freelocale(user);
    return codeset;
}

void prepare_process()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    for (int sig : kEndingSignals) {
        struct sigaction was {};
        ::sigaction(sig, nullptr, &was);
        if (was.sa_handler == SIG_IGN)
            continue;  // ignored by whoever started us (nohup): so it stays
        struct sigaction now {};
        now.sa_handler = remove_temps_and_end;
        now.sa_flags = SA_RESETHAND;
        sigemptyset(&now.sa_mask);
        ::sigaction(sig, &now, nullptr);
    }
}

struct Thread {
    pthread_t id;
    void (*task)(void*);
    void* arg;
};

namespace {

void* run_thread(void* thread)
{
    Thread* t = static_cast<Thread*>(thread);
    t->task(t->arg);
    return nullptr;
}

}  // namespace

Thread* start_thread(void (*task)(void* arg), void* arg)
{
    Thread* t = new Thread{{}, task, arg};
    if (::pthread_create(&t->id, nullptr, run_thread, t) != 0) {
        delete t;
        return nullptr;
    }
    return t;
}

void join_thread(Thread* thread)
{
    ::pthread_join(thread->id, nullptr);
    delete thread;
}

Result<int> hold_temp(const std::string& path)
{
    for (int slot = 0; slot < kMaxHeldTemps; ++slot) {
        const char* none = nullptr;
        if (g_temps[slot].compare_exchange_strong(none, path.c_str()))
            return {slot, {}};
    }
    return {kNoSlot, SysError{kTooManyTemps}};
}

void release_temp(int slot)
{
    if (slot != kNoSlot)
        g_temps[slot].store(nullptr);
}

void remove_held_temps()
{
    for (std::atomic<const char*>& held : g_temps)
        if (const char* temp = held.load())
            ::unlink(temp);
}

std::vector<std::string> held_temps()
{
    std::vector<std::string> names;
    for (std::atomic<const char*>& held : g_temps)
        if (const char* temp = held.load())
            names.emplace_back(temp);
    return names;
}

ConsoleState console_state()
{
    return {};  // a terminal belongs to the shell that started the program
}

void wait_for_key() {}

Result<std::string> program_path()
{
#if defined(__linux__)
    // The link the kernel keeps to the program's file: a path with no
    // link left in it. Its length is known only once it fits.
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            return {{}, call_error()};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            return {path, {}};
        }
        path.resize(path.size() * 2);
    }
#else
    return {{}, SysError{kUnsupported}};
#endif
}

}  // namespace platform
