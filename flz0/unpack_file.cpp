#include "unpack_file.hpp"

#include "file_work.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

// read_and_decode -- the open file checked as FLZ0 and decoded in memory;
// `header_read` is told the header first, and a failure there stops it
Outcome read_and_decode(const InputFile& in, const std::function<Outcome(const Flz0Header&)>& header_read,
                        Buffer& decoded)
{
    Buffer image;
    if (Outcome f = allocate(image, kMaxImageSize, in.path(), msg::kForTheImage))
        return f;
    // As much of the file as any stream can need; the rest of a longer
    // file is never decoded.
    if (Outcome f = read_input(in, image))
        return f;
    if (!has_flz0_magic(image.span()))
        return tool_failure(Fault::not_flz0, in.path(), msg::kNoFlz0Magic);
    const Flz0Header header = read_flz0_header(image.span());
    if (Outcome f = header_read(header))
        return f;
    if (Outcome f = allocate(decoded, header.original_size, in.path(), msg::kForTheDecodedData))
        return f;
    Decoded d = decode_flz0_file(image.span(), decoded.span());
    if (d.status != DecodeStatus::ok)
        return tool_failure(Fault::corrupt, in.path(), format_text(msg::kStreamEndsFormat, d.produced, header.original_size));
    return {};
}

}  // namespace

Outcome decompress_in_place(platform::FileSystem& fs, const std::string& path,
                            const std::function<Outcome(const Flz0Header&)>& sizes_read)
{
    InputFile in(fs, path, platform::Links::refuse);
    if (Outcome f = opened(in))
        return f;
    Buffer decoded;
    auto header_read = [&](const Flz0Header& header) -> Outcome {
        if (Outcome f = sizes_read(header))
            return f;  // nothing has been touched yet
        return backup_is_free(fs, path);
    };
    if (Outcome f = read_and_decode(in, header_read, decoded))
        return f;
    Output out(fs, path, OldFile::keep_as_backup, Durability::durable);
    if (Outcome f = write_beside(out, in, decoded.span()))
        return f;
    in.close();  // before the swap: an open file cannot be renamed on every system
    return out.commit();
}

Outcome decode_file(platform::FileSystem& fs, const std::string& path,
                    const std::function<Outcome(const Flz0Header&)>& sizes_read,
                    const std::function<Outcome(std::span<const std::uint8_t>)>& decoded)
{
    InputFile in(fs, path, platform::Links::follow);
    if (Outcome f = opened(in))
        return f;
    Buffer data;
    if (Outcome f = read_and_decode(in, sizes_read, data))
        return f;
    return decoded(data.span());
}
