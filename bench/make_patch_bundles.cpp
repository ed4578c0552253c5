// make_patch_bundles -- write a bundle, and the same bundle with ten of
// its pieces edited, for bench/patch_vs_xdelta
//
//     make_patch_bundles OLD.BND NEW.BND [ENCODER]
//
// 127 pieces: every tenth an FLZ0 file of text (13 of them), the others
// varied raw bytes of the largest size, but piece 5, of 600,000 bytes. The
// edits: a sentence added to the decoded text of nine FLZ0 pieces and a
// word changed, each compressed again as bndjoin does; and 4,096 bytes
// added to piece 5. Each edit is made to the content as bndsplit -x
// writes it. ENCODER says what made the old FLZ0 pieces, as a bundle made
// elsewhere might have them: pack (the default: as bndjoin does, a bundle
// an earlier edit was joined into), tree0 and tree32 (the classic
// binary-tree encoder, its ring filled with zeros or spaces), chainN (a
// greedy hash-chain encoder of chain depth N), or greedy (a greedy encoder
// none of those makes again: its hash table's collisions count towards
// its chain, and the ring's first zeros are a source).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "encoders.hpp"
#include "flz0.hpp"
#include "greedy.hpp"
#include "le.hpp"
#include "pack.hpp"
#include "stored.hpp"

namespace {

using PieceBytes = std::vector<std::uint8_t>;

constexpr int kFlz0Every = 10;
constexpr int kGrownPiece = 5;
constexpr std::size_t kGrownSize = 600000;
constexpr std::size_t kGrowth = 4096;
constexpr int kTextEdits = 9;

std::string text_of_piece(int k)
{
    static const char* words[] = {"the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he", "was",
                                  "for", "on", "are", "as", "with", "his", "they", "at", "be", "this", "have",
                                  "from", "or", "one", "had", "by", "word", "but", "not", "what", "all", "were",
                                  "sword", "castle", "dragon", "village", "quest", "potion", "gold", "night"};
    std::mt19937 rng(static_cast<unsigned>(k));
    std::string s;
    while (s.size() < 60000) {
        s += words[rng() % std::size(words)];
        s += rng() % 12 == 0 ? ".\n" : " ";
    }
    return s;
}

// edited -- the text with a sentence added in its middle and a word changed
std::string edited(std::string text)
{
    const std::size_t middle = text.find('\n', text.size() / 2) + 1;
    text.insert(middle, "This sentence was added by the translation, and it is longer than most.\n");
    const std::size_t word = text.find("dragon", text.size() / 4);
    if (word != std::string::npos)
        text.replace(word, 6, "wyvern");
    return text;
}

// packed -- text as the encoder named makes an FLZ0 file of it; none for
// a name that is no encoder
std::optional<PieceBytes> packed(const std::string& text, const std::string& encoder)
{
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (encoder == "pack")
        return flz0_pack(bytes);
    if (encoder == "greedy")
        return greedy_encode(bytes);
    Encoder e{};
    if (encoder == "tree0" || encoder == "tree32")
        e = {EncoderFamily::tree, encoder == "tree0" ? 0x00u : 0x20u};
    else if (encoder.starts_with("chain"))
        e = {EncoderFamily::chain, static_cast<std::uint32_t>(std::atoi(encoder.c_str() + 5))};
    const std::optional<Bytes> stream = encoder_known(e) ? encode_stream(e, bytes) : std::nullopt;
    if (e.family == EncoderFamily::pack || !stream)
        return std::nullopt;
    PieceBytes file(kFlz0HeaderSize);
    std::copy(kFlz0Magic.begin(), kFlz0Magic.end(), file.begin());
    put_le16(file.data() + kOriginalSizeOffset, static_cast<std::uint32_t>(text.size()));
    put_le16(file.data() + kCompressedSizeOffset, static_cast<std::uint32_t>(stream->size()));
    file.insert(file.end(), stream->begin(), stream->end());
    return file;
}

PieceBytes raw_piece(int k, std::size_t size)
{
    PieceBytes p(size);
    std::uint32_t x = 12345u + static_cast<std::uint32_t>(k);
    for (std::uint8_t& b : p)
        b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    return p;
}

bool write_bundle(const char* path, const std::vector<PieceBytes>& pieces)
{
    std::vector<std::uint32_t> offsets = {kTableSize};
    for (const PieceBytes& p : pieces)
        offsets.push_back(offsets.back() + static_cast<std::uint32_t>(p.size()));
    const TableBytes table = make_table(offsets);
    std::FILE* f = std::fopen(path, "wb");
    bool ok = f && std::fwrite(table.data(), 1, table.size(), f) == table.size();
    for (const PieceBytes& p : pieces)
        ok = ok && std::fwrite(p.data(), 1, p.size(), f) == p.size();
    ok = f && std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "make_patch_bundles: cannot write %s\n", path);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string encoder = argc == 4 ? argv[3] : "pack";
    if (argc < 3 || argc > 4 || !packed("probe", encoder)) {
        std::fprintf(stderr, "usage: make_patch_bundles OLD.BND NEW.BND [pack|tree0|tree32|chainN|greedy]\n");
        return 1;
    }
    std::vector<PieceBytes> old_pieces;
    std::vector<PieceBytes> new_pieces;
    int texts_edited = 0;
    for (int k = 0; k < kMaxPieces; ++k) {
        if (k % kFlz0Every == 0) {
            old_pieces.push_back(*packed(text_of_piece(k), encoder));
            // The edit is made to the content as the split decodes it:
            // where an encoder's references reach into a ring filled with
            // other bytes than zeros, that is not quite the text it was given.
            const Bytes decoded = flz0_content(old_pieces.back())->decoded;
            const std::string text(decoded.begin(), decoded.end());
            new_pieces.push_back(texts_edited++ < kTextEdits ? *packed(edited(text), "pack") : old_pieces.back());
        } else {
            old_pieces.push_back(raw_piece(k, k == kGrownPiece ? kGrownSize : kMaxPieceSize));
            new_pieces.push_back(old_pieces.back());
            if (k == kGrownPiece) {
                const PieceBytes more = raw_piece(-k, kGrowth);
                new_pieces.back().insert(new_pieces.back().begin() + kGrownSize / 2, more.begin(), more.end());
            }
        }
    }
    return write_bundle(argv[1], old_pieces) && write_bundle(argv[2], new_pieces) ? 0 : 1;
}
