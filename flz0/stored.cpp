#include "stored.hpp"

#include <algorithm>

#include "flz0.hpp"
#include "pack.hpp"

namespace {

// decodes -- whether bytes are an FLZ0 file that decodes as varnix decodes it
bool decodes(std::span<const std::uint8_t> file)
{
    return flz0_content(file).has_value();
}

// packed_again -- content compressed as flz0pack compresses it; a content
// no FLZ0 file holds is a piece the bundle cannot hold
Outcome packed_again(const std::string& name, std::span<const std::uint8_t> content, Bytes& packed)
{
    if (content.size() > kMaxOriginalSize)
        return tool_failure(Fault::bad_piece, name, Why::too_large_to_pack, content.size(), kMaxOriginalSize);
    Outcome f = flz0_pack_checked(name, content, packed);
    if (f && f->fault == Fault::too_large)
        f->fault = Fault::bad_piece;
    return f;
}

}  // namespace

std::optional<Flz0Content> flz0_content(std::span<const std::uint8_t> file)
{
    if (!has_flz0_magic(file))
        return std::nullopt;
    Flz0Content c{Bytes(read_flz0_header(file).original_size), 0};
    const Decoded d = decode_flz0_file(file, c.decoded);
    if (d.status != DecodeStatus::ok)
        return std::nullopt;
    c.after = std::min(file.size(), kFlz0HeaderSize + d.read);
    return c;
}

Content content_of(std::span<const std::uint8_t> stored)
{
    Content c;
    if (std::optional<Flz0Content> f = flz0_content(stored)) {
        c.flz0 = true;
        c.content = std::move(f->decoded);
        c.after.assign(stored.begin() + static_cast<std::ptrdiff_t>(f->after), stored.end());
        return c;
    }
    c.content.assign(stored.begin(), stored.end());
    return c;
}

std::optional<Bytes> stored_form(std::span<const std::uint8_t> content, std::span<const std::uint8_t> after)
{
    std::optional<Bytes> packed = flz0_pack(content);
    if (packed)
        packed->insert(packed->end(), after.begin(), after.end());
    return packed;
}

bool made_by_pack(std::span<const std::uint8_t> stored)
{
    const Content c = content_of(stored);
    if (!c.flz0)
        return false;
    const std::optional<Bytes> again = stored_form(c.content, c.after);
    return again && std::equal(again->begin(), again->end(), stored.begin(), stored.end());
}

bool one_byte_run(std::span<const std::uint8_t> bytes)
{
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes[0]; });
}

Outcome store_again(const std::string& name, std::span<const std::uint8_t> edited, const WasFlz0& was, bool grid_pads,
                    Bytes& stored, StoredAs& how)
{
    if (!was.nested && decodes(edited)) {
        stored.assign(edited.begin(), edited.end());
        how = StoredAs::as_it_stands;
        return {};
    }
    how = StoredAs::compressed;
    if (Outcome f = packed_again(name, edited, stored))
        return f;
    if (!one_byte_run(was.after)) {
        stored.insert(stored.end(), was.after.begin(), was.after.end());
        return {};
    }
    // A run that fills a slot: it absorbs the change where the stream fits.
    if (stored.size() < was.size)
        stored.resize(static_cast<std::size_t>(was.size), was.after[0]);
    else if (stored.size() > was.size && !grid_pads)
        stored.insert(stored.end(), was.after.begin(), was.after.end());
    return {};
}

Outcome stored_beside(const std::string& name, std::span<const std::uint8_t> file, const std::optional<Bytes>& beside,
                      Bytes& stored)
{
    if (beside && flz0_decodes_to(*beside, file)) {
        stored = *beside;
        return {};
    }
    if (!beside || has_flz0_magic(file)) {
        stored.assign(file.begin(), file.end());
        return {};
    }
    return packed_again(name, file, stored);
}
