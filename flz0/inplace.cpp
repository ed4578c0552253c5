#include "inplace.hpp"

#include <algorithm>
#include <memory>
#include <new>

#include "flz0.hpp"
#include "messages.hpp"
#include "pack.hpp"
#include "platform.hpp"
#include "replace.hpp"

namespace {

// A buffer whose bytes are left as they are, since every one that is used
// is written first: the image by the read, the output by the decoder.
struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::span<std::uint8_t> span() const { return {bytes.get(), size}; }
};

// try_allocate -- a buffer of the given size, reporting exhaustion as a value
bool try_allocate(Buffer& buf, std::size_t size)
{
    buf.bytes.reset(new (std::nothrow) std::uint8_t[size]);
    buf.size = buf.bytes ? size : 0;
    return buf.bytes != nullptr;
}

InPlaceResult failure(InPlaceStatus status, Detail detail)
{
    return {status, std::move(detail)};
}

// decode_into_temp -- the part of the run that needs the input open
InPlaceResult decode_into_temp(const std::string& path, const platform::InputFile& in, const std::string& temp)
{
    Buffer image;
    if (!try_allocate(image, kMaxImageSize))
        return failure(InPlaceStatus::no_memory, tool_detail(path, "no memory for the file's image"));
    // As much of the file as any stream can need; the rest of a longer
    // file is never decoded.
    platform::ReadResult r = platform::read_full(in.handle(), image.span());
    if (r.error)
        return failure(InPlaceStatus::cannot_open, system_detail(path));
    image.size = r.count;
    if (!has_flz0_magic(image.span()))
        return failure(InPlaceStatus::not_flz0, tool_detail(path, "does not start with \"FLZ0\""));

    Flz0Header header = read_flz0_header(image.span());
    if (!say_now(format_text(msg::kSizesFormat, header.compressed_size, header.original_size)))
        return failure(InPlaceStatus::write_failed, stdout_detail());  // nothing has been touched yet
    Detail why;
    if (!backup_is_free(path, why))
        return failure(InPlaceStatus::rename_failed, why);

    Buffer decoded;
    if (!try_allocate(decoded, header.original_size))
        return failure(InPlaceStatus::no_memory, tool_detail(path, "no memory for the decoded data"));
    Decoded d = flz0_decode(flz0_stream(image.span()), decoded.span());
    if (d.status != DecodeStatus::ok)
        return failure(InPlaceStatus::corrupt, tool_detail(path, format_text("stream ends after %zu of %u bytes",
                                                                             d.produced, header.original_size)));
    if (!write_temp(temp, decoded.span(), in.handle(), why))
        return failure(InPlaceStatus::write_failed, why);
    return {InPlaceStatus::done, {}};
}

// pack_into_temp -- compress the open file into temp, checked by decoding
InPlaceResult pack_into_temp(const std::string& path, const platform::InputFile& in, const std::string& temp)
{
    Buffer data;
    if (!try_allocate(data, kMaxOriginalSize + 1))
        return failure(InPlaceStatus::no_memory, tool_detail(path, "no memory for the file"));
    platform::ReadResult r = platform::read_full(in.handle(), data.span());
    if (r.error)
        return failure(InPlaceStatus::cannot_open, system_detail(path));
    if (r.count > kMaxOriginalSize)
        return failure(InPlaceStatus::too_large,
                       tool_detail(path, format_text("longer than the %zu bytes an FLZ0 file holds", kMaxOriginalSize)));
    data.size = r.count;
    if (has_flz0_magic(data.span()))
        return failure(InPlaceStatus::already_flz0, tool_detail(path, "starts with \"FLZ0\""));

    std::optional<std::vector<std::uint8_t>> file = flz0_pack(data.span());
    if (!file)
        return failure(InPlaceStatus::too_large,
                       tool_detail(path, format_text("compressed, longer than the %zu bytes readers take", kMaxFlz0FileSize)));
    // Checked with the decoder that reads it back, before anything is replaced.
    Buffer decoded;
    if (!try_allocate(decoded, data.size))
        return failure(InPlaceStatus::no_memory, tool_detail(path, "no memory to check the compressed data"));
    if (flz0_decode(flz0_stream(*file), decoded.span()).status != DecodeStatus::ok ||
        !std::equal(data.bytes.get(), data.bytes.get() + data.size, decoded.bytes.get()))
        return failure(InPlaceStatus::write_failed, tool_detail(path, "the compressed data does not decode to the file"));
    Detail why;
    if (!write_temp(temp, *file, in.handle(), why))
        return failure(InPlaceStatus::write_failed, why);
    if (!say_now(format_text(msg::kPackedFormat, static_cast<int>(data.size),
                             static_cast<int>(file->size() - kFlz0HeaderSize)))) {
        platform::remove_file(temp);
        return failure(InPlaceStatus::write_failed, stdout_detail());
    }
    return {InPlaceStatus::done, {}};
}

using Produce = InPlaceResult (*)(const std::string& path, const platform::InputFile& in, const std::string& temp);

// in_place -- the new content of path made into path.$$$ while path is
// open, then swapped in
InPlaceResult in_place(const std::string& path, Produce produce, OldFile old)
{
    const std::string temp = path + kTempSuffix;
    InPlaceResult r{InPlaceStatus::done, {}};
    {
        platform::InputFile in(platform::open_regular(path, platform::Links::refuse));
        if (!in.is_open())
            return failure(InPlaceStatus::cannot_open, system_detail(path));
        r = produce(path, in, temp);
    }  // closed before the swap: an open file cannot be renamed on every system
    if (r.status != InPlaceStatus::done)
        return r;
    SwapResult s = swap_in_or_discard(path, temp, old);
    if (s.status == SwapStatus::rename_failed)
        return failure(InPlaceStatus::rename_failed, s.detail);
    if (s.status == SwapStatus::sync_failed)
        return failure(InPlaceStatus::write_failed, s.detail);
    return r;
}

}  // namespace

InPlaceResult decompress_in_place(const std::string& path)
{
    return in_place(path, decode_into_temp, OldFile::keep_as_backup);
}

InPlaceResult compress_in_place(const std::string& path)
{
    return in_place(path, pack_into_temp, OldFile::replace);
}

int report(const InPlaceResult& r)
{
    switch (r.status) {
    case InPlaceStatus::done:
        return kExitOk;
    case InPlaceStatus::no_memory:
        return fail(msg::kNoMemory, kExitInput, r.detail);
    case InPlaceStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput, r.detail);
    case InPlaceStatus::not_flz0:
        return fail(msg::kNotFlz0, kExitInput, r.detail);
    case InPlaceStatus::corrupt:
        return fail(msg::kCorrupt, kExitInput, r.detail);
    case InPlaceStatus::too_large:
        return fail(msg::kTooLarge, kExitInput, r.detail);
    case InPlaceStatus::already_flz0:
        return fail(msg::kAlreadyFlz0, kExitInput, r.detail);
    case InPlaceStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput, r.detail);
    case InPlaceStatus::rename_failed:
        return fail(msg::kCannotRename, kExitOutput, r.detail);
    }
    return kExitOutput;
}
