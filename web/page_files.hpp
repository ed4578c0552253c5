// The files of the page that applies a patch in a browser: those the
// player picked, and those a run makes. Each is known here by its name,
// size and content number; its bytes stay in a ContentStore (on the page,
// its script: a picked file is read from the browser's File as it is
// needed, a made one kept as the blocks written), so that a bundle is
// never held whole in the module's memory.
//
// Names are relative, '/' separated; "." and empty parts are skipped. A
// name is a regular file or a directory; there are no links other than
// hard ones (link), no permissions and no limit but the store's. Each call
// answers as the system's own layer does, with the same error codes.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform.hpp"

// Where the bytes of the page's files are kept.
class ContentStore {
public:
    virtual ~ContentStore() = default;
    // read -- bytes of content `id` from `at` into `out`: how many came
    virtual platform::Result<std::size_t> read(std::uint32_t id, std::uint64_t at, std::span<std::uint8_t> out) = 0;
    // append -- bytes after the end of content `id`; the first makes it
    virtual platform::SysError append(std::uint32_t id, std::span<const std::uint8_t> data) = 0;
    // drop -- content `id` is no longer any file's, nor open
    virtual void drop(std::uint32_t id) = 0;
};

// A regular file of the page, as the listing after a run gives it.
struct PageFile {
    std::string path;
    std::uint32_t content = 0;
    std::uint64_t size = 0;
};

class PageFiles final : public platform::FileSystem {
public:
    explicit PageFiles(ContentStore& store) : store_(store) {}
    PageFiles(const PageFiles&) = delete;
    PageFiles& operator=(const PageFiles&) = delete;

    // add -- a file the player picked, of `size` bytes, under the name,
    // the directories on the way made; its content number, by which the
    // store reads it. An empty number where the name is taken.
    std::uint32_t add(const std::string& path, std::uint64_t size);
    // listing -- every regular file, in name order
    std::vector<PageFile> listing() const;
    // clear -- no file left, each content dropped
    void clear();

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

private:
    // A name: a directory (content 0) or a regular file's content.
    struct Entry {
        std::uint32_t content = 0;
        std::uint64_t number = 0;  // a directory's own, for its FileId
    };
    struct Content {
        std::uint64_t size = 0;
        int names = 0;
        int opens = 0;
    };
    struct Open {
        std::uint32_t content = 0;
        std::uint64_t position = 0;
        bool writing = false;
    };

    // where -- whether a name's directory is there: 0, or why not
    int where(const std::string& name) const;
    // entry -- what has the name; nullptr for nothing
    const Entry* entry(const std::string& name) const;
    // new_name -- a file's content under a new name, which must be free
    void new_name(const std::string& name, std::uint32_t content);
    // unname -- a name taken from its file, whose content goes with its last name
    void unname(const std::string& name);
    // release -- the content dropped where no name and no handle hold it
    void release(std::uint32_t content);
    // open_of -- what a handle holds open; nullptr for one not open
    Open* open_of(platform::Handle h);
    // move -- from's file under `to`, replacing a file there where `replace`
    platform::SysError move(const std::string& from, const std::string& to, bool replace);

    ContentStore& store_;
    std::map<std::string, Entry> names_;  // by normalized name; "" is the top, always a directory
    std::map<std::uint32_t, Content> contents_;
    std::map<platform::Handle, Open> handles_;
    std::uint32_t next_content_ = 1;
    std::uint64_t next_number_ = 1;
    platform::Handle next_handle_ = 3;
};
