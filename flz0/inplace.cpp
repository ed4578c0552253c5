#include "inplace.hpp"

#include <memory>
#include <new>

#include "console.hpp"
#include "flz0.hpp"
#include "messages.hpp"
#include "platform.hpp"

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

// load_image -- as much of the file as any stream can need; the rest of a
// longer file is never decoded
InPlaceStatus load_image(const std::string& path, Buffer& image)
{
    if (!try_allocate(image, kMaxImageSize))
        return InPlaceStatus::no_memory;
    platform::Handle in = platform::open_read(path);
    if (in == platform::kNoHandle)
        return InPlaceStatus::cannot_open;
    platform::ReadResult r = platform::read_full(in, image.span());
    platform::close_file(in);  // read only: nothing can be lost on close
    if (r.error)
        return InPlaceStatus::cannot_open;
    image.size = r.count;
    return InPlaceStatus::done;
}

// write_decoded -- the decoded bytes into a new temporary file, on stable
// storage before anything is renamed; nothing is left behind on failure
bool write_decoded(const std::string& temp, std::span<const std::uint8_t> data)
{
    platform::Handle out = platform::create_write(temp);
    if (out == platform::kNoHandle)
        return false;
    bool ok = platform::write_all(out, data) && platform::sync_file(out);
    ok = platform::close_file(out) && ok;
    if (!ok)
        platform::remove_file(temp);
    return ok;
}

}  // namespace

bool swap_in(const std::string& path, const std::string& temp, const std::string& backup,
             platform::RenameFn rename)
{
    if (!rename(path, backup))
        return false;
    if (rename(temp, path))
        return true;
    rename(backup, path);
    return false;
}

InPlaceStatus decompress_in_place(const std::string& path)
{
    Buffer image;
    if (InPlaceStatus s = load_image(path, image); s != InPlaceStatus::done)
        return s;
    if (!has_flz0_magic(image.span()))
        return InPlaceStatus::not_flz0;

    Flz0Header header = read_flz0_header(image.span());
    say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
    if (!finish_stdout())  // nothing has been touched yet
        return InPlaceStatus::write_failed;

    Buffer decoded;
    if (!try_allocate(decoded, header.original_size))
        return InPlaceStatus::no_memory;
    if (flz0_decode(flz0_stream(image.span()), decoded.span()) != DecodeStatus::ok)
        return InPlaceStatus::corrupt;

    const std::string temp = path + kTempSuffix;
    if (!write_decoded(temp, decoded.span()))
        return InPlaceStatus::write_failed;
    if (!swap_in(path, temp, path + kBackupSuffix, platform::rename_noreplace))
        return InPlaceStatus::rename_failed;
    return InPlaceStatus::done;
}
