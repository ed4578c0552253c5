#include "files.hpp"

#include <algorithm>

namespace {

// The block a file is hashed in: large enough for few reads, small enough
// that no file is held whole.
constexpr std::size_t kHashBlock = 1 << 20;

}  // namespace

platform::Result<std::size_t> read_full(platform::FileSystem& fs, platform::Handle h, std::span<std::uint8_t> buf)
{
    std::size_t count = 0;
    while (count < buf.size()) {
        platform::Result<std::size_t> r = fs.read(h, buf.subspan(count));
        if (r.error)
            return {count, r.error};
        if (r.value == 0)
            break;
        count += r.value;
    }
    return {count, {}};
}

platform::SysError write_all(platform::FileSystem& fs, platform::Handle h, std::span<const std::uint8_t> data)
{
    while (!data.empty()) {
        platform::Result<std::size_t> r = fs.write(h, data);
        if (r.error)
            return r.error;
        data = data.subspan(r.value);
    }
    return {};
}

InputFile::InputFile(platform::FileSystem& fs, std::string path, platform::Links links) : fs_(fs), path_(std::move(path))
{
    platform::Result<platform::Handle> r = fs_.open_regular(path_, links);
    h_ = r.error ? platform::kNoHandle : r.value;
    error_ = r.error;
}

void InputFile::close()
{
    if (h_ != platform::kNoHandle)
        fs_.close(h_);
    h_ = platform::kNoHandle;
}

platform::Result<std::size_t> read_full_at(platform::FileSystem& fs, platform::Handle h, std::uint64_t at,
                                           std::span<std::uint8_t> buf)
{
    if (platform::SysError e = fs.seek(h, at))
        return {0, e};
    return read_full(fs, h, buf);
}

Outcome opened(const InputFile& in, Fault fault, platform::FileInfo& info)
{
    if (in.error())
        return system_failure(fault, in.path(), in.error());
    platform::Result<platform::FileInfo> looked = in.fs().info(in.handle());
    if (looked.error)
        return system_failure(fault, in.path(), looked.error);
    info = looked.value;
    return {};
}

Outcome read_whole(platform::FileSystem& fs, const std::string& path, platform::Links links, Fault fault,
                   std::vector<std::uint8_t>& bytes)
{
    InputFile in(fs, path, links);
    platform::FileInfo info;
    if (Outcome f = opened(in, fault, info))
        return f;
    bytes.resize(static_cast<std::size_t>(info.size));
    platform::Result<std::size_t> r = read_full(fs, in.handle(), bytes);
    if (r.error)
        return system_failure(fault, path, r.error);
    bytes.resize(r.value);
    return {};
}

Outcome read_exact(const InputFile& in, std::uint64_t at, std::span<std::uint8_t> out)
{
    platform::Result<std::size_t> r = read_full_at(in.fs(), in.handle(), at, out);
    if (r.error)
        return system_failure(Fault::read_failed, in.path(), r.error);
    if (r.value != out.size())  // it shrank since it was looked at, or never held them
        return tool_failure(Fault::read_failed, in.path(), Why::ended_after, at + r.value, at + out.size());
    return {};
}

Outcome read_if_regular(platform::FileSystem& fs, const std::string& path, std::optional<Bytes>& bytes)
{
    bytes.reset();
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    bytes.emplace();
    if (Outcome f = read_whole(fs, path, platform::Links::refuse, Fault::cannot_open, *bytes)) {
        bytes.reset();
        return f;
    }
    return {};
}

std::string in_dir(const std::string& dir, std::string_view name)
{
    return dir + "/" + std::string(name);
}

Outcome side_of_file(platform::FileSystem& fs, const std::string& path, Fault fault, Side& side)
{
    side = Side{};
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(fault, path, there.error);
    if (there.value.kind == platform::Kind::none)
        return {};
    InputFile in(fs, path, platform::Links::refuse);
    platform::FileInfo info;
    if (Outcome f = opened(in, fault, info))
        return f;
    Sha256 sum;
    Bytes block(kHashBlock);
    std::uint64_t at = 0;
    for (; at < info.size; at += block.size()) {
        block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kHashBlock, info.size - at)));
        if (Outcome f = read_exact(in, at, block)) {
            f->fault = fault;
            return f;
        }
        sum.update(block);
    }
    side = Side{.present = true, .size = info.size, .hash = sum.finish()};
    return {};
}
