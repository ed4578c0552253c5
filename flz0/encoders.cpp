#include "encoders.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "flz0.hpp"
#include "pack.hpp"

namespace {

constexpr std::uint32_t kSpaceFill = 0x20;
constexpr std::uint32_t kZeroFill = 0x00;
constexpr std::uint32_t kDeepestChain = kRingSize;

// In the order tried: where two write the same stream, the first is named.
constexpr auto kKnown = std::to_array<Encoder>({
    {EncoderFamily::pack, 0},
    {EncoderFamily::tree, kZeroFill},
    {EncoderFamily::tree, kSpaceFill},
    {EncoderFamily::chain, 1},
    {EncoderFamily::chain, 2},
    {EncoderFamily::chain, 4},
    {EncoderFamily::chain, 8},
    {EncoderFamily::chain, 16},
    {EncoderFamily::chain, 32},
    {EncoderFamily::chain, 64},
    {EncoderFamily::chain, 128},
    {EncoderFamily::chain, 256},
    {EncoderFamily::chain, kDeepestChain},
});

// Where a stream goes as it is made: kept whole, or held against the bytes
// a file holds, and given up at the first group that differs from them.
class StreamOut {
public:
    StreamOut() = default;
    explicit StreamOut(std::span<const std::uint8_t> expected) : expected_(expected), checking_(true) {}

    void put(std::span<const std::uint8_t> group)
    {
        if (checking_) {
            differs_ = differs_ || expected_.size() - size_ < group.size() ||
                       !std::equal(group.begin(), group.end(), expected_.begin() + static_cast<std::ptrdiff_t>(size_));
        } else {
            bytes_.insert(bytes_.end(), group.begin(), group.end());
        }
        size_ += group.size();
    }
    bool differs() const { return differs_; }
    std::size_t size() const { return size_; }
    Bytes take() { return std::move(bytes_); }

private:
    std::span<const std::uint8_t> expected_;
    bool checking_ = false;
    bool differs_ = false;
    std::size_t size_ = 0;
    Bytes bytes_;
};

// One group at a time: its flag byte, then its items, handed on whole.
class Groups {
public:
    explicit Groups(StreamOut& out) : out_(out) {}

    void literal(std::uint8_t b)
    {
        group_[0] |= static_cast<std::uint8_t>(1u << items_);
        group_[used_++] = b;
        next();
    }
    void reference(std::size_t ring_pos, unsigned length)
    {
        const Flz0Reference r = flz0_reference(ring_pos, length);
        group_[used_++] = r[0];
        group_[used_++] = r[1];
        next();
    }
    // flush -- the last group, with the items it holds
    void flush()
    {
        if (items_ == 0)
            return;
        out_.put(std::span(group_).first(used_));
        group_[0] = 0;
        used_ = 1;
        items_ = 0;
    }

private:
    void next()
    {
        if (++items_ == kItemsPerGroup)
            flush();
    }

    StreamOut& out_;
    std::array<std::uint8_t, 1 + 2 * kItemsPerGroup> group_{};
    std::size_t used_ = 1;
    unsigned items_ = 0;
};

// The classic encoder's binary tree. Node k (0 to 4095) is the string of
// 18 bytes at ring position k; each byte value has a root of its own,
// whose right child is the tree of the strings that start with it. In a
// tree, strings that compare less (as unsigned bytes, from their second
// on) are on the left.
class TreeEncoder {
public:
    TreeEncoder(std::uint8_t fill, std::span<const std::uint8_t> input) : input_(input)
    {
        std::fill(ring_.begin(), ring_.begin() + kRingStart, fill);
        left_.fill(kNil);
        right_.fill(kNil);
        parent_.fill(kNil);
    }

    void encode(StreamOut& out);

private:
    static constexpr std::size_t kNil = kRingSize;
    static constexpr std::size_t kRoots = kRingSize + 1;
    static constexpr std::size_t kNodes = kRoots + 256;
    static constexpr unsigned kLongestLiteral = kMinMatch - 1;  // a match this short is coded as a literal

    void put(std::size_t pos, std::uint8_t b);
    void insert(std::size_t r);
    void remove(std::size_t p);
    void take_place(std::size_t p, std::size_t q);
    void start();
    unsigned code_one(Groups& groups);
    void advance(unsigned count);

