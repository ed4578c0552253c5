// The encoders FLZ0 streams are known to come from, so that a piece whose
// stream another program wrote can be given back byte for byte from its
// decoded content: compress the content with each, and the one whose
// stream the piece holds is the one that made it.
//
// pack   flz0_pack's stream (pack.hpp), without its header.
//
// tree   The classic public-domain LZSS encoder of 1989: a binary search
//        tree of the strings in a 4,096-byte ring. Its setting is the byte
//        ring positions 0 to 4077 start as (0x00, or the classic's spaces,
//        0x20); positions 4078 on start as zero. The first 18 bytes of
//        the input are read to 4078 on, the 18 strings that start before
//        4078 are put in the tree, then the string at 4078. At each
//        position the match is the tree's longest of the strings compared
//        (the first compared of that length; one of 18 bytes takes the old
//        string's place in the tree), cut to the bytes of input left; one
//        of 2 bytes or fewer is a literal. After each byte coded, the
//        oldest string leaves the tree, the next input byte (if any)
//        replaces it in the ring, and the string at the next position goes
//        in. Its references may point at the ring's first fill: with
//        spaces, a stream whose references reach them reads back as zeros
//        there, since an FLZ0 decoder's ring starts as zeros, and so is
//        never the stream a file of that content holds.
//
// chain  A greedy encoder over hash chains, its setting the chain depth D.
//        At input position i, with L = min(18, bytes left): where L < 3, a
//        literal. Else the candidates are the earlier positions j that
//        start with the same three bytes as i and are at most 4096 back
//        (i - j <= 4096), newest first; the first D of them are compared,
//        each for up to L bytes (a match may run on into the bytes it
//        produces). The longest is taken, the first compared where two are
//        as long, and the walk stops at one of L bytes; where it has 3
//        bytes or more it is coded as a reference to ring position
//        (j + 4078) mod 4096, else position i is a literal. Every position
//        with three bytes left is a candidate for the positions after it,
//        whether coded as a literal or inside a reference. The ring's
//        first zeros are never a source.
//
// Every stream is groups of a flag byte and up to eight items, as FLZ0
// reads them; the last group holds only the items left, and its flag
// byte has bits for those only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "files.hpp"

// Which encoder made a stream, as a patch records it.
enum class EncoderFamily : std::uint8_t { pack = 0, tree = 1, chain = 2 };

struct Encoder {
    EncoderFamily family = EncoderFamily::pack;
    std::uint32_t setting = 0;  // tree: the byte the ring starts filled with (0x00 or 0x20); chain: the chain depth; pack: 0
    bool operator==(const Encoder&) const = default;
};

// known_encoders -- every encoder tried, in the order tried: pack, tree
// 0x00, tree 0x20, then chain depths 1, 2, 4, 8, 16, 32, 64, 128, 256 and
// 4096 (which compares every candidate in reach)
std::span<const Encoder> known_encoders();

// encoder_known -- whether an encoder read from a file is one of them
bool encoder_known(const Encoder& e);

// encode_stream -- the stream (no header) that encoder makes of content;
// none where content is longer than kMaxOriginalSize, the encoder is not
// known, or it makes no stream of it (pack: where no FLZ0 file holds it)
std::optional<Bytes> encode_stream(const Encoder& e, std::span<const std::uint8_t> content);

// What made a stream, and how long the stream is.
struct Identified {
    Encoder encoder;
    std::size_t stream_size = 0;
};

// identify_encoder -- the first known encoder whose stream for `content`
// is what `file` (a whole FLZ0 file) holds right after its header, with
// the stream's length; none where no known encoder gives those bytes. The
// bytes after that stream in the file may be anything.
std::optional<Identified> identify_encoder(std::span<const std::uint8_t> file, std::span<const std::uint8_t> content);
