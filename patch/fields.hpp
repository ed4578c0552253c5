// The fields patches are written in: unsigned LEB128 numbers (delta.hpp),
// SHA-256 digests, blocks of bytes with their length, and the sides of a
// change; and a reader of them that fails for good at the first field that
// does not read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "delta.hpp"
#include "failure.hpp"
#include "files.hpp"
#include "patch.hpp"
#include "sha256.hpp"

inline void put_digest(Bytes& out, const Digest& d)
{
    out.insert(out.end(), d.begin(), d.end());
}

inline void put_block(Bytes& out, std::span<const std::uint8_t> bytes)
{
    put_number(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void put_side(Bytes& out, const Side& side)
{
    out.push_back(side.present ? 1 : 0);
    if (side.present) {
        put_number(out, side.size);
        put_digest(out, side.hash);
    }
}

// A reader of a patch's fields, which fails for good at the first that
// does not read.
struct FieldReader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool ok = true;

    std::uint64_t number(std::uint64_t most)
    {
        std::uint64_t n = 0;
        DeltaStatus why = DeltaStatus::ok;
        if (!ok || !read_number(bytes, at, n, why) || n > most)
            ok = false;
        return ok ? n : 0;
    }
    std::uint8_t byte(std::uint8_t most)
    {
        if (!ok || at == bytes.size() || bytes[at] > most) {
            ok = false;
            return 0;
        }
        return bytes[at++];
    }
    void take(std::size_t n, std::uint8_t* into)
    {
        if (!ok || n > bytes.size() - at) {
            ok = false;
            return;
        }
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, into);
        at += n;
    }
    Digest digest()
    {
        Digest d{};
        take(d.size(), d.data());
        return d;
    }
    Bytes block()
    {
        const std::uint64_t n = number(bytes.size() - at);
        Bytes out(static_cast<std::size_t>(n));
        take(out.size(), out.data());
        return out;
    }
};

// read_side -- one side of a change: a piece is never empty, a file may be
inline Side read_side(FieldReader& r, std::uint64_t most, bool may_be_empty = false)
{
    Side side;
    side.present = r.byte(1) == 1;
    if (side.present) {
        side.size = r.number(most);
        side.hash = r.digest();
        r.ok = r.ok && (side.size > 0 || may_be_empty);
    }
    return side;
}


// patch_body -- a patch file's fields after its magic and version, where
// `known` takes that version and its closing SHA-256 holds: ok, with `r`
// reading them (its end is the body's), else why not; `version` is the
// version the file states
inline PatchStatus patch_body(std::span<const std::uint8_t> bytes, bool (*known)(std::uint64_t), FieldReader& r,
                              std::uint64_t& version)
{
    if (bytes.size() < kPatchMagic.size() || !std::equal(kPatchMagic.begin(), kPatchMagic.end(), bytes.begin()))
        return PatchStatus::not_a_patch;
    r = FieldReader{bytes, kPatchMagic.size()};
    version = r.number(UINT64_MAX);
    if (!r.ok)
        return PatchStatus::malformed;
    if (!known(version))
        return PatchStatus::other_version;
    const std::size_t body = bytes.size() >= sizeof(Digest) ? bytes.size() - sizeof(Digest) : 0;
    if (body < r.at || sha256(bytes.first(body)) != FieldReader{bytes, body}.digest())
        return PatchStatus::damaged;
    r.bytes = bytes.first(body);
    return PatchStatus::ok;
}
