#include "patch.hpp"

#include <algorithm>
#include <array>

#include "delta.hpp"
#include "fields.hpp"
#include "flz0.hpp"
#include "layout.hpp"
#include "le.hpp"

namespace {

constexpr std::uint8_t kWhatPiece = 0;
constexpr std::uint8_t kWhatFrame = 1;

void put_bundle_id(Bytes& out, const BundleId& id)
{
    put_number(out, id.size);
    put_digest(out, id.hash);
    put_number(out, id.pieces);
}

void put_change(Bytes& out, const Change& change)
{
    out.push_back(static_cast<std::uint8_t>(change.how));
    if (change.how == Remake::none)
        return;
    if (change.how == Remake::flz0) {
        out.push_back(static_cast<std::uint8_t>(change.encoder.family));
        put_number(out, change.encoder.setting);
        put_number(out, change.stated.value_or(0));
    }
    put_block(out, change.delta);
    if (change.how == Remake::flz0)
        put_block(out, change.after);
}

BundleId read_bundle_id(FieldReader& r)
{
    BundleId id;
    id.size = r.number(UINT64_MAX);
    id.hash = r.digest();
    id.pieces = static_cast<std::uint32_t>(r.number(kMaxPieces));
    return id;
}

std::vector<Mark> read_marks(FieldReader& r, std::uint32_t pieces)
{
    std::vector<Mark> marks(pieces);
    for (Mark& m : marks) {
        m.size = r.number(kMaxPieceSize);
        r.take(m.hash.size(), m.hash.data());
        r.ok = r.ok && m.size > 0;
    }
    return marks;
}

// read_encoder -- the encoder of an FLZ0 change, and the size its header
// states: stated in version 2, flz0_pack's own in version 1
void read_encoder(FieldReader& r, std::uint64_t version, Change& change)
{
    if (version == kFirstPatchVersion)
        return;
    change.encoder.family = static_cast<EncoderFamily>(r.byte(UINT8_MAX));
    change.encoder.setting = static_cast<std::uint32_t>(r.number(UINT32_MAX));
    change.stated = static_cast<std::uint16_t>(r.number(UINT16_MAX));
    r.ok = r.ok && encoder_known(change.encoder);
}

Change read_change(FieldReader& r, Remake most, std::uint64_t version)
{
    Change change;
    change.how = static_cast<Remake>(r.byte(static_cast<std::uint8_t>(most)));
    if (change.how == Remake::none)
        return change;
    if (change.how == Remake::flz0)
        read_encoder(r, version, change);
    change.delta = r.block();
    if (change.how == Remake::flz0)
        change.after = r.block();
    return change;
}

// entry_fits -- whether an entry states what a bundle can hold: a piece
// within the table, stored on at least one side, and a frame on both
bool entry_fits(const Entry& e, const Patch& p)
{
    if (e.piece == kFrame)
        return e.old_side.present && e.new_side.present && e.old_side.size >= kTableSize &&
               e.new_side.size >= kTableSize && e.forward.how == Remake::raw && e.reverse.how != Remake::flz0;
    return (e.old_side.present || e.new_side.present) && e.old_side.present == (e.piece < p.old_bundle.pieces) &&
           e.new_side.present == (e.piece < p.new_bundle.pieces);
}

}  // namespace

Bytes patch_bytes(const Patch& patch)
{
    Bytes out(kPatchMagic.begin(), kPatchMagic.end());
    put_number(out, kPatchVersion);
    put_number(out, patch.compressor);
    put_bundle_id(out, patch.old_bundle);
    for (const Mark& m : patch.old_marks) {
        put_number(out, m.size);
        out.insert(out.end(), m.hash.begin(), m.hash.end());
    }
    put_bundle_id(out, patch.new_bundle);
    put_number(out, patch.entries.size());
    for (const Entry& e : patch.entries) {
        if (e.piece == kFrame) {
            out.push_back(kWhatFrame);
        } else {
            out.push_back(kWhatPiece);
            put_number(out, e.piece);
        }
        put_side(out, e.old_side);
        put_side(out, e.new_side);
        put_change(out, e.forward);
        put_change(out, e.reverse);
    }
    put_digest(out, sha256(out));
    return out;
}

PatchStatus read_patch(std::span<const std::uint8_t> bytes, Patch& patch, std::uint64_t& version)
{
    patch = Patch{};
    FieldReader r;
    const auto known = [](std::uint64_t v) { return v == kPatchVersion || v == kFirstPatchVersion; };
    if (PatchStatus status = patch_body(bytes, known, r, version); status != PatchStatus::ok)
        return status;
    const std::size_t body = r.bytes.size();
    patch.version = version;
    patch.compressor = r.number(UINT64_MAX);
    patch.old_bundle = read_bundle_id(r);
    if (version != kFirstPatchVersion)
        patch.old_marks = read_marks(r, patch.old_bundle.pieces);
    patch.new_bundle = read_bundle_id(r);
    const std::uint64_t count = r.number(kTableEntries);
    std::uint64_t next = 0;  // the least number the next piece may have
    for (std::uint64_t i = 0; i < count && r.ok; ++i) {
        Entry e;
        const bool frame = r.byte(kWhatFrame) == kWhatFrame;
        r.ok = r.ok && !(frame && i != 0);
        e.piece = frame ? kFrame : static_cast<std::uint32_t>(r.number(kMaxPieces - 1));
        r.ok = r.ok && (frame || e.piece >= next);
        next = e.piece + 1;
        const std::uint64_t most = frame ? UINT32_MAX : kMaxPieceSize;
        e.old_side = read_side(r, most);
        e.new_side = read_side(r, most);
        e.forward = read_change(r, Remake::flz0, version);
        e.reverse = read_change(r, Remake::none, version);
        r.ok = r.ok && entry_fits(e, patch);
        patch.entries.push_back(std::move(e));
    }
    // Both bundles list pieces, and every piece one lists and the other
    // does not has its entry.
    const std::uint32_t fewer = std::min(patch.old_bundle.pieces, patch.new_bundle.pieces);
    const std::uint32_t more = std::max(patch.old_bundle.pieces, patch.new_bundle.pieces);
    std::uint32_t covered = fewer;
    for (const Entry& e : patch.entries)
        covered += e.piece != kFrame && e.piece >= fewer;
    r.ok = r.ok && fewer > 0 && covered == more && !patch.entries.empty();
    if (!r.ok || r.at != body) {
        patch = Patch{};
        return PatchStatus::malformed;
    }
    return PatchStatus::ok;
}

