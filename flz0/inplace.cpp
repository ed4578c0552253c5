#include "inplace.hpp"

#include <algorithm>
#include <memory>
#include <new>

#include "files.hpp"
#include "output.hpp"
#include "pack.hpp"
#include "text.hpp"

namespace {

// A buffer whose bytes are left as they are, since every one that is used
// is written first: the image by the read, the output by the decoder.
struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::span<std::uint8_t> span() const { return {bytes.get(), size}; }
};

// allocate -- a buffer of the given size; a failure that names what it was for
Outcome allocate(Buffer& buf, std::size_t size, const std::string& path, const char* what)
{
    buf.bytes.reset(new (std::nothrow) std::uint8_t[size]);
    buf.size = buf.bytes ? size : 0;
    if (!buf.bytes)
        return tool_failure(Fault::no_memory, path, std::string("no memory for ") + what);
    return {};
}

// read_input -- as much of the open file as buf holds
Outcome read_input(const InputFile& in, Buffer& buf)
{
    platform::Result<std::size_t> r = read_full(in.fs(), in.handle(), buf.span());
    if (r.error)
        return system_failure(Fault::cannot_open, in.path(), r.error);
    buf.size = r.value;
    return {};
}

// write_beside -- data into the output, with the permissions of the file it replaces
Outcome write_beside(Output& out, const InputFile& in, std::span<const std::uint8_t> data)
{
    if (Outcome f = out.create())
        return f;
    if (Outcome f = out.write(data))
        return f;
    return out.copy_attributes_of(in.handle());
}

// read_and_decode -- the open file checked as FLZ0 and decoded in memory;
// `header_read` is told the header first, and a failure there stops it
Outcome read_and_decode(const InputFile& in, const std::function<Outcome(const Flz0Header&)>& header_read,
                        Buffer& decoded)
{
    Buffer image;
    if (Outcome f = allocate(image, kMaxImageSize, in.path(), "the file's image"))
        return f;
    // As much of the file as any stream can need; the rest of a longer
    // file is never decoded.
    if (Outcome f = read_input(in, image))
        return f;
    if (!has_flz0_magic(image.span()))
        return tool_failure(Fault::not_flz0, in.path(), "does not start with \"FLZ0\"");
    const Flz0Header header = read_flz0_header(image.span());
    if (Outcome f = header_read(header))
        return f;
    if (Outcome f = allocate(decoded, header.original_size, in.path(), "the decoded data"))
        return f;
    Decoded d = flz0_decode(flz0_stream(image.span()), decoded.span());
    if (d.status != DecodeStatus::ok)
        return tool_failure(Fault::corrupt, in.path(),
                            format_text("stream ends after %zu of %u bytes", d.produced, header.original_size));
    return {};
}

// read_plain -- the open file, as a file to compress: at most 65,535
// bytes, and not starting with "FLZ0"
Outcome read_plain(const InputFile& in, Buffer& data)
{
    if (Outcome f = allocate(data, kMaxOriginalSize + 1, in.path(), "the file"))
        return f;
    if (Outcome f = read_input(in, data))
        return f;
    if (data.size > kMaxOriginalSize)
        return tool_failure(Fault::too_large, in.path(),
                            format_text("longer than the %zu bytes an FLZ0 file holds", kMaxOriginalSize));
    if (has_flz0_magic(data.span()))
        return tool_failure(Fault::already_flz0, in.path(), "starts with \"FLZ0\"");
    return {};
}

}  // namespace

Outcome pack_plain(const std::string& path, std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& packed)
{
    std::optional<std::vector<std::uint8_t>> file = flz0_pack(plain);
    if (!file)
        return tool_failure(Fault::too_large, path,
                            format_text("compressed, longer than the %zu bytes readers take", kMaxFlz0FileSize));
    // Checked with the decoder that reads it back, before anything is replaced.
    Buffer decoded;
    if (Outcome f = allocate(decoded, plain.size(), path, "checking the compressed data"))
        return f;
    if (flz0_decode(flz0_stream(*file), decoded.span()).status != DecodeStatus::ok ||
        !std::equal(plain.begin(), plain.end(), decoded.bytes.get()))
        return tool_failure(Fault::write_failed, path, "the compressed data does not decode to the file");
    packed = std::move(*file);
    return {};
}

Outcome backup_form(platform::FileSystem& fs, const std::string& path, std::span<const std::uint8_t> plain,
                    BackupForm& form)
{
    form = {};
    const std::string backup = path + kBackupSuffix;
    platform::Result<platform::FileInfo> there = fs.look(backup, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, backup, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    InputFile in(fs, backup, platform::Links::refuse);
    if (in.error())
        return system_failure(Fault::cannot_open, backup, in.error());
    platform::Result<platform::FileInfo> info = fs.info(in.handle());
    if (info.error)
        return system_failure(Fault::cannot_open, backup, info.error);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.value.size));
    platform::Result<std::size_t> r = read_full(fs, in.handle(), bytes);
    if (r.error)
        return system_failure(Fault::cannot_open, backup, r.error);
    bytes.resize(r.value);
    form.flz0 = has_flz0_magic(bytes);
    if (!form.flz0 || read_flz0_header(bytes).original_size != plain.size())
        return {};
    // Decoded as varnix decodes it: from as much of it as any stream needs.
    Buffer decoded;
    if (Outcome f = allocate(decoded, plain.size(), backup, "the decoded data"))
        return f;
    const std::span<const std::uint8_t> image = std::span(bytes).first(std::min(bytes.size(), kMaxImageSize));
    if (flz0_decode(flz0_stream(image), decoded.span()).status == DecodeStatus::ok &&
        std::equal(plain.begin(), plain.end(), decoded.bytes.get()))
        form.bytes = std::move(bytes);
    return {};
}

namespace {

// opened -- a failure when the input could not be opened
Outcome opened(const InputFile& in)
{
    if (in.error())
        return system_failure(Fault::cannot_open, in.path(), in.error());
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
    BackupForm form;
    if (Outcome f = backup_form(fs, path, data.span(), form))
        return f;
    if (form.bytes) {
        if (Outcome f = packed(data.size, form.bytes->size() - kFlz0HeaderSize))
            return f;
        in.close();
        return restore_backup(fs, path);
    }
    std::vector<std::uint8_t> file;
    if (Outcome f = pack_plain(path, data.span(), file))
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
    if (Outcome f = pack_plain(path, data.span(), file))
        return f;
    return packed(file);
}
