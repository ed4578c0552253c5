#include "flz0.hpp"

#include <algorithm>
#include <cstring>

#include "le.hpp"

// The decoder writes straight into the output instead of through a ring.
// The ring holds exactly the last 4096 bytes produced, so a reference at
// ring position p, read when the write position is w, copies the output
// from distance d = (w - p) mod 4096 back (4096 when p == w); a source
// before the start of the output is a ring byte never written, a zero.
// Copies go byte by byte in effect: a distance shorter than the length
// repeats the bytes being written.

namespace {

// The longest copy done as one fixed-size block, when the output has room
// for it: any reference fits, and a block load before its store keeps a
// copy whose source ends inside its own target correct.
constexpr std::size_t kBlock = kMaxMatch;

// write_position -- the ring position the output position `produced` is stored at
std::size_t write_position(std::size_t produced)
{
    return (kRingStart + produced) % kRingSize;
}

// distance_back -- how far behind the output position a ring position is
std::size_t distance_back(std::size_t produced, std::size_t ring_pos)
{
    return (write_position(produced) - ring_pos - 1) % kRingSize + 1;  // 1 .. 4096
}

// The fields of a reference's two bytes b0 b1: the position's low eight
// bits are b0, its high four the upper nibble of b1; the length less
// three is the lower nibble.
constexpr unsigned kPositionHighMask = 0xF0;
constexpr unsigned kLengthMask = 0x0F;
constexpr unsigned kPositionHighShift = 4;

std::size_t reference_position(const std::uint8_t* b)
{
    return b[0] | static_cast<std::size_t>(b[1] & kPositionHighMask) << kPositionHighShift;
}

// The widest store of an overlapping copy, and how far past len it may
// write: three 8-byte words cover the longest reference.
constexpr std::size_t kWord = 8;
constexpr std::size_t kRunReach = 3 * kWord;

// period_word -- the first eight bytes of the run that repeats the d (1 to
// 7) bytes at src, byte 0 first in memory: byte j of it is src[j % d]
inline std::uint64_t period_word(const std::uint8_t* src, std::size_t d)
{
    std::uint64_t w = 0;
    std::memcpy(&w, src, d);
    for (std::size_t span = d; span < kWord; span *= 2)
        w |= w << (8 * span);  // bytes [span, 2 span) repeat bytes [0, span)
    return w;
}

// copy_run -- len bytes from d back where d < len: the copy repeats its own
// output. With room for whole words, a word at a time: for d below 8 a
// word of the period, stored at steps of the largest multiple of d that
// fits in a word; for d of 8 or more, word by word from the bytes already
// written d back.
[[gnu::always_inline]] inline void copy_run(std::uint8_t* op, const std::uint8_t* src, std::size_t room, std::size_t d,
                                            std::size_t len)
{
    constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    if (!kLittleEndian || room < kRunReach) {
        for (std::size_t j = 0; j < len; ++j)
            op[j] = src[j];
        return;
    }
    if (d < kWord) {
        const std::uint64_t w = period_word(src, d);
        const std::size_t step = kWord - kWord % d;
        for (std::size_t j = 0; j < len; j += step)
            std::memcpy(op + j, &w, kWord);
        return;
    }
    for (std::size_t j = 0; j < len; j += kWord)
        std::memcpy(op + j, src + j, kWord);  // src + j + 8 <= op + j: written already
}

// copy_match -- len bytes from d back; the caller guarantees len bytes of room
[[gnu::always_inline]] inline void copy_match(std::uint8_t* op, const std::uint8_t* begin, const std::uint8_t* end,
                                              std::size_t d, std::size_t len)
{
    std::size_t produced = static_cast<std::size_t>(op - begin);
    if (d > produced) {  // reaches back before the start: zeros there
        for (std::size_t j = 0; j < len; ++j)
            op[j] = produced + j >= d ? begin[produced + j - d] : 0;
        return;
    }
    const std::uint8_t* src = op - d;
    const std::size_t room = static_cast<std::size_t>(end - op);
    if (d < len) {
        copy_run(op, src, room, d, len);
    } else if (room >= kBlock) {
        std::uint8_t block[kBlock];
        std::memcpy(block, src, kBlock);  // the source is all written: d >= len
        std::memcpy(op, block, kBlock);   // bytes past len are written again later
    } else {
        for (std::size_t j = 0; j < len; ++j)
            op[j] = src[j];
    }
}

// The most a group can use: eight two-byte references, producing 18 bytes each.
constexpr std::size_t kGroupInput = 2 * kItemsPerGroup;
constexpr std::size_t kGroupOutput = kMaxMatch * kItemsPerGroup;
constexpr unsigned kAllLiterals = 0xFF;

// Input and output positions of a decode; they only ever move forward.
struct Cursor {
    const std::uint8_t* ip;
    const std::uint8_t* iend;
    std::uint8_t* op;
    std::uint8_t* obegin;
    std::uint8_t* oend;
};

// reference -- decode the two bytes at ip and copy, at most `room` bytes.
// Inlined, as it runs for most output bytes.
[[gnu::always_inline]] inline void reference(Cursor& c, std::size_t room)
{
    std::size_t pos = reference_position(c.ip);
    std::size_t len = std::min<std::size_t>((c.ip[1] & kLengthMask) + kMinMatch, room);
    c.ip += 2;
    copy_match(c.op, c.obegin, c.oend, distance_back(static_cast<std::size_t>(c.op - c.obegin), pos), len);
    c.op += len;
}

// whole_group -- a group whose every item fits in both input and output,
// so no item needs a bounds check of its own
void whole_group(Cursor& c, unsigned flags)
{
    if (flags == kAllLiterals) {
        std::memcpy(c.op, c.ip, kItemsPerGroup);
        c.ip += kItemsPerGroup;
        c.op += kItemsPerGroup;
        return;
    }
    for (unsigned item = 0; item < kItemsPerGroup; ++item, flags >>= 1) {
        if (flags & 1)
            *c.op++ = *c.ip++;
        else
            reference(c, kMaxMatch);
    }
}

// last_group -- a group near either end, each item checked; false when the
// stream ends first
bool last_group(Cursor& c, unsigned flags)
{
    for (unsigned item = 0; item < kItemsPerGroup && c.op < c.oend; ++item, flags >>= 1) {
        if (flags & 1) {
            if (c.ip == c.iend)
                return false;
            *c.op++ = *c.ip++;
        } else {
            if (c.iend - c.ip < 2)
                return false;
            reference(c, static_cast<std::size_t>(c.oend - c.op));
        }
    }
    return true;
}

}  // namespace

