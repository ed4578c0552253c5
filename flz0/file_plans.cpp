#include "file_plans.hpp"

#include <new>

#include "files.hpp"
#include "flz0.hpp"
#include "pack.hpp"

namespace {

using platform::FileSystem;

// allocate -- a buffer of `size` bytes; no_memory, saying what it was for, where none can be had
Outcome allocate(Bytes& buf, std::size_t size, const std::string& path, Why what)
{
    try {
        buf.resize(size);
    } catch (const std::bad_alloc&) {
        return tool_failure(Fault::no_memory, path, what);
    }
    return {};
}

// read_up_to -- as much of the open file as buf holds; buf's size becomes what was read
Outcome read_up_to(const InputFile& in, Bytes& buf)
{
    platform::Result<std::size_t> r = read_full(in.fs(), in.handle(), buf);
    if (r.error)
        return system_failure(Fault::cannot_open, in.path(), r.error);
    buf.resize(r.value);
    return {};
}

// read_and_decode -- the open file checked as FLZ0 and decoded in memory;
// the observer is told the header first, and `header_read` checks what
// must hold before the data is decoded
Outcome read_and_decode(const InputFile& in, const Observer& observer, const std::function<Outcome()>& header_read,
                        Bytes& decoded)
{
    Bytes image;
    if (Outcome f = allocate(image, kMaxImageSize, in.path(), Why::no_memory_for_image))
        return f;
    // As much of the file as any stream can need; the rest of a longer
    // file is never decoded.
    if (Outcome f = read_up_to(in, image))
        return f;
    if (!has_flz0_magic(image))
        return tool_failure(Fault::not_flz0, in.path(), Why::no_flz0_magic);
    const Flz0Header header = read_flz0_header(image);
    if (Outcome f = observer(Event{.what = Tell::sizes, .first = header.compressed_size, .second = header.original_size}))
        return f;
    if (Outcome f = header_read())
        return f;
    if (Outcome f = allocate(decoded, header.original_size, in.path(), Why::no_memory_for_decoded))
        return f;
    const Decoded d = decode_flz0_file(image, decoded);
    if (d.status != DecodeStatus::ok)
        return tool_failure(Fault::corrupt, in.path(), Why::stream_ends, d.produced, header.original_size);
    return {};
}

// read_plain -- the open file, as a file to compress: at most 65,535
// bytes, and not starting with "FLZ0"
Outcome read_plain(const InputFile& in, Bytes& data)
{
    if (Outcome f = allocate(data, kMaxOriginalSize + 1, in.path(), Why::no_memory_for_file))
        return f;
    if (Outcome f = read_up_to(in, data))
        return f;
    if (data.size() > kMaxOriginalSize)
        return tool_failure(Fault::too_large, in.path(), Why::longer_than_flz0, 0, kMaxOriginalSize);
    if (has_flz0_magic(data))
        return tool_failure(Fault::already_flz0, in.path(), Why::starts_with_flz0);
    return {};
}

// beside -- the one output of an in-place job: `bytes` under path, with
// the permissions of the file it replaces (input 0)
void beside(Plan& plan, const std::string& path, OldFile old, Bytes bytes, std::vector<Event> told_before_name)
{
    PlannedOutput out{.path = path, .old = old, .durability = Durability::durable, .attributes_of = 0};
    out.parts.push_back(Part{.bytes = held(std::move(bytes))});
    const int k = plan.add_output(std::move(out));
    plan.then(Step{.what = Do::write, .output = k});
    plan.then(Step{.what = Do::close_inputs});  // an open file cannot be renamed on every system
    plan.then(Step{.what = Do::name, .output = k, .told = std::move(told_before_name)});
}

}  // namespace

Outcome plan_decode(FileSystem& fs, const std::string& path, const Observer& observer, Plan& plan)
{
    InputFile in(fs, path, platform::Links::refuse);
    platform::FileInfo info;
    if (Outcome f = opened(in, Fault::cannot_open, info))
        return f;
    Bytes decoded;
    if (Outcome f = read_and_decode(in, observer, [&] { return backup_is_free(fs, path); }, decoded))
        return f;
    plan.add_input(input_of(path, platform::Links::refuse, info));
    beside(plan, path, OldFile::keep_as_backup, std::move(decoded), {});
    return {};
}

Outcome decode_file(FileSystem& fs, const std::string& path, const Observer& observer, Bytes& decoded)
{
    InputFile in(fs, path, platform::Links::follow);
    if (in.error())
        return system_failure(Fault::cannot_open, path, in.error());
    return read_and_decode(in, observer, [] { return Outcome{}; }, decoded);
}

Outcome plan_pack(FileSystem& fs, const std::string& path, Plan& plan)
{
    InputFile in(fs, path, platform::Links::refuse);
    platform::FileInfo info;
    if (Outcome f = opened(in, Fault::cannot_open, info))
        return f;
    Bytes data;
    if (Outcome f = read_plain(in, data))
        return f;
    // The FLZ0 file it came from, kept by varnix, takes its name back.
    std::optional<Bytes> backup;
    if (Outcome f = read_if_regular(fs, path + kBackupSuffix, backup))
        return f;
    const auto packed = [&](std::size_t file) {
        return Event{.what = Tell::packed, .first = data.size(), .second = file - kFlz0HeaderSize};
    };
    if (backup && flz0_decodes_to(*backup, data)) {
        plan.then(Step{.what = Do::restore_backup, .path = path, .told = {packed(backup->size())}});
        return {};
    }
    Bytes file;
    if (Outcome f = flz0_pack_checked(path, data, file))
        return f;
    plan.add_input(input_of(path, platform::Links::refuse, info));
    const Event told = packed(file.size());
    beside(plan, path, OldFile::replace, std::move(file), {told});
    return {};
}

Outcome pack_file(FileSystem& fs, const std::string& path, Bytes& packed)
{
    InputFile in(fs, path, platform::Links::follow);
    if (in.error())
        return system_failure(Fault::cannot_open, path, in.error());
    Bytes data;
    if (Outcome f = read_plain(in, data))
        return f;
    return flz0_pack_checked(path, data, packed);
}
