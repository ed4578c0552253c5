// A file system held in memory, for the tests that run a tool's calls once
// for every call number: no disk, so no cost of creating, syncing and
// removing real files each time.
//
// Files are nodes of bytes that names reach, so that a link gives one file
// a second name and both show its FileId; directories map names to nodes;
// a handle keeps its node and position, so a file removed while open reads
// on. Each call answers as the system's own layer does here, with the same
// error codes, and makes the calls that layer lacks (an exchange, a rename
// that never replaces) fail the same way. '/' separates names, and on
// Windows '\\' too; "." and empty parts are skipped, a Windows full path's
// "\\?\" prefix dropped; a relative name starts at the root. There are no
// symbolic links, permissions or size limits, and no directory is moved
// (no tool moves one): a rename or exchange of one throws.
//
// Its own allocations are kept out of the allocation seam's count, all but
// those of the names list_dir hands back: the system's layer makes those
// too, and gives ENOMEM when one fails.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform.hpp"

class MemFs final : public platform::FileSystem {
public:
    MemFs();
    MemFs(const MemFs&) = delete;
    MemFs& operator=(const MemFs&) = delete;

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
    platform::Result<std::uint64_t> free_space(const std::string& dir) override;
    platform::SysError link(const std::string& from, const std::string& to) override;
    platform::SysError rename_replace(const std::string& from, const std::string& to) override;
    platform::SysError rename_noreplace(const std::string& from, const std::string& to) override;
    platform::SysError exchange(const std::string& a, const std::string& b) override;

    // make_dirs -- a directory and every one above it that is missing
    void make_dirs(const std::string& path);
    // put -- a file of these bytes under the name, in place of any file
    // that had it; the directories on the way made
    void put(const std::string& path, std::string_view bytes);
    // get -- a regular file's bytes; none where the name holds no file
    std::optional<std::string> get(const std::string& path) const;
    // each_file -- every regular file below dir, named from it with '/',
    // in name order
    void each_file(const std::string& dir,
                   const std::function<void(const std::string& name, const std::string& bytes)>& visit) const;
    // open_handles -- how many handles are open
    std::size_t open_handles() const { return handles_.size(); }
    // What free_space answers for every directory, less the bytes held.
    std::uint64_t disk_size = std::uint64_t{1} << 40;

private:
    struct Node {
        bool directory = false;
        std::uint64_t number = 0;
        std::string bytes;
        std::map<std::string, std::shared_ptr<Node>> entries;
    };
    struct Open {
        std::shared_ptr<Node> node;
        std::uint64_t position = 0;
        bool writing = false;
    };
    // Where a path leads: the directory its last part is in, that part,
    // and what has it (nullptr for nothing); error when the way there fails.
    struct Place {
        Node* dir = nullptr;
        std::string name;
        std::shared_ptr<Node> node;
        platform::SysError error;
    };

    // find -- where a path leads; with need, nothing there is an error
    Place find(const std::string& path, bool need = false) const;
    // new_node -- an empty file or directory with a number of its own
    std::shared_ptr<Node> new_node(bool directory);
    // open_of -- what a handle holds open; nullptr for one not open
    Open* open_of(platform::Handle h);
    // rename -- rename_replace, or with replace false rename_noreplace
    platform::SysError rename(const std::string& from, const std::string& to, bool replace);
    // info_of -- what look and info say of a node
    platform::FileInfo info_of(const Node& node) const;

    std::shared_ptr<Node> root_;
    std::uint64_t next_number_ = 1;
    platform::Handle next_handle_ = 3;
    std::map<platform::Handle, Open> handles_;
};