bool has_flz0_magic(std::span<const std::uint8_t> image)
{
    return image.size() >= kFlz0Magic.size() && std::equal(kFlz0Magic.begin(), kFlz0Magic.end(), image.begin());
}

Flz0Header read_flz0_header(std::span<const std::uint8_t> image)
{
    std::array<std::uint8_t, kFlz0HeaderSize> header{};
    std::copy_n(image.begin(), std::min(image.size(), header.size()), header.begin());
    return {get_le16(header.data() + kOriginalSizeOffset), get_le16(header.data() + kCompressedSizeOffset)};
}

void write_flz0_header(std::span<std::uint8_t, kFlz0HeaderSize> out, Flz0Header h)
{
    std::copy(kFlz0Magic.begin(), kFlz0Magic.end(), out.begin());
    put_le16(out.data() + kOriginalSizeOffset, h.original_size);
    put_le16(out.data() + kCompressedSizeOffset, h.compressed_size);
}

Flz0Reference flz0_reference(std::size_t ring_pos, unsigned length)
{
    return {static_cast<std::uint8_t>(ring_pos & 0xFF),
            static_cast<std::uint8_t>(((ring_pos >> kPositionHighShift) & kPositionHighMask) | (length - kMinMatch))};
}

std::size_t ring_position(std::size_t produced, std::size_t distance)
{
    return (write_position(produced) + kRingSize - distance) % kRingSize;
}

std::span<const std::uint8_t> flz0_stream(std::span<const std::uint8_t> image)
{
    return image.size() > kFlz0HeaderSize ? image.subspan(kFlz0HeaderSize) : std::span<const std::uint8_t>{};
}

Decoded flz0_decode(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
{
    Cursor c{stream.data(), stream.data() + stream.size(), out.data(), out.data(), out.data() + out.size()};
    auto truncated = [&c] { return Decoded{DecodeStatus::truncated, static_cast<std::size_t>(c.op - c.obegin)}; };
    while (c.op < c.oend) {
        if (c.ip == c.iend)
            return truncated();
        unsigned flags = *c.ip++;
        if (static_cast<std::size_t>(c.iend - c.ip) >= kGroupInput &&
            static_cast<std::size_t>(c.oend - c.op) >= kGroupOutput)
            whole_group(c, flags);
        else if (!last_group(c, flags))
            return truncated();
    }
    return Decoded{DecodeStatus::ok, out.size(), static_cast<std::size_t>(c.ip - stream.data())};
}

Decoded decode_flz0_file(std::span<const std::uint8_t> file, std::span<std::uint8_t> out)
{
    return flz0_decode(flz0_stream(file.first(std::min(file.size(), kMaxImageSize))), out);
}

bool flz0_decodes_to(std::span<const std::uint8_t> file, std::span<const std::uint8_t> plain)
{
    if (!has_flz0_magic(file) || read_flz0_header(file).original_size != plain.size())
        return false;
    std::vector<std::uint8_t> decoded(plain.size());
    return decode_flz0_file(file, decoded).status == DecodeStatus::ok &&
           std::equal(plain.begin(), plain.end(), decoded.begin());
}
