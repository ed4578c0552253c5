// A FileSystem for tests: it makes the calls of another (the system's own,
// or one held in memory) and counts them, and can make the call numbered
// fail_at fail, refuse every call of a kind (as a filesystem without hard
// links does), make every read short, or stop the run at the call
// numbered stop_at as a crash would: that call and every later one fail
// without touching the files, so whatever the code does after it, they
// stay as the crash left them. Each call made is logged with the names it
// concerns, relative to `root`.
#pragma once

#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "platform.hpp"

// kInjected -- the error an injected failure gives (EIO, or its Windows kin)
extern const platform::SysError kInjected;

// failed -- what a call of result type R gives when it fails with e
template <typename R>
R failed(platform::SysError e)
{
    if constexpr (std::is_same_v<R, platform::SysError>)
        return e;
    else if constexpr (std::is_same_v<R, platform::Result<platform::Handle>>)
        return {platform::kNoHandle, e};
    else
        return {{}, e};
}

class FaultyFs final : public platform::FileSystem {
    using Handle = platform::Handle;
    using SysError = platform::SysError;
    using Path = const std::string&;
    template <typename T>
    using Result = platform::Result<T>;

public:
    explicit FaultyFs(std::string root = "", platform::FileSystem& inner = platform::system_files())
        : root_(std::move(root)), inner_(inner)
    {
    }
    ~FaultyFs() override;

    int fail_at = -1;                               // the call to fail, counting from 0
    SysError error = kInjected;                     // what it fails with
    int stop_at = -1;                               // the call at which the run stops
    bool interrupted = false;                       // the stop is an interrupt: held temporaries go, from inner
    std::map<std::string, SysError> refuse;         // calls of these kinds always fail so
    bool short_reads = false;                       // each read gives at most half what was asked
    int end_at = -1;                                // from this call on, a read finds the end

    int calls() const { return static_cast<int>(log.size()); }
    bool stopped() const { return stopped_; }
    // open_handles -- the files opened through it and not closed since
    std::vector<std::string> open_handles() const;
    std::vector<std::string> log;  // "kind name [name]" for each call counted

    Result<Handle> open_regular(Path path, platform::Links links) override
    {
        return opened(pass("open_regular", relative(path), [&] { return inner_.open_regular(path, links); }), path);
    }
    Result<Handle> create_new(Path path) override
    {
        return opened(pass("create_new", relative(path), [&] { return inner_.create_new(path); }), path);
    }
    Result<std::size_t> read(Handle h, std::span<std::uint8_t> buf) override;
    SysError close(Handle h) override;
    // The others are counted, and made unless they are to fail.
    Result<std::size_t> write(Handle h, std::span<const std::uint8_t> data) override
    {
        return pass("write", name_of(h), [&] { return inner_.write(h, data); });
    }
    SysError seek(Handle h, std::uint64_t offset) override
    {
        return pass("seek", name_of(h), [&] { return inner_.seek(h, offset); });
    }
    Result<platform::FileInfo> info(Handle h) override
    {
        return pass("info", name_of(h), [&] { return inner_.info(h); });
    }
    SysError sync(Handle h) override
    {
        return pass("sync", name_of(h), [&] { return inner_.sync(h); });
    }
    SysError start_writeback(Handle h, std::uint64_t offset, std::uint64_t size) override
    {
        return pass("start_writeback", name_of(h), [&] { return inner_.start_writeback(h, offset, size); });
    }
    SysError copy_attributes(Handle from, Handle to) override
    {
        return pass("copy_attributes", name_of(from), [&] { return inner_.copy_attributes(from, to); }, name_of(to));
    }
    Result<platform::FileInfo> look(Path path, platform::Links links) override
    {
        return pass("look", relative(path), [&] { return inner_.look(path, links); });
    }
    SysError remove(Path path) override
    {
        return pass("remove", relative(path), [&] { return inner_.remove(path); });
    }
    SysError make_dir(Path path) override
    {
        return pass("make_dir", relative(path), [&] { return inner_.make_dir(path); });
    }
    Result<std::vector<std::string>> list_dir(Path path) override
    {
        return pass("list_dir", relative(path), [&] { return inner_.list_dir(path); });
    }
    SysError sync_dir(Path path) override
    {
        return pass("sync_dir", relative(path), [&] { return inner_.sync_dir(path); });
    }
    Result<std::uint64_t> free_space(Path dir) override
    {
        return pass("free_space", relative(dir), [&] { return inner_.free_space(dir); });
    }
    SysError link(Path from, Path to) override
    {
        return pass("link", relative(from), [&] { return inner_.link(from, to); }, relative(to));
    }
    SysError rename_replace(Path from, Path to) override
    {
        return pass("rename_replace", relative(from), [&] { return inner_.rename_replace(from, to); }, relative(to));
    }
    SysError rename_noreplace(Path from, Path to) override
    {
        return pass("rename_noreplace", relative(from), [&] { return inner_.rename_noreplace(from, to); }, relative(to));
    }
    SysError exchange(Path a, Path b) override
    {
        return pass("exchange", relative(a), [&] { return inner_.exchange(a, b); }, relative(b));
    }

private:
    // step -- count a call; the error it gives instead of being made, if any
    SysError step(const std::string& kind, const std::string& a, const std::string& b = "");
    // pass -- count a call on the names a and b, then make it, unless it is to fail
    template <typename Call>
    auto pass(const char* kind, const std::string& a, Call call, const std::string& b = "") -> decltype(call())
    {
        if (SysError e = step(kind, a, b))
            return failed<decltype(call())>(e);
        return call();
    }
    // opened -- a handle r gives, kept with the name it opened
    Result<Handle> opened(Result<Handle> r, const std::string& path);
    // interrupt -- what the signal or console handler does: every held
    // temporary removed, from the inner file system
    void interrupt();
    std::string name_of(Handle h) const;
    std::string relative(const std::string& path) const;

    std::string root_;
    platform::FileSystem& inner_;
    bool stopped_ = false;
    std::map<Handle, std::string> names_;  // which file each open handle is
};
