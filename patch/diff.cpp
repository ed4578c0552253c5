#include "diff.hpp"

#include <algorithm>

#include "bundle_input.hpp"
#include "delta.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

bool same_frame(const Frame& a, const Frame& b)
{
    return a.table == b.table && a.head == b.head && a.tail == b.tail;
}

std::vector<std::uint32_t> sizes_of(const std::vector<Piece>& pieces)
{
    std::vector<std::uint32_t> sizes;
    for (const Piece& p : pieces)
        sizes.push_back(p.size());
    return sizes;
}

// frame_entry -- the frame's entry, where a patch needs one: where the
// layout a join keeps does not give NEW's frame from OLD's, or OLD's back
// from NEW's
std::optional<Entry> frame_entry(const BundleInput& a, const BundleInput& b)
{
    std::vector<Piece> places;
    const Frame forward = frame_without_patch(sizes_of(b.pieces()), a.frame(), places);
    const Frame reverse = frame_without_patch(sizes_of(a.pieces()), b.frame(), places);
    if (same_frame(forward, b.frame()) && same_frame(reverse, a.frame()))
        return std::nullopt;
    const ByteString from = frame_bytes(a.frame());
    const ByteString to = frame_bytes(b.frame());
    return Entry{kFrame, side_of(from), side_of(to), {Remake::raw, make_delta(from, to), {}},
                 {Remake::raw, make_delta(to, from), {}}};
}

}  // namespace

Outcome diff_bundles(platform::FileSystem& fs, const std::string& old_path, const std::string& new_path, Patch& patch,
                     bool one_way)
{
    BundleInput a(fs, old_path, platform::Links::follow);
    BundleInput b(fs, new_path, platform::Links::follow);
    if (Outcome f = a.open())
        return f;
    if (Outcome f = b.open())
        return f;
    patch = Patch{};
    if (std::optional<Entry> frame = frame_entry(a, b))
        patch.entries.push_back(std::move(*frame));
    Sha256 hash_a;
    Sha256 hash_b;
    ByteString x;
    ByteString y;
    const std::size_t count = std::max(a.pieces().size(), b.pieces().size());
    for (std::size_t k = 0; k < count; ++k) {
        if (Outcome f = a.next_piece(x, k < a.pieces().size() ? &hash_a : nullptr))
            return f;
        if (Outcome f = b.next_piece(y, k < b.pieces().size() ? &hash_b : nullptr))
            return f;
        if (k < a.pieces().size() && k < b.pieces().size() && x == y)
            continue;
        const Side none{};
        patch.entries.push_back(Entry{static_cast<std::uint32_t>(k), x.empty() ? none : side_of(x),
                                      y.empty() ? none : side_of(y), make_change(x, y), make_change(y, x)});
    }
    patch.old_bundle = {a.size(), hash_a.finish(), static_cast<std::uint32_t>(a.pieces().size())};
    patch.new_bundle = {b.size(), hash_b.finish(), static_cast<std::uint32_t>(b.pieces().size())};
    if (one_way)
        for (Entry& e : patch.entries)
            e.reverse = Change{Remake::none, {}, {}};
    if (patch.entries.empty())
        return tool_failure(Fault::no_change, new_path, format_text(msg::kSameBundleFormat, old_path.c_str()));
    return {};
}
