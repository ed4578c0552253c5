// The thin layer over the operating system. Everything above it works on
// byte spans and the calls of FileSystem, each one system call (or the few
// that make one safe step), named for what it does. Every call hands back
// its error with its result; there is no last error to ask for.
//
// The tools reach files only through a FileSystem, so that tests can put
// one in its place that fails any call, or stops the run there as a crash
// would. The console and the process (signals) are reached directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// The characters that end a directory part of a path, and whether the
// programs expand wildcards themselves (no shell does on Windows).
#ifdef _WIN32
inline constexpr char kPathSeparators[] = "/\\:";
inline constexpr bool kExpandsWildcards = true;
#else
inline constexpr char kPathSeparators[] = "/";
inline constexpr bool kExpandsWildcards = false;
#endif

// Why a call failed: an errno value, or on Windows a system error code;
// 0 when it did not. Negative codes are this layer's own.
struct SysError {
    int code = 0;
    explicit operator bool() const { return code != 0; }
    bool operator==(const SysError&) const = default;
};
inline constexpr int kNotRegular = -1;   // the name is not a regular file (a directory, link, FIFO, device)
inline constexpr int kUnsupported = -2;  // the system has no such call
inline constexpr int kTooManyTemps = -3; // every slot for a temporary is taken

// system_error_text -- each system's own text for one of its errors, in
// English; "" where the system has none
std::string system_error_text(SysError e);

// not_found -- whether an error says that nothing has the name
bool not_found(SysError e);

// nothing_there -- the error that says nothing has a name
SysError nothing_there();

// not_a_directory -- the error that says a name that should be a
// directory holds something else
SysError not_a_directory();

// out_of_memory -- whether an error says memory ran out
bool out_of_memory(SysError e);

// link_refused -- whether a failed link says the filesystem cannot link
// at all (FAT, or EPERM, EXDEV, EMLINK, ENOTSUP, EOPNOTSUPP), as opposed
// to this link failing
bool link_refused(SysError e);

// dir_sync_refused -- whether a failed directory sync says the filesystem
// keeps no directory data to sync (EINVAL, ENOTSUP), as opposed to the
// sync failing
bool dir_sync_refused(SysError e);

// noreplace_refused -- whether a failed rename_noreplace says the system
// or filesystem has no such rename, as opposed to this rename failing
bool noreplace_refused(SysError e);

// A result and the error that stands for it when the call failed.
template <typename T>
struct Result {
    T value{};
    SysError error{};
};

// Which file a name or handle reaches: device and file number (volume
// serial and file index on Windows).
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileId&) const = default;
};

enum class Kind { none, regular, directory, other };

// What a name or a handle holds.
struct FileInfo {
    Kind kind = Kind::none;
    std::uint64_t size = 0;  // of a regular file
    FileId id;
};

enum class Links { follow, refuse };

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // open_regular -- open an existing regular file for binary reading
    // without waiting on it; anything else (and with Links::refuse a
    // symbolic link) fails with kNotRegular before it is opened
    virtual Result<Handle> open_regular(const std::string& path, Links links) = 0;
    // create_new -- a new, empty file for binary writing; fails when the
    // name is taken, by anything
    virtual Result<Handle> create_new(const std::string& path) = 0;
    // read -- one read: the bytes that arrived, 0 at the end of the file
    virtual Result<std::size_t> read(Handle h, std::span<std::uint8_t> buf) = 0;
    // write -- one write: the bytes taken, at least one
    virtual Result<std::size_t> write(Handle h, std::span<const std::uint8_t> data) = 0;
    // seek -- position at an absolute 64-bit offset
    virtual SysError seek(Handle h, std::uint64_t offset) = 0;
    // info -- what an open file is
    virtual Result<FileInfo> info(Handle h) = 0;
    // sync -- push the file's data to stable storage
    virtual SysError sync(Handle h) = 0;
    // start_writeback -- ask the system to start writing these bytes of a
    // file to stable storage now, without waiting for them: a sync to come
    // then waits only for what is left; kUnsupported where it cannot
    virtual SysError start_writeback(Handle h, std::uint64_t offset, std::uint64_t size) = 0;
    // close -- close a handle; the error is what the system reports, the
    // handle is gone either way
    virtual SysError close(Handle h) = 0;
    // copy_attributes -- give `to` the permission bits of `from`, and its
    // owner and group where the process may
    virtual SysError copy_attributes(Handle from, Handle to) = 0;
    // look -- what a name holds; Kind::none, and no error, when nothing has it
    virtual Result<FileInfo> look(const std::string& path, Links links) = 0;
    // remove -- delete a file (never a directory)
    virtual SysError remove(const std::string& path) = 0;
    // make_dir -- create a directory, or accept one that is there already
    virtual SysError make_dir(const std::string& path) = 0;
    // list_dir -- the names in a directory, "." and ".." left out
    virtual Result<std::vector<std::string>> list_dir(const std::string& path) = 0;
    // sync_dir -- make the names in a directory durable, where the system
    // needs that done apart from the files
    virtual SysError sync_dir(const std::string& path) = 0;
    // free_space -- the bytes a directory's filesystem lets this process
    // still write there
    virtual Result<std::uint64_t> free_space(const std::string& dir) = 0;
    // link -- give a file a second name; fails when that name is taken
    virtual SysError link(const std::string& from, const std::string& to) = 0;
    // rename_replace -- give a file a new name in one step, replacing the
    // file that had it
    virtual SysError rename_replace(const std::string& from, const std::string& to) = 0;
    // rename_noreplace -- give a file a new name in one step; fails,
    // changing nothing, when the name is taken. Some systems and
    // filesystems refuse the call itself (noreplace_refused).
    virtual SysError rename_noreplace(const std::string& from, const std::string& to) = 0;
    // exchange -- swap the files two names reach, in one step;
    // kUnsupported where the system cannot
    virtual SysError exchange(const std::string& a, const std::string& b) = 0;
};

