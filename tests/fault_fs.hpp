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
#include <set>
#include <string>
#include <vector>

#include "platform.hpp"

// kInjected -- the error an injected failure gives (EIO, or its Windows kin)
extern const platform::SysError kInjected;

class FaultyFs final : public platform::FileSystem {
public:
    explicit FaultyFs(std::string root = "", platform::FileSystem& inner = platform::system_files())
        : root_(std::move(root)), inner_(inner)
    {
    }
    ~FaultyFs() override;

    int fail_at = -1;                               // the call to fail, counting from 0
    platform::SysError error = kInjected;           // what it fails with
    int stop_at = -1;                               // the call at which the run stops
    bool interrupted = false;                       // the stop is an interrupt: held temporaries go, from inner
    std::map<std::string, platform::SysError> refuse;  // calls of these kinds always fail so
    bool short_reads = false;                       // each read gives at most half what was asked
    int end_at = -1;                                // from this call on, a read finds the end

    int calls() const { return static_cast<int>(log.size()); }
    bool stopped() const { return stopped_; }
    // open_handles -- the files opened through it and not closed since
    std::vector<std::string> open_handles() const;
    std::vector<std::string> log;  // "kind name [name]" for each call counted

    platform::Result<platform::Handle> open_regular(const std::string& path, platform::Links links) override;
    platform::Result<platform::Handle> create_new(const std::string& path) override;
    platform::Result<std::size_t> read(platform::Handle h, std::span<std::uint8_t> buf) override;
    platform::Result<std::size_t> write(platform::Handle h, std::span<const std::uint8_t> data) override;
    platform::SysError seek(platform::Handle h, std::uint64_t offset) override;
    platform::Result<platform::FileInfo> info(platform::Handle h) override;
    platform::SysError sync(platform::Handle h) override;
    platform::SysError start_writeback(platform::Handle h, std::uint64_t offset, std::uint64_t size) override;
    platform::SysError close(platform::Handle h) override;
    platform::SysError copy_attributes(platform::Handle from, platform::Handle to) override;
    platform::Result<platform::FileInfo> look(const std::string& path, platform::Links links) override;
    platform::SysError remove(const std::string& path) override;
    platform::SysError make_dir(const std::string& path) override;
    platform::Result<std::vector<std::string>> list_dir(const std::string& path) override;
    platform::SysError sync_dir(const std::string& path) override;
    platform::SysError link(const std::string& from, const std::string& to) override;
    platform::SysError rename_replace(const std::string& from, const std::string& to) override;
    platform::SysError rename_noreplace(const std::string& from, const std::string& to) override;
    platform::SysError exchange(const std::string& a, const std::string& b) override;

private:
    // step -- count a call; the error it gives instead of being made, if any
    platform::SysError step(const std::string& kind, const std::string& a, const std::string& b = "");
    // interrupt -- what the signal or console handler does: every held
    // temporary removed, from the inner file system
    void interrupt();
    std::string name_of(platform::Handle h) const;
    std::string relative(const std::string& path) const;

    std::string root_;
    platform::FileSystem& inner_;
    bool stopped_ = false;
    std::map<platform::Handle, std::string> names_;  // which file each open handle is
};
