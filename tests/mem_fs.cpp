#include "mem_fs.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "alloc_seam.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using platform::Handle;
using platform::Result;
using platform::SysError;

namespace {

// The codes the system's layer gives for each failure MemFs can have: on
// Windows those of the wide calls it makes, where one code stands for
// several errno values.
struct Codes {
    SysError missing;       // nothing has the name
    SysError way_missing;   // a directory on the way to it is missing
    SysError way_not_dir;   // a file is on the way to it
    SysError created_taken; // create_new of a name something has
    SysError taken;         // link or rename_noreplace to a name something has
    SysError dir_over_file; // make_dir where a file is
    SysError is_dir;        // a directory removed as a file, or replaced by one
    SysError link_dir;      // a directory given a second name
    SysError busy;          // the root replaced
    SysError bad_handle;    // a handle that is not open
    SysError wrong_way;     // a read of a handle open for writing, or the reverse
    SysError list_missing;  // list_dir of a name nothing has
    SysError list_not_dir;  // list_dir of a file
    SysError no_memory;
};

#ifdef _WIN32
constexpr Codes kCodes{{ERROR_FILE_NOT_FOUND}, {ERROR_PATH_NOT_FOUND}, {ERROR_PATH_NOT_FOUND},
                       {ERROR_FILE_EXISTS},    {ERROR_ALREADY_EXISTS}, {ERROR_DIRECTORY},
                       {ERROR_ACCESS_DENIED},  {ERROR_ACCESS_DENIED},  {ERROR_ACCESS_DENIED},
                       {ERROR_INVALID_HANDLE}, {ERROR_ACCESS_DENIED},  {ERROR_PATH_NOT_FOUND},
                       {ERROR_INVALID_NAME},   {ERROR_NOT_ENOUGH_MEMORY}};
// Directories are made durable with the renames: sync_dir checks nothing.
constexpr bool kSyncDirLooks = false;
constexpr std::string_view kSeparators = "/\\";
#else
constexpr Codes kCodes{{ENOENT}, {ENOENT}, {ENOTDIR}, {EEXIST}, {EEXIST}, {ENOTDIR}, {EISDIR},
                       {EPERM},  {EBUSY},  {EBADF},   {EBADF},  {ENOENT}, {ENOTDIR}, {ENOMEM}};
constexpr bool kSyncDirLooks = true;  // it opens the directory
constexpr std::string_view kSeparators = "/";
#endif

constexpr std::uint64_t kDevice = 0x6d656d;  // any number: one device holds every node

// lacked_exchange / lacked_noreplace -- the error the system's layer gives
// for the call where it lacks it (as the portable build lacks both, and
// Windows an exchange), or none: asked once, of empty names, which reach
// no file
SysError lacked_exchange()
{
    static const SysError got = platform::system_files().exchange("", "");
    return got.code == platform::kUnsupported ? got : SysError{};
}

SysError lacked_noreplace()
{
    static const SysError got = platform::system_files().rename_noreplace("", "");
    return platform::noreplace_refused(got) ? got : SysError{};
}

// parts_of -- the names a path passes through from the root
std::vector<std::string> parts_of(std::string_view path)
{
    if (kSeparators.size() > 1 && path.starts_with("\\\\?\\"))
        path.remove_prefix(4);  // the extended form of a Windows full path
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find_first_of(kSeparators), path.size());
        const std::string_view part = path.substr(0, end);
        if (part == ".." && !parts.empty())
            parts.pop_back();
        else if (!part.empty() && part != "." && part != "..")
            parts.emplace_back(part);
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

// renamed -- a node an exchange or a rename moves: a file, since the tools
// move no directory, and so neither is a move of one answered here
void renamed(bool directory, const std::string& path)
{
    if (directory)
        throw std::logic_error("MemFs: a directory moved, as no tool moves one: " + path);
}

}  // namespace

MemFs::MemFs()
{
    AllocationPause pause;
    root_ = new_node(true);
}

std::shared_ptr<MemFs::Node> MemFs::new_node(bool directory)
{
    auto node = std::make_shared<Node>();
    node->directory = directory;
    node->number = next_number_++;
    return node;
}

MemFs::Place MemFs::find(const std::string& path, bool need) const
{
    const std::vector<std::string> parts = parts_of(path);
    Place p;
    if (parts.empty()) {
        p.node = root_;  // no directory holds the root
        return p;
    }
    Node* dir = root_.get();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto it = dir->entries.find(parts[i]);
        if (it == dir->entries.end()) {
            p.error = kCodes.way_missing;
            return p;
        }
        if (!it->second->directory) {
            p.error = kCodes.way_not_dir;
            return p;
        }
        dir = it->second.get();
    }
    p.dir = dir;
    p.name = parts.back();
    if (auto it = dir->entries.find(p.name); it != dir->entries.end())
        p.node = it->second;
    else if (need)
        p.error = kCodes.missing;
    return p;
}

MemFs::Open* MemFs::open_of(Handle h)
{
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : &it->second;
}

