#include "pack_file.hpp"

#include <vector>

#include "file_work.hpp"
#include "flz0.hpp"
#include "messages.hpp"
#include "pack.hpp"
#include "text.hpp"

namespace {

// read_plain -- the open file, as a file to compress: at most 65,535
// bytes, and not starting with "FLZ0"
Outcome read_plain(const InputFile& in, Buffer& data)
{
    if (Outcome f = allocate(data, kMaxOriginalSize + 1, in.path(), msg::kForTheFile))
        return f;
    if (Outcome f = read_input(in, data))
        return f;
    if (data.size > kMaxOriginalSize)
        return tool_failure(Fault::too_large, in.path(), format_text(msg::kLongerThanFlz0Format, kMaxOriginalSize));
    if (has_flz0_magic(data.span()))
        return tool_failure(Fault::already_flz0, in.path(), msg::kStartsWithFlz0);
    return {};
}

// decoded_from -- the bytes of path.BAK where it is a regular FLZ0 file
// that decodes to exactly `plain`, what path holds; else none
Outcome decoded_from(platform::FileSystem& fs, const std::string& path, std::span<const std::uint8_t> plain,
                     std::optional<std::vector<std::uint8_t>>& backup)
{
    const std::string name = path + kBackupSuffix;
    platform::Result<platform::FileInfo> there = fs.look(name, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, name, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    std::vector<std::uint8_t> bytes;
    if (Outcome f = read_whole(fs, name, platform::Links::refuse, Fault::cannot_open, bytes))
        return f;
    if (flz0_decodes_to(bytes, plain))
        backup = std::move(bytes);
    return {};
}

}  // namespace

Outcome compress_in_place(platform::FileSystem& fs, const std::string& path,
                          const std::function<Outcome(std::size_t original, std::size_t stream)>& packed)
{
    InputFile in(fs, path, platform::Links::refuse);
    if (Outcome f = opened(in))
        return f;
    Buffer data;
    if (Outcome f = read_plain(in, data))
        return f;
    // The FLZ0 file it came from, kept by varnix, takes its name back.
    std::optional<std::vector<std::uint8_t>> backup;
    if (Outcome f = decoded_from(fs, path, data.span(), backup))
        return f;
    if (backup) {
        if (Outcome f = packed(data.size, backup->size() - kFlz0HeaderSize))
            return f;
        in.close();
        return restore_backup(fs, path);
    }
    std::vector<std::uint8_t> file;
    if (Outcome f = flz0_pack_checked(path, data.span(), file))
        return f;
    Output out(fs, path, OldFile::replace, Durability::durable);
    if (Outcome f = write_beside(out, in, file))
        return f;
    if (Outcome f = packed(data.size, file.size() - kFlz0HeaderSize))
        return f;
    in.close();
    return out.commit();
}

Outcome pack_file(platform::FileSystem& fs, const std::string& path,
                  const std::function<Outcome(std::span<const std::uint8_t>)>& packed)
{
    InputFile in(fs, path, platform::Links::follow);
    if (Outcome f = opened(in))
        return f;
    Buffer data;
    if (Outcome f = read_plain(in, data))
        return f;
    std::vector<std::uint8_t> file;
    if (Outcome f = flz0_pack_checked(path, data.span(), file))
        return f;
    return packed(file);
}