// system_files -- the system's own file calls
FileSystem& system_files();

// parent_dir -- the directory a path names its file in ("." for a bare name)
std::string parent_dir(const std::string& path);

// The standard streams.
enum class Stream { out, err };

// How a stream takes what is written: as text, each line feed going out
// as CR LF on Windows, or as data, byte for byte everywhere.
enum class StreamMode { text, binary };

// write_stream -- bytes to a standard stream
SysError write_stream(Stream s, std::string_view bytes, StreamMode mode = StreamMode::text);

// is_console -- whether the stream is a console that takes Unicode text
// (Windows); never on other systems, whose terminals take bytes
bool is_console(Stream s);

// What the standard streams would carry, for a program run in-process:
// the bytes a redirected stream gets, line ends and all.
struct StreamCapture {
    std::string out;
    std::string err;
};

// capture_streams -- from now on the standard streams go into *capture,
// neither of them a console; nullptr gives them back to the system
void capture_streams(StreamCapture* capture);

// system_write_stream / system_is_console -- each system's own part of
// write_stream and is_console; the bytes as they go out
SysError system_write_stream(Stream s, std::string_view bytes);
bool system_is_console(Stream s);

// write_console -- UTF-8 text to a console stream, as Unicode
SysError write_console(Stream s, std::string_view utf8);

// native_text -- UTF-8 text (a file name) in the bytes a redirected stream
// carries: on Windows Shift-JIS, a character it lacks written as '?'; on
// other systems the bytes as given
std::string native_text(std::string_view utf8);

// The console a program runs in: how many processes share it (0 where
// the system does not say), and whether standard input and standard
// output are that console.
struct ConsoleState {
    unsigned processes = 0;
    bool input = false;
    bool output = false;
};

// console_state -- the console as it is now
ConsoleState console_state();

// wait_for_key -- wait until a key is pressed on the console
void wait_for_key();

// program_path -- the full path of the running program's own file, links
// resolved; kUnsupported where the system does not tell it
Result<std::string> program_path();

// locale_codeset -- the character encoding the user's locale names for
// text written to a file or pipe ("UTF-8", "SHIFT_JIS", "EUC-JP", ...);
// none where the system has no such locale (Windows)
std::optional<std::string> locale_codeset();

// prepare_process -- a write to a full file or a lost pipe fails and is
// reported instead of killing the process (SIGXFSZ, SIGPIPE ignored), and
// an interrupt, hang-up or termination removes the temporary in flight
// before the process ends by it as it would have
void prepare_process();

// A second thread of the process, running one task (the system's own
// threads: the standard library's report their failures through a narrow
// message call on Windows).
struct Thread;
// start_thread -- task(arg) running on a new thread; nullptr where none can
// be started, and the caller then does the task itself
Thread* start_thread(void (*task)(void* arg), void* arg);
// join_thread -- wait until the thread's task has ended, and let it go
void join_thread(Thread* thread);

// The temporaries to remove if the process is interrupted: every output
// that holds one, at most kMaxHeldTemps at once (a tool has two at most).
// Each name is made ready when it is held, before the file exists, so that
// the handler only has to remove it; the text must stay as it is until it
// is released.
inline constexpr int kMaxHeldTemps = 8;
inline constexpr int kNoSlot = -1;

// hold_temp -- a slot that now holds path; kTooManyTemps when every slot
// is taken, or why the name cannot be made ready
Result<int> hold_temp(const std::string& path);
// release_temp -- empty one slot, leaving the others as they are
void release_temp(int slot);
// remove_held_temps -- remove every temporary held: what an interrupt does
// before the process ends. Safe in a signal handler: it allocates nothing.
void remove_held_temps();
// held_temps -- the names remove_held_temps would remove now, as it hands
// them to the system (on Windows the full path): for a test whose files
// are not on the disk, to remove them there as an interrupt would
std::vector<std::string> held_temps();

}  // namespace platform
