// The FLZ0 format: one file compressed with LZSS over a 4,096-byte ring.
//
//   offset 0  4 bytes  "FLZ0"
//   offset 4  2 bytes  original size, unsigned little-endian
//   offset 6  2 bytes  compressed size, unsigned little-endian (shown, never used)
//   offset 8  the stream, to the end of the file
//
// The stream is groups of one flag byte and eight items. Flag bits are taken
// from bit 0 upward: 1 is a literal byte, 0 a two-byte reference b0 b1 to
// ring position b0 + (b1 & 0xF0) * 16, of length (b1 & 0x0F) + 3. The
// position is absolute, not a distance. Every byte produced is also stored in
// the ring at the write position, which starts at 4078 and wraps at 4096; the
// ring starts as zero bytes. References copy one byte at a time, so a source
// just behind the write position repeats the bytes being written.
//
// This decoder stops at exactly the original size, in the middle of a group
// or of a reference if need be, and it reads only the bytes it is given: a
// stream that ends early is reported, never padded. Input and output
// positions are checked against their ends before every access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::array<std::uint8_t, 4> kFlz0Magic = {'F', 'L', 'Z', '0'};
inline constexpr std::size_t kFlz0HeaderSize = 8;
inline constexpr std::size_t kOriginalSizeOffset = 4;
inline constexpr std::size_t kCompressedSizeOffset = 6;

inline constexpr std::size_t kRingSize = 4096;
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 18;
inline constexpr std::size_t kRingStart = kRingSize - kMaxMatch;  // 4078
inline constexpr unsigned kItemsPerGroup = 8;

inline constexpr std::size_t kMaxOriginalSize = 0xFFFF;
// The largest file readers of the format take: they load it whole into an
// image of this size, and the compressor writes no larger file.
inline constexpr std::size_t kMaxFlz0FileSize = 0x10000;
// The most input any stream can need: a flag byte per eight items, and one
// byte per item but the last, which may be a two-byte reference of which
// only one byte is still due.
inline constexpr std::size_t kMaxStreamSize =
    (kMaxOriginalSize + kItemsPerGroup - 1) / kItemsPerGroup + kMaxOriginalSize + 1;
inline constexpr std::size_t kMaxImageSize = kFlz0HeaderSize + kMaxStreamSize;  // 73,736

struct Flz0Header {
    std::uint16_t original_size;
    std::uint16_t compressed_size;
};

enum class DecodeStatus { ok, truncated };

// What a decode gave: ok, or truncated after `produced` bytes.
struct Decoded {
    DecodeStatus status;
    std::size_t produced;
    std::size_t read = 0;  // of the stream, up to the last byte any item took
};

// has_flz0_magic -- whether the image starts with "FLZ0"
bool has_flz0_magic(std::span<const std::uint8_t> image);

// read_flz0_header -- the two sizes; header bytes past the end of a short
// image read as zero
Flz0Header read_flz0_header(std::span<const std::uint8_t> image);

// flz0_stream -- the compressed stream of an image (empty when it is shorter
// than the header)
std::span<const std::uint8_t> flz0_stream(std::span<const std::uint8_t> image);

// write_flz0_header -- the header of a file whose stream is `h.compressed_size`
// bytes and decodes to `h.original_size`
void write_flz0_header(std::span<std::uint8_t, kFlz0HeaderSize> out, Flz0Header h);

// A reference item's two bytes.
using Flz0Reference = std::array<std::uint8_t, 2>;

// flz0_reference -- the item that copies `length` bytes (3 to 18) from a
// ring position
Flz0Reference flz0_reference(std::size_t ring_pos, unsigned length);

// ring_position -- the ring position of the byte `distance` (1 to 4096)
// behind the output position `produced`
std::size_t ring_position(std::size_t produced, std::size_t distance);

// flz0_decode -- decode exactly out.size() bytes from the stream; truncated
// when the stream ends first
Decoded flz0_decode(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out);

// decode_flz0_file -- a whole FLZ0 file decoded as varnix decodes it: the
// header's original size of bytes (out.size() must be that) from as much
// of the file as any stream can need, the rest of a longer file unread
Decoded decode_flz0_file(std::span<const std::uint8_t> file, std::span<std::uint8_t> out);

// flz0_decodes_to -- whether a file is an FLZ0 file that decodes, as
// varnix decodes it, to exactly `plain`
bool flz0_decodes_to(std::span<const std::uint8_t> file, std::span<const std::uint8_t> plain);