platform::FileInfo MemFs::info_of(const Node& node) const
{
    return {node.directory ? platform::Kind::directory : platform::Kind::regular,
            node.directory ? 0 : node.bytes.size(), platform::FileId{kDevice, node.number}};
}

Result<Handle> MemFs::open_regular(const std::string& path, platform::Links)
{
    AllocationPause pause;
    const Place p = find(path, true);
    if (p.error)
        return {platform::kNoHandle, p.error};
    if (p.node->directory)
        return {platform::kNoHandle, SysError{platform::kNotRegular}};
    const Handle h = next_handle_++;
    handles_[h] = Open{p.node, 0, false};
    return {h, {}};
}

Result<Handle> MemFs::create_new(const std::string& path)
{
    AllocationPause pause;
    const Place p = find(path);
    if (p.error)
        return {platform::kNoHandle, p.error};
    if (p.node)
        return {platform::kNoHandle, kCodes.created_taken};
    std::shared_ptr<Node> node = new_node(false);
    p.dir->entries[p.name] = node;
    const Handle h = next_handle_++;
    handles_[h] = Open{node, 0, true};
    return {h, {}};
}

Result<std::size_t> MemFs::read(Handle h, std::span<std::uint8_t> buf)
{
    AllocationPause pause;
    Open* o = open_of(h);
    if (!o)
        return {0, kCodes.bad_handle};
    if (o->writing)
        return {0, kCodes.wrong_way};
    const std::string& bytes = o->node->bytes;
    const std::size_t at = static_cast<std::size_t>(std::min<std::uint64_t>(o->position, bytes.size()));
    const std::size_t n = std::min(buf.size(), bytes.size() - at);
    if (n != 0)  // an empty span may have no address, which memcpy must not be given
        std::memcpy(buf.data(), bytes.data() + at, n);
    o->position += n;
    return {n, {}};
}

Result<std::size_t> MemFs::write(Handle h, std::span<const std::uint8_t> data)
{
    AllocationPause pause;
    Open* o = open_of(h);
    if (!o)
        return {0, kCodes.bad_handle};
    if (!o->writing)
        return {0, kCodes.wrong_way};
    std::string& bytes = o->node->bytes;
    const std::size_t at = static_cast<std::size_t>(o->position);
    if (bytes.size() < at + data.size())
        bytes.resize(at + data.size());  // a gap after a seek past the end reads as zeros
    if (!data.empty())
        std::memcpy(bytes.data() + at, data.data(), data.size());
    o->position += data.size();
    return {data.size(), {}};
}

SysError MemFs::seek(Handle h, std::uint64_t offset)
{
    AllocationPause pause;
    Open* o = open_of(h);
    if (!o)
        return kCodes.bad_handle;
    o->position = offset;
    return {};
}

Result<platform::FileInfo> MemFs::info(Handle h)
{
    AllocationPause pause;
    Open* o = open_of(h);
    if (!o)
        return {{}, kCodes.bad_handle};
    return {info_of(*o->node), {}};
}

SysError MemFs::sync(Handle h)
{
    AllocationPause pause;
    return open_of(h) ? SysError{} : kCodes.bad_handle;
}

SysError MemFs::start_writeback(Handle h, std::uint64_t, std::uint64_t)
{
    return sync(h);  // as a sync, nothing to do but for a handle not open
}

SysError MemFs::close(Handle h)
{
    AllocationPause pause;
    return handles_.erase(h) ? SysError{} : kCodes.bad_handle;
}

SysError MemFs::copy_attributes(Handle from, Handle to)
{
    AllocationPause pause;
    // Nothing to copy: every file here is alike.
    return open_of(from) && open_of(to) ? SysError{} : kCodes.bad_handle;
}

Result<platform::FileInfo> MemFs::look(const std::string& path, platform::Links)
{
    AllocationPause pause;
    const Place p = find(path);
    if (p.error || !p.node)
        return {{}, {}};  // a name nothing has, also past a file, as the system's layer says
    return {info_of(*p.node), {}};
}

SysError MemFs::remove(const std::string& path)
{
    AllocationPause pause;
    const Place p = find(path, true);
    if (p.error)
        return p.error;
    if (p.node->directory)
        return kCodes.is_dir;
    p.dir->entries.erase(p.name);  // an open handle keeps the node
    return {};
}

SysError MemFs::make_dir(const std::string& path)
{
    AllocationPause pause;
    const Place p = find(path);
    if (p.error)
        return p.error;
    if (p.node)
        return p.node->directory ? SysError{} : kCodes.dir_over_file;
    p.dir->entries[p.name] = new_node(true);
    return {};
}

Result<std::vector<std::string>> MemFs::list_dir(const std::string& path)
{
    const Node* dir = nullptr;
    {
        AllocationPause pause;
        const Place p = find(path);
        if (p.error)
            return {{}, p.error == kCodes.way_missing ? kCodes.list_missing : p.error};
        if (!p.node)
            return {{}, kCodes.list_missing};
        if (!p.node->directory)
            return {{}, kCodes.list_not_dir};
        dir = p.node.get();  // the tree holds it
    }
    // Counted by the allocation seam, as the system's layer's list is.
    Result<std::vector<std::string>> r;
    try {
        for (const auto& [name, node] : dir->entries)
            r.value.push_back(name);
    } catch (const std::bad_alloc&) {
        r = {{}, kCodes.no_memory};
    }
    return r;
}

