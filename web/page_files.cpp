#include "page_files.hpp"

#include <cerrno>

using platform::Handle;
using platform::Kind;
using platform::Result;
using platform::SysError;

namespace {

// The device every FileId of the page names.
constexpr std::uint64_t kPageDevice = 1;
// What free_space answers: the page writes into the browser's memory,
// whose room no call tells; a patch the memory cannot hold ends the run
// as out of memory instead.
constexpr std::uint64_t kPageSpace = std::uint64_t{1} << 40;
constexpr std::uint32_t kNoContent = 0;

// normalized -- a name as the map keeps it: parts joined by '/', "." and
// empty parts left out
std::string normalized(const std::string& path)
{
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            out += (out.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return out;
}

// parent_of -- the directory a normalized name is in
std::string parent_of(const std::string& name)
{
    const std::size_t sep = name.rfind('/');
    return sep == std::string::npos ? std::string() : name.substr(0, sep);
}

}  // namespace

std::uint32_t PageFiles::add(const std::string& path, std::uint64_t size)
{
    const std::string name = normalized(path);
    if (name.empty() || names_.count(name))
        return kNoContent;
    for (std::size_t sep = name.find('/'); sep != std::string::npos; sep = name.find('/', sep + 1))
        if (make_dir(name.substr(0, sep)))
            return kNoContent;
    const std::uint32_t content = next_content_++;
    contents_[content] = Content{.size = size};
    new_name(name, content);
    return content;
}

std::vector<PageFile> PageFiles::listing() const
{
    std::vector<PageFile> files;
    for (const auto& [name, e] : names_)
        if (e.content != kNoContent)
            files.push_back(PageFile{name, e.content, contents_.at(e.content).size});
    return files;
}

void PageFiles::clear()
{
    for (const auto& [content, c] : contents_)
        store_.drop(content);
    names_.clear();
    contents_.clear();
    handles_.clear();
}

int PageFiles::where(const std::string& name) const
{
    const std::string dir = parent_of(name);
    if (dir.empty())
        return 0;
    const Entry* e = entry(dir);
    return !e ? ENOENT : e->content != kNoContent ? ENOTDIR : 0;
}

const PageFiles::Entry* PageFiles::entry(const std::string& name) const
{
    static const Entry kTop{};
    if (name.empty())
        return &kTop;
    auto it = names_.find(name);
    return it == names_.end() ? nullptr : &it->second;
}

void PageFiles::new_name(const std::string& name, std::uint32_t content)
{
    names_[name] = Entry{.content = content};
    ++contents_[content].names;
}

void PageFiles::unname(const std::string& name)
{
    const std::uint32_t content = names_.at(name).content;
    names_.erase(name);
    --contents_[content].names;
    release(content);
}

void PageFiles::release(std::uint32_t content)
{
    const Content& c = contents_.at(content);
    if (c.names > 0 || c.opens > 0)
        return;
    contents_.erase(content);
    store_.drop(content);
}

PageFiles::Open* PageFiles::open_of(Handle h)
{
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : &it->second;
}

Result<Handle> PageFiles::open_regular(const std::string& path, platform::Links)
{
    const std::string name = normalized(path);
    if (int e = where(name))
        return {platform::kNoHandle, SysError{e}};
    const Entry* e = entry(name);
    if (!e)
        return {platform::kNoHandle, SysError{ENOENT}};
    if (e->content == kNoContent)
        return {platform::kNoHandle, SysError{platform::kNotRegular}};
    ++contents_[e->content].opens;
    handles_[next_handle_] = Open{.content = e->content};
    return {next_handle_++, {}};
}

Result<Handle> PageFiles::create_new(const std::string& path)
{
    const std::string name = normalized(path);
    if (int e = where(name))
        return {platform::kNoHandle, SysError{e}};
    if (entry(name))
        return {platform::kNoHandle, SysError{EEXIST}};
    const std::uint32_t content = next_content_++;
    contents_[content] = Content{.opens = 1};
    new_name(name, content);
    handles_[next_handle_] = Open{.content = content, .writing = true};
    return {next_handle_++, {}};
}

Result<std::size_t> PageFiles::read(Handle h, std::span<std::uint8_t> buf)
{
    Open* o = open_of(h);
    if (!o || o->writing)
        return {0, SysError{EBADF}};
    const std::uint64_t size = contents_.at(o->content).size;
    if (o->position >= size || buf.empty())
        return {0, {}};
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), size - o->position));
    Result<std::size_t> got = store_.read(o->content, o->position, buf.first(n));
    if (!got.error)
        o->position += got.value;
    return got;
}

Result<std::size_t> PageFiles::write(Handle h, std::span<const std::uint8_t> data)
{
    Open* o = open_of(h);
    if (!o || !o->writing)
        return {0, SysError{EBADF}};
    Content& c = contents_.at(o->content);
    if (o->position != c.size)
        return {0, SysError{EINVAL}};  // the store only appends, as every output writes
    if (SysError e = store_.append(o->content, data))
        return {0, e};
    c.size += data.size();
    o->position = c.size;
    return {data.size(), {}};
}

SysError PageFiles::seek(Handle h, std::uint64_t offset)
{
    Open* o = open_of(h);
    if (!o)
        return SysError{EBADF};
    o->position = offset;
    return {};
}

