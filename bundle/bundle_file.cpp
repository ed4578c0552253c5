#include "bundle_file.hpp"

#include <array>

#include "le.hpp"
#include "output.hpp"

namespace {

// hash_streamed -- the SHA-256 of a part too large to hold, a block at a time
Outcome hash_streamed(const InputFile& in, const Range& r, Bytes& buf, Digest& hash)
{
    Sha256 h;
    buf.resize(kCopyBlock);
    for (std::uint64_t at = r.start; at < r.end;) {
        const std::span<std::uint8_t> block =
            std::span(buf).first(static_cast<std::size_t>(std::min<std::uint64_t>(r.end - at, buf.size())));
        if (Outcome f = read_exact(in, at, block))
            return f;
        h.update(block);
        at += block.size();
    }
    hash = h.finish();
    return {};
}

}  // namespace

Outcome open_bundle(platform::FileSystem& fs, const std::string& path, platform::Links links, BundleFile& b)
{
    b.file = std::make_unique<InputFile>(fs, path, links);
    if (Outcome f = opened(*b.file, Fault::cannot_open, b.info))
        return f;
    FileBytes bytes(*b.file, b.info.size);
    if (Outcome f = read_table(bytes, b.table)) {
        f->fault = Fault::cannot_open;  // no bundle to read at all
        return f;
    }
    b.listed = enumerate_pieces(b.table, kMaxPieces);
    return {};
}

Outcome read_table(ByteSource& bytes, TableBytes& table)
{
    table = TableBytes{};  // a short bundle reads as zeros
    return bytes.read(0, std::span(table).first(static_cast<std::size_t>(std::min<std::uint64_t>(kTableSize, bytes.size()))));
}

bool pieces_are_parts(std::span<const Piece> listed, std::uint64_t size)
{
    return !listed.empty() && listed.back().end <= size;
}

std::vector<Range> digest_parts(std::span<const Piece> listed, std::uint64_t size)
{
    if (!pieces_are_parts(listed, size))
        return {{0, size}};
    std::vector<Range> parts = {{0, listed.front().start}};
    for (const Piece& p : listed)
        parts.push_back({p.start, p.end});
    parts.push_back({listed.back().end, size});
    return parts;
}

Digest bundle_digest(std::span<const PartDigest> parts)
{
    Sha256 h;
    for (const PartDigest& p : parts) {
        std::array<std::uint8_t, 8> size{};
        put_le32(size.data(), static_cast<std::uint32_t>(p.size));
        put_le32(size.data() + 4, static_cast<std::uint32_t>(p.size >> 32));
        h.update(size);
        h.update(p.hash);
    }
    return h.finish();
}

Outcome digest_bundle(const BundleFile& b, Identity& identity, std::vector<PartDigest>& parts, const PartSeen& seen)
{
    const std::vector<Range> ranges = digest_parts(b.listed, b.size());
    parts.assign(ranges.size(), PartDigest{});
    // Parts read in turn into buffers, each hashed by the second thread
    // where it has room, else here; a buffer is read into again once the
    // digest of what it held is taken.
    std::array<Bytes, Behind::kDepth + 1> buf;
    std::array<std::uint64_t, Behind::kDepth + 1> job{};  // the digest each buffer waits for, 0 for none
    DigestBehind behind;
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const Range& r = ranges[k];
        parts[k].size = r.size();
        std::size_t free = 0;
        while (!behind.done(job[free]))
            free = (free + 1) % buf.size();
        Bytes& bytes = buf[free];
        if (r.size() > kWholePart) {
            if (Outcome f = hash_streamed(*b.file, r, bytes, parts[k].hash))
                return f;
            continue;
        }
        bytes.resize(static_cast<std::size_t>(r.size()));
        if (Outcome f = read_exact(*b.file, r.start, bytes))
            return f;
        if (seen)
            if (Outcome f = seen(k, bytes))
                return f;
        job[free] = behind.take(bytes, &parts[k].hash);
    }
    behind.wait();
    identity = Identity{b.size(), bundle_digest(parts), false};
    return {};
}

Outcome whole_sha256(const InputFile& in, std::uint64_t size, Digest& digest)
{
    Bytes buf;
    return hash_streamed(in, Range{0, size}, buf, digest);
}

Outcome read_piece(const BundleFile& b, const Piece& piece, Bytes& out)
{
    out.resize(piece.size());
    return read_exact(*b.file, piece.start, out);
}