std::uint64_t way_back_size(const Patch& patch)
{
    Patch there = patch;
    for (Entry& e : there.entries)
        e.reverse = Change{.how = Remake::none};
    return patch_bytes(patch).size() - patch_bytes(there).size();
}

Mark mark_of(std::span<const std::uint8_t> piece)
{
    Mark m{.size = piece.size()};
    const Digest d = sha256(piece);
    std::copy_n(d.begin(), m.hash.size(), m.hash.begin());
    return m;
}

Change make_change(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target, bool carried)
{
    Change raw{.how = Remake::raw, .delta = make_delta(source, target)};
    const Content to = content_of(target);
    if (!to.flz0 || target.size() < kFlz0HeaderSize)
        return raw;
    const std::optional<Identified> made = identify_encoder(target, to.content);
    if (!made)
        return carried ? raw : Change{.how = Remake::none};
    // The bytes after the stream the encoder makes, which may start before
    // the bytes a decoder reads past.
    const std::span<const std::uint8_t> after = target.subspan(kFlz0HeaderSize + made->stream_size);
    const Content from = content_of(source);
    Change again{.how = Remake::flz0,
                 .delta = make_delta(from.content, to.content),
                 .after = make_delta(from.after, after),
                 .encoder = made->encoder,
                 .stated = get_le16(target.data() + kCompressedSizeOffset)};
    return again.delta.size() + again.after.size() < raw.delta.size() ? again : raw;
}

namespace {

// stored_by -- an FLZ0 file of this content as the change's encoder makes
// it, its header stating what the change says, then the bytes after
std::optional<Bytes> stored_by(const Change& change, std::span<const std::uint8_t> content,
                               std::span<const std::uint8_t> after)
{
    std::optional<Bytes> stream = encode_stream(change.encoder, content);
    if (!stream)
        return std::nullopt;
    Bytes out(kFlz0HeaderSize);
    std::copy(kFlz0Magic.begin(), kFlz0Magic.end(), out.begin());
    put_le16(out.data() + kOriginalSizeOffset, static_cast<std::uint32_t>(content.size()));
    put_le16(out.data() + kCompressedSizeOffset, change.stated.value_or(static_cast<std::uint16_t>(stream->size())));
    out.insert(out.end(), stream->begin(), stream->end());
    out.insert(out.end(), after.begin(), after.end());
    return out;
}

}  // namespace

RemakeStatus remake(std::span<const std::uint8_t> source, const Change& change, std::size_t limit, Bytes& out)
{
    out.clear();
    if (change.how == Remake::none)
        return RemakeStatus::bad_delta;
    if (change.how == Remake::raw)
        return apply_delta(source, change.delta, limit, out) == DeltaStatus::ok ? RemakeStatus::ok
                                                                                 : RemakeStatus::bad_delta;
    const Content from = content_of(source);
    Bytes content;
    Bytes after;
    if (apply_delta(from.content, change.delta, kMaxOriginalSize, content) != DeltaStatus::ok ||
        apply_delta(from.after, change.after, limit, after) != DeltaStatus::ok)
        return RemakeStatus::bad_delta;
    std::optional<Bytes> stored = stored_by(change, content, after);
    if (!stored || stored->size() > limit)
        return RemakeStatus::cannot_pack;
    out = std::move(*stored);
    return RemakeStatus::ok;
}

Bytes frame_bytes(const Frame& frame)
{
    Bytes out(frame.table.begin(), frame.table.end());
    out.insert(out.end(), frame.head.begin(), frame.head.end());
    out.insert(out.end(), frame.tail.begin(), frame.tail.end());
    return out;
}

std::optional<Frame> frame_of(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kTableSize)
        return std::nullopt;
    Frame f;
    std::copy_n(bytes.begin(), kTableSize, f.table.begin());
    const std::uint32_t first = table_entry(f.table, 0);
    if (first < kTableSize || first > bytes.size())
        return std::nullopt;
    f.head.assign(bytes.begin() + kTableSize, bytes.begin() + first);
    f.tail.assign(bytes.begin() + first, bytes.end());
    return f;
}

Frame frame_without_patch(std::span<const std::uint32_t> sizes, const Frame& old, std::vector<Piece>& pieces)
{
    const std::vector<Piece> listed = enumerate_pieces(old.table, kMaxPieces);
    const OldBundle was{old.table, (listed.empty() ? kTableSize : listed.back().end) + old.tail.size()};
    const Layout layout = plan_layout(sizes, &was, LayoutPolicy{.any_count = true});
    pieces = layout.pieces;
    if (layout.lost != LayoutLost::none)  // past what a table holds: from the table on, nothing else kept
        return Frame{layout.table, {}, {}};
    return Frame{layout.table, old.head, old.tail};
}

Side side_of(std::span<const std::uint8_t> bytes)
{
    return Side{true, bytes.size(), sha256(bytes)};
}
