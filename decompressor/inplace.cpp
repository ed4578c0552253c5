#include "inplace.hpp"

#include <new>
#include <vector>

#include "console.hpp"
#include "flz0.hpp"
#include "messages.hpp"
#include "platform.hpp"

namespace {

// try_allocate -- size a buffer, reporting exhaustion as a value
bool try_allocate(std::vector<std::uint8_t>& buf, std::size_t size)
{
    try {
        buf.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// load_image -- as much of the file as any stream can need; the rest of a
// longer file is never decoded
InPlaceStatus load_image(const std::string& path, std::vector<std::uint8_t>& image)
{
    if (!try_allocate(image, kMaxImageSize))
        return InPlaceStatus::no_memory;
    platform::Handle in = platform::open_read(path);
    if (in == platform::kNoHandle)
        return InPlaceStatus::cannot_open;
    platform::ReadResult r = platform::read_full(in, image);
    platform::close_file(in);  // read only: nothing can be lost on close
    if (r.error)
        return InPlaceStatus::cannot_open;
    image.resize(r.count);
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
    std::vector<std::uint8_t> image;
    if (InPlaceStatus s = load_image(path, image); s != InPlaceStatus::done)
        return s;
    if (!has_flz0_magic(image))
        return InPlaceStatus::not_flz0;

    Flz0Header header = read_flz0_header(image);
    say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
    if (!finish_stdout())  // nothing has been touched yet
        return InPlaceStatus::write_failed;

    std::vector<std::uint8_t> decoded;
    if (!try_allocate(decoded, header.original_size))
        return InPlaceStatus::no_memory;
    if (flz0_decode(flz0_stream(image), decoded) != DecodeStatus::ok)
        return InPlaceStatus::corrupt;

    const std::string temp = path + kTempSuffix;
    if (!write_decoded(temp, decoded))
        return InPlaceStatus::write_failed;
    if (!swap_in(path, temp, path + kBackupSuffix, platform::rename_noreplace))
        return InPlaceStatus::rename_failed;
    return InPlaceStatus::done;
}
