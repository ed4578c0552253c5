#include "merging.hpp"

#include "merge.hpp"
#include "pack.hpp"

namespace {

// sides_of -- what one change takes a piece's content from and to, and
// the stored bytes it makes
Outcome sides_of(const Contribution& c, std::span<const std::uint8_t> original, bool reverse, Bytes& from, Bytes& to,
                 Bytes& made)
{
    Bytes changed;
    if (remake(original, c.entry->forward, kMaxPieceSize, changed) != RemakeStatus::ok ||
        side_of(changed) != c.entry->new_side)
        return piece_failure(Fault::bad_patch, c.from->path, Why::not_as_recorded, entry_piece(*c.entry));
    from = content_of(reverse ? changed : original).content;
    to = content_of(reverse ? original : changed).content;
    made = reverse ? Bytes(original.begin(), original.end()) : std::move(changed);
    return {};
}

}  // namespace

int entry_piece(const Entry& e)
{
    return e.piece == kFrame ? kFramePiece : static_cast<int>(e.piece);
}

Outcome same_compressor(std::span<const NamedPatch> patches)
{
    for (const NamedPatch& p : patches)
        if (p.patch.compressor != kCompressorVersion)
            return tool_failure(Fault::bad_patch, p.path, Why::other_compressor, p.patch.compressor, kCompressorVersion);
    return {};
}

Outcome changes_of(std::span<const NamedPatch> patches, Changes& changes)
{
    for (const NamedPatch& p : patches)
        for (const Entry& e : p.patch.entries) {
            if (e.piece == kFrame || !e.old_side.present || !e.new_side.present)
                return piece_failure(Fault::bad_patch, p.path, Why::not_combinable, entry_piece(e));
            changes[e.piece].push_back(Contribution{&p, &e});
        }
    return {};
}

Outcome merge_changes(std::uint32_t k, const std::vector<Contribution>& changes, std::span<const std::uint8_t> original,
                      bool reverse, const std::string& holder, Bytes& merged, std::vector<Bytes>& made,
                      std::vector<Failure>& overlaps)
{
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Contribution& c = changes[i];
        Bytes from, to;
        made.emplace_back();
        if (Outcome f = sides_of(c, original, reverse, from, to, made.back()))
            return f;
        Bytes both;
        Conflict at;
        if (merge3(from, merged, to, both, at)) {
            merged = std::move(both);
            continue;
        }
        Failure f = piece_failure(Fault::bad_patch, c.from->path, Why::overlapping, static_cast<int>(k));
        f.detail.size = at.start;
        f.detail.limit = at.end;
        f.detail.name = i == 0 ? holder : changes[i - 1].from->path;
        overlaps.push_back(std::move(f));
    }
    return {};
}

Outcome stored_again(const std::string& name, std::span<const std::uint8_t> now, const Bytes& merged,
                     const std::vector<Bytes>& made, Bytes& out)
{
    for (const Bytes& m : made)
        if (content_of(m).content == merged) {
            out = m;
            return {};
        }
    const Content c = content_of(now);
    if (!c.flz0) {
        out = merged;
        return {};
    }
    if (Outcome f = flz0_pack_checked(name, merged, out))
        return f;
    out.insert(out.end(), c.after.begin(), c.after.end());
    return {};
}