    std::span<const std::uint8_t> input_;
    std::size_t next_ = 0;  // the next input byte to read into the ring
    // The ring, and after it a copy of its first 17 bytes, so that a
    // string near the end reads on across the wrap.
    std::array<std::uint8_t, kRingSize + kMaxMatch - 1> ring_{};
    std::array<std::uint16_t, kNodes> left_, right_, parent_;  // kNil: none
    std::size_t match_pos_ = 0;
    unsigned match_len_ = 0;
    std::size_t oldest_ = 0;       // the string that leaves the tree next
    std::size_t at_ = kRingStart;  // the position being coded
    unsigned ahead_ = 0;           // input bytes in the ring from at_ on
};

void TreeEncoder::put(std::size_t pos, std::uint8_t b)
{
    ring_[pos] = b;
    if (pos < kMaxMatch - 1)
        ring_[pos + kRingSize] = b;
}

// insert -- the string at r into its tree, the longest match with it on
// the way down as match_pos_ and match_len_; a string equal in all 18
// bytes leaves the tree for it
void TreeEncoder::insert(std::size_t r)
{
    const std::uint8_t* key = &ring_[r];
    std::size_t p = kRoots + key[0];
    int cmp = 1;
    left_[r] = right_[r] = kNil;
    match_len_ = 0;
    for (;;) {
        std::uint16_t& child = cmp >= 0 ? right_[p] : left_[p];
        if (child == kNil) {
            child = static_cast<std::uint16_t>(r);
            parent_[r] = static_cast<std::uint16_t>(p);
            return;
        }
        p = child;
        unsigned i = 1;
        for (; i < kMaxMatch; ++i)
            if ((cmp = key[i] - ring_[p + i]) != 0)
                break;
        if (i > match_len_) {
            match_pos_ = p;
            match_len_ = i;
            if (i >= kMaxMatch)
                break;
        }
    }
    left_[r] = left_[p];
    right_[r] = right_[p];
    parent_[left_[p]] = static_cast<std::uint16_t>(r);
    parent_[right_[p]] = static_cast<std::uint16_t>(r);
    take_place(p, r);
}

// take_place -- q (kNil for none) hangs where p did, and p leaves the tree
void TreeEncoder::take_place(std::size_t p, std::size_t q)
{
    const std::size_t up = parent_[p];
    parent_[q] = static_cast<std::uint16_t>(up);
    (right_[up] == p ? right_[up] : left_[up]) = static_cast<std::uint16_t>(q);
    parent_[p] = kNil;
}

// remove -- the string at p out of its tree, if it is in one: a node with
// two subtrees is replaced by the rightmost node of its left one
void TreeEncoder::remove(std::size_t p)
{
    if (parent_[p] == kNil)
        return;
    std::size_t q = left_[p];
    if (right_[p] != kNil && q != kNil) {
        if (right_[q] != kNil) {
            while (right_[q] != kNil)
                q = right_[q];
            right_[parent_[q]] = left_[q];
            parent_[left_[q]] = parent_[q];
            left_[q] = left_[p];
            parent_[left_[p]] = static_cast<std::uint16_t>(q);
        }
        right_[q] = right_[p];
        parent_[right_[p]] = static_cast<std::uint16_t>(q);
    } else if (q == kNil) {
        q = right_[p];
    }
    take_place(p, q);
}

// start -- the first bytes of input read to the ring's start position, and
// the strings that end there, then the one that starts there, in the tree
void TreeEncoder::start()
{
    while (ahead_ < kMaxMatch && next_ < input_.size())
        put(at_ + ahead_++, input_[next_++]);
    for (std::size_t back = 1; back <= kMaxMatch; ++back)
        insert(at_ - back);
    insert(at_);
}

// code_one -- the item at the position being coded; how many bytes it takes
unsigned TreeEncoder::code_one(Groups& groups)
{
    const unsigned length = std::min(match_len_, ahead_);
    if (length <= kLongestLiteral) {
        groups.literal(ring_[at_]);
        return 1;
    }
    groups.reference(match_pos_, length);
    return length;
}

// advance -- past `count` bytes: for each, the oldest string leaves the
// tree, the next input byte takes its place in the ring, and the string at
// the next position goes in while any input is left to code
void TreeEncoder::advance(unsigned count)
{
    for (unsigned k = 0; k < count; ++k) {
        remove(oldest_);
        if (next_ < input_.size())
            put(oldest_, input_[next_++]);
        else
            --ahead_;
        oldest_ = (oldest_ + 1) % kRingSize;
        at_ = (at_ + 1) % kRingSize;
        if (ahead_ > 0)
            insert(at_);
    }
}

void TreeEncoder::encode(StreamOut& out)
{
    if (input_.empty())
        return;
    Groups groups(out);
    start();
    while (ahead_ > 0 && !out.differs())
        advance(code_one(groups));
    groups.flush();
}

// The hash chains of an input: for each position with three bytes left,
// the nearest earlier one whose three bytes hash alike. Every such
// position is linked, whatever the parse, so one set of links serves
// every depth. Positions whose bytes only hash alike are passed over, so
// the hash decides only the speed.
class ChainLinks {
public:
    explicit ChainLinks(std::span<const std::uint8_t> input);
    // first -- the nearest earlier position linked to i
    std::uint32_t first(std::size_t i) const { return prev_[i]; }
    std::uint32_t next(std::uint32_t j) const { return prev_[j]; }
    static constexpr std::uint32_t kNone = UINT32_MAX;

private:
    static constexpr unsigned kHashBits = 15;
    static std::uint32_t hash(const std::uint8_t* p)
    {
        const std::uint32_t v = p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    std::vector<std::uint32_t> prev_;
};

ChainLinks::ChainLinks(std::span<const std::uint8_t> input) : prev_(input.size(), kNone)
{
    std::vector<std::uint32_t> head(std::size_t{1} << kHashBits, kNone);
    for (std::size_t i = 0; i + kMinMatch <= input.size(); ++i) {
        std::uint32_t& h = head[hash(&input[i])];
        prev_[i] = h;
        h = static_cast<std::uint32_t>(i);
    }
}

// A match found: its length and its source's input position.
struct ChainMatch {
    unsigned length = 0;
    std::size_t source = 0;
};

bool same_three(const std::uint8_t* a, const std::uint8_t* b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// chain_longest -- the longest of the first `depth` candidates for
// position i, the first compared where two are as long
ChainMatch chain_longest(std::span<const std::uint8_t> in, const ChainLinks& links, std::size_t i, std::uint32_t depth)
{
    const unsigned limit = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, in.size() - i));
    ChainMatch best;
    if (limit < kMinMatch)
        return best;
    std::uint32_t examined = 0;
    for (std::uint32_t j = links.first(i); j != ChainLinks::kNone && i - j <= kRingSize && examined < depth;
         j = links.next(j)) {
        if (!same_three(&in[j], &in[i]))
            continue;  // not of this chain: another three bytes of the same hash
        ++examined;
        if (in[j + best.length] != in[i + best.length])
            continue;  // cannot be longer than the best
        unsigned n = kMinMatch;
        while (n < limit && in[j + n] == in[i + n])
            ++n;
        if (n > best.length) {
            best = {n, j};
            if (n == limit)
                break;
        }
    }
    return best;
}

// encode_chain -- the chain encoder's stream at one depth
void encode_chain(std::span<const std::uint8_t> in, const ChainLinks& links, std::uint32_t depth, StreamOut& out)
{
    Groups groups(out);
    for (std::size_t i = 0; i < in.size() && !out.differs();) {
        const ChainMatch m = chain_longest(in, links, i, depth);
        if (m.length >= kMinMatch) {
            groups.reference((m.source + kRingStart) % kRingSize, m.length);
            i += m.length;
        } else {
            groups.literal(in[i]);
            ++i;
        }
    }
    groups.flush();
}

// The input being encoded, and its hash chains, made at the first use.
struct Subject {
    std::span<const std::uint8_t> input;
    std::optional<ChainLinks> links;
    const ChainLinks& chains()
    {
        if (!links)
            links.emplace(input);
        return *links;
    }
};

// encode_pack -- flz0_pack's stream; none where it makes no file
bool encode_pack(std::span<const std::uint8_t> in, StreamOut& out)
{
    const std::optional<Bytes> file = flz0_pack(in);
    if (!file)
        return false;
    out.put(flz0_stream(*file));
    return true;
}

// encode -- the stream of a known encoder into out; false where it makes none
bool encode(const Encoder& e, Subject& subject, StreamOut& out)
{
    switch (e.family) {
    case EncoderFamily::pack:
        return encode_pack(subject.input, out);
    case EncoderFamily::tree:
        std::make_unique<TreeEncoder>(static_cast<std::uint8_t>(e.setting), subject.input)->encode(out);
        return true;
    case EncoderFamily::chain:
        encode_chain(subject.input, subject.chains(), e.setting, out);
        return true;
    }
    return false;
}

}  // namespace

std::span<const Encoder> known_encoders()
{
    return kKnown;
}

bool encoder_known(const Encoder& e)
{
    return std::find(kKnown.begin(), kKnown.end(), e) != kKnown.end();
}

std::optional<Bytes> encode_stream(const Encoder& e, std::span<const std::uint8_t> content)
{
    if (content.size() > kMaxOriginalSize || !encoder_known(e))
        return std::nullopt;
    Subject subject{content, std::nullopt};
    StreamOut out;
    if (!encode(e, subject, out))
        return std::nullopt;
    return out.take();
}

std::optional<Identified> identify_encoder(std::span<const std::uint8_t> file, std::span<const std::uint8_t> content)
{
    if (file.size() < kFlz0HeaderSize || content.size() > kMaxOriginalSize)
        return std::nullopt;
    Subject subject{content, std::nullopt};
    for (const Encoder& e : kKnown) {
        StreamOut out(file.subspan(kFlz0HeaderSize));
        if (encode(e, subject, out) && !out.differs())
            return Identified{e, out.size()};
    }
    return std::nullopt;
}