SysError MemFs::sync_dir(const std::string& path)
{
    AllocationPause pause;
    if (!kSyncDirLooks)
        return {};
    const Place p = find(path, true);
    if (p.error)
        return p.error;
    return p.node->directory ? SysError{} : kCodes.list_not_dir;
}

platform::Result<std::uint64_t> MemFs::free_space(const std::string& dir)
{
    AllocationPause pause;
    const Place p = find(dir, true);
    if (p.error)
        return {0, p.error};
    std::uint64_t used = 0;
    each_file("", [&](const std::string&, const std::string& bytes) { used += bytes.size(); });
    return {used < disk_size ? disk_size - used : 0, {}};
}

SysError MemFs::link(const std::string& from, const std::string& to)
{
    AllocationPause pause;
    const Place f = find(from, true);
    if (f.error)
        return f.error;
    if (f.node->directory)
        return kCodes.link_dir;
    const Place t = find(to);
    if (t.error)
        return t.error;
    if (t.node)
        return kCodes.taken;
    t.dir->entries[t.name] = f.node;
    return {};
}

SysError MemFs::rename(const std::string& from, const std::string& to, bool replace)
{
    const Place f = find(from, true);
    if (f.error)
        return f.error;
    renamed(f.node->directory, from);
    const Place t = find(to);
    if (t.error)
        return t.error;
    if (!t.dir)
        return kCodes.busy;
    if (t.node) {
        if (!replace)
            return kCodes.taken;
        // POSIX: "If oldpath and newpath are existing hard links referring
        // to the same file, then rename() does nothing"; so does wine.
        if (t.node == f.node)
            return {};
        if (t.node->directory)
            return kCodes.is_dir;
    }
    const std::shared_ptr<Node> node = f.node;
    f.dir->entries.erase(f.name);
    t.dir->entries[t.name] = node;
    return {};
}

SysError MemFs::rename_replace(const std::string& from, const std::string& to)
{
    AllocationPause pause;
    return rename(from, to, true);
}

SysError MemFs::rename_noreplace(const std::string& from, const std::string& to)
{
    AllocationPause pause;
    if (SysError e = lacked_noreplace())
        return e;
    return rename(from, to, false);
}

SysError MemFs::exchange(const std::string& a, const std::string& b)
{
    AllocationPause pause;
    if (SysError e = lacked_exchange())
        return e;
    const Place pa = find(a);
    const Place pb = find(b);
    if (pa.error || pb.error)
        return pa.error ? pa.error : pb.error;
    if (!pa.node || !pb.node)
        return kCodes.missing;
    renamed(pa.node->directory, a);
    renamed(pb.node->directory, b);
    std::swap(pa.dir->entries[pa.name], pb.dir->entries[pb.name]);
    return {};
}

void MemFs::make_dirs(const std::string& path)
{
    AllocationPause pause;
    Node* dir = root_.get();
    for (const std::string& part : parts_of(path)) {
        std::shared_ptr<Node>& entry = dir->entries[part];
        if (!entry)
            entry = new_node(true);
        if (!entry->directory)
            throw std::logic_error("MemFs::make_dirs: a file is in the way of " + path);
        dir = entry.get();
    }
}

void MemFs::put(const std::string& path, std::string_view bytes)
{
    AllocationPause pause;
    if (const std::size_t end = path.find_last_of(kSeparators); end != std::string::npos)
        make_dirs(path.substr(0, end));
    const Place p = find(path);
    if (p.error || !p.dir || (p.node && p.node->directory))
        throw std::logic_error("MemFs::put: no file can have the name " + path);
    // As a truncating write: a file there keeps its node, and so its other names.
    std::shared_ptr<Node> node = p.node ? p.node : new_node(false);
    node->bytes.assign(bytes);
    p.dir->entries[p.name] = node;
}

std::optional<std::string> MemFs::get(const std::string& path) const
{
    AllocationPause pause;
    const Place p = find(path);
    if (p.error || !p.node || p.node->directory)
        return std::nullopt;
    return p.node->bytes;
}

namespace {

// visit_files -- each regular file below a directory node, its name after `prefix`
template <typename Node, typename Visit>
void visit_files(const Node& dir, const std::string& prefix, const Visit& visit)
{
    for (const auto& [name, node] : dir.entries) {
        if (node->directory)
            visit_files(*node, prefix + name + "/", visit);
        else
            visit(prefix + name, node->bytes);
    }
}

}  // namespace

void MemFs::each_file(const std::string& dir,
                      const std::function<void(const std::string& name, const std::string& bytes)>& visit) const
{
    AllocationPause pause;
    const Place p = find(dir);
    if (!p.error && p.node && p.node->directory)
        visit_files(*p.node, "", visit);
}