Result<platform::FileInfo> PageFiles::info(Handle h)
{
    Open* o = open_of(h);
    if (!o)
        return {{}, SysError{EBADF}};
    return {{Kind::regular, contents_.at(o->content).size, {kPageDevice, o->content}}, {}};
}

SysError PageFiles::sync(Handle h)
{
    return open_of(h) ? SysError{} : SysError{EBADF};
}

SysError PageFiles::start_writeback(Handle, std::uint64_t, std::uint64_t)
{
    return SysError{platform::kUnsupported};
}

SysError PageFiles::close(Handle h)
{
    Open* o = open_of(h);
    if (!o)
        return SysError{EBADF};
    const std::uint32_t content = o->content;
    handles_.erase(h);
    --contents_.at(content).opens;
    release(content);
    return {};
}

SysError PageFiles::copy_attributes(Handle from, Handle to)
{
    return open_of(from) && open_of(to) ? SysError{} : SysError{EBADF};
}

Result<platform::FileInfo> PageFiles::look(const std::string& path, platform::Links)
{
    const std::string name = normalized(path);
    const Entry* e = where(name) ? nullptr : entry(name);
    if (!e)
        return {{}, {}};
    if (e->content == kNoContent)
        return {{Kind::directory, 0, {kPageDevice, e->number}}, {}};
    return {{Kind::regular, contents_.at(e->content).size, {kPageDevice, e->content}}, {}};
}

SysError PageFiles::remove(const std::string& path)
{
    const std::string name = normalized(path);
    if (int e = where(name))
        return SysError{e};
    const Entry* e = entry(name);
    if (!e)
        return SysError{ENOENT};
    if (e->content == kNoContent)
        return SysError{EISDIR};
    unname(name);
    return {};
}

SysError PageFiles::make_dir(const std::string& path)
{
    const std::string name = normalized(path);
    if (int e = where(name))
        return SysError{e};
    if (const Entry* e = entry(name))
        return e->content == kNoContent ? SysError{} : SysError{ENOTDIR};
    names_[name] = Entry{.number = next_number_++};
    return {};
}

Result<std::vector<std::string>> PageFiles::list_dir(const std::string& path)
{
    const std::string name = normalized(path);
    const Entry* e = where(name) ? nullptr : entry(name);
    if (!e)
        return {{}, SysError{ENOENT}};
    if (e->content != kNoContent)
        return {{}, SysError{ENOTDIR}};
    const std::string prefix = name.empty() ? "" : name + "/";
    Result<std::vector<std::string>> r;
    for (auto it = names_.lower_bound(prefix); it != names_.end() && it->first.starts_with(prefix); ++it)
        if (it->first.find('/', prefix.size()) == std::string::npos)
            r.value.push_back(it->first.substr(prefix.size()));
    return r;
}

SysError PageFiles::sync_dir(const std::string& path)
{
    const std::string name = normalized(path);
    const Entry* e = where(name) ? nullptr : entry(name);
    return !e ? SysError{ENOENT} : e->content != kNoContent ? SysError{ENOTDIR} : SysError{};
}

Result<std::uint64_t> PageFiles::free_space(const std::string& dir)
{
    if (SysError e = sync_dir(dir))
        return {0, e};
    return {kPageSpace, {}};
}

SysError PageFiles::link(const std::string& from, const std::string& to)
{
    const std::string source = normalized(from);
    const std::string target = normalized(to);
    const Entry* e = where(source) ? nullptr : entry(source);
    if (!e)
        return SysError{ENOENT};
    if (e->content == kNoContent)
        return SysError{EPERM};
    if (int w = where(target))
        return SysError{w};
    if (entry(target))
        return SysError{EEXIST};
    new_name(target, e->content);
    return {};
}

SysError PageFiles::move(const std::string& from, const std::string& to, bool replace)
{
    const std::string source = normalized(from);
    const std::string target = normalized(to);
    const Entry* e = where(source) ? nullptr : entry(source);
    if (!e)
        return SysError{ENOENT};
    if (int w = where(target))
        return SysError{w};
    const Entry* there = entry(target);
    if (e->content == kNoContent || (there && there->content == kNoContent))
        return SysError{EISDIR};  // no tool moves a directory
    if (there && !replace)
        return SysError{EEXIST};
    if (source == target)
        return {};
    const std::uint32_t content = e->content;
    ++contents_[content].names;  // held while its old name goes
    if (there)
        unname(target);
    unname(source);
    new_name(target, content);
    --contents_[content].names;
    return {};
}

SysError PageFiles::rename_replace(const std::string& from, const std::string& to)
{
    return move(from, to, true);
}

SysError PageFiles::rename_noreplace(const std::string& from, const std::string& to)
{
    return move(from, to, false);
}

SysError PageFiles::exchange(const std::string& a, const std::string& b)
{
    const std::string first = normalized(a);
    const std::string second = normalized(b);
    const Entry* x = where(first) ? nullptr : entry(first);
    const Entry* y = where(second) ? nullptr : entry(second);
    if (!x || !y)
        return SysError{ENOENT};
    if (x->content == kNoContent || y->content == kNoContent)
        return SysError{EISDIR};
    std::swap(names_.at(first).content, names_.at(second).content);
    return {};
}
