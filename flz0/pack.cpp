#include "pack.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

#include "cost_vector.hpp"
#include "flz0.hpp"
#include "matches.hpp"

// The parse is a shortest path over the positions of the data, found in one
// backward pass: the cost of the rest of the stream from each position, for
// each count of items already written modulo eight (a flag byte is paid
// when an item starts a group). Every reference costs the same, so only
// the longest match at each position matters (matches.hpp): every shorter
// length is a prefix of it.

namespace {

using flz0_costs::Costs;
using flz0_costs::lesser;
using flz0_costs::next_item;
using flz0_costs::store_bytes;

// A lane holds the cost less 32768, so that the signed minimum every vector
// unit has compares them; costs from kCap on are more than any file
// holds, and stay there.
constexpr int kCostBias = 32768;
constexpr std::int16_t kCap = 32764;  // stored cost: 65532, more than a file holds, less than overflow
constexpr Costs kCaps = {kCap, kCap, kCap, kCap, kCap, kCap, kCap, kCap};

int cost_in(Costs c, unsigned lane)
{
    return c[lane] + kCostBias;
}

// What an item costs, by the count of items before it, one lane on: the
// first item of a group also pays for the group's flag byte. Adding these
// to a successor's costs and then moving each lane down one (next_item)
// gives the costs of the items that lead to it.
constexpr Costs kLiteralCost = {1, 2, 1, 1, 1, 1, 1, 1};
constexpr Costs kReferenceCost = {2, 3, 2, 2, 2, 2, 2, 2};

// The backward pass keeps the costs only of the positions a reference from
// the position it is at can reach, in a ring; for each position it keeps
// what is best to take there at each lane: a literal (0) or the length of
// a reference. Of several that cost the same, the longest reference is
// taken, and a literal only where no reference costs as little.
constexpr std::size_t kCostRing = 32;  // more than the kMaxMatch + 1 costs in reach
static_assert(kCostRing > kMaxMatch);
using Choice = std::array<std::uint8_t, kItemsPerGroup>;

constexpr Costs lanes_of(std::int16_t v)
{
    return Costs{v, v, v, v, v, v, v, v};
}

// shortest_parse -- the backward pass, given what is allowed at the end:
// each position's choices, and the costs from the start
Costs shortest_parse(const Matches& m, std::size_t n, Costs at_end, Choice* choice)
{
    Costs ring[kCostRing];
    auto cost = [&ring](std::size_t i) -> Costs& { return ring[i % kCostRing]; };
    cost(n) = at_end;
    Costs window{};  // least cost among the ends of the references from i + 1
    Costs window_lengths{};  // the longest reference giving it, at each lane
    unsigned window_len = 0;
    for (std::size_t i = n; i-- > 0;) {
        const Costs literal = cost(i + 1) + kLiteralCost;
        Costs best = literal;
        Costs taken{};  // a literal at every lane
        const unsigned len = m.length[i];
        if (len >= kMinMatch) {
            // The references from i end at i + 3 .. i + len. One position
            // on they ended at i + 4 .. i + 1 + window_len: the same span
            // but its first end when len is one more, each one longer now.
            if (window_len >= kMinMatch && len == window_len + 1) {
                const Costs shortest = cost(i + kMinMatch);
                const Costs cheaper = shortest < window;
                window_lengths = cheaper ? lanes_of(kMinMatch) : window_lengths + lanes_of(1);
                window = lesser(window, shortest);
            } else {
                window = cost(i + kMinMatch);
                window_lengths = lanes_of(kMinMatch);
                Costs length = window_lengths;
                for (unsigned l = kMinMatch + 1; l <= len; ++l) {
                    length += lanes_of(1);
                    const Costs end = cost(i + l);
                    const Costs as_cheap = end <= window;
                    window_lengths = as_cheap ? length : window_lengths;
                    window = lesser(window, end);
                }
            }
            const Costs reference = window + kReferenceCost;
            const Costs by_reference = reference <= literal;
            best = lesser(best, reference);
            taken = by_reference ? window_lengths : taken;
        }
        window_len = len;
        cost(i) = next_item(lesser(best, kCaps));
        store_bytes(next_item(taken), choice[i].data());
    }
    return cost(0);
}

// write_file -- the header and the stream along the choices from the start;
// flag bits of items missing from the last group are 1
std::vector<std::uint8_t> write_file(std::span<const std::uint8_t> data, const Matches& m, const Choice* choice)
{
    std::vector<std::uint8_t> out(kFlz0HeaderSize);
    out.reserve(kMaxFlz0FileSize);
    std::size_t flags_at = 0;
    unsigned bit = 0;  // the items written, modulo eight: the lane
    for (std::size_t i = 0; i < data.size(); bit = (bit + 1) % kItemsPerGroup) {
        if (bit == 0) {
            flags_at = out.size();
            out.push_back(0xFF);
        }
        const unsigned length = choice[i][bit];
        if (length == 0) {
            out.push_back(data[i++]);
            continue;
        }
        out[flags_at] &= static_cast<std::uint8_t>(~(1u << bit));
        const Flz0Reference ref = flz0_reference(ring_position(i, m.distance[i]), length);
        out.insert(out.end(), ref.begin(), ref.end());
        i += length;
    }
    write_flz0_header(std::span(out).first<kFlz0HeaderSize>(),
                      {static_cast<std::uint16_t>(data.size()), static_cast<std::uint16_t>(out.size() - kFlz0HeaderSize)});
    return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> flz0_pack(std::span<const std::uint8_t> data)
{
    if (data.size() > kMaxOriginalSize)
        return std::nullopt;
    const std::size_t n = data.size();
    const Matches m = find_matches(data);

    // Whole groups first; any count only where no parse of whole groups fits.
    constexpr std::int16_t kFree = -kCostBias;
    constexpr Costs kWholeGroups = {kFree, kCap, kCap, kCap, kCap, kCap, kCap, kCap};
    constexpr Costs kAnyCount = {kFree, kFree, kFree, kFree, kFree, kFree, kFree, kFree};
    constexpr int kMaxStream = static_cast<int>(kMaxFlz0FileSize - kFlz0HeaderSize);
    auto choice = std::make_unique_for_overwrite<Choice[]>(n);
    if (cost_in(shortest_parse(m, n, kWholeGroups, choice.get()), 0) > kMaxStream &&
        cost_in(shortest_parse(m, n, kAnyCount, choice.get()), 0) > kMaxStream)
        return std::nullopt;
    return write_file(data, m, choice.get());
}

Outcome flz0_pack_checked(const std::string& name, std::span<const std::uint8_t> data, std::vector<std::uint8_t>& packed)
{
    std::optional<std::vector<std::uint8_t>> file = flz0_pack(data);
    if (!file)
        return tool_failure(Fault::too_large, name, Why::packed_too_long, 0, kMaxFlz0FileSize);
    if (!flz0_decodes_to(*file, data))
        return tool_failure(Fault::write_failed, name, Why::not_decoding_back);
    packed = std::move(*file);
    return {};
}
