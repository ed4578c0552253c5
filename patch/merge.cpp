#include "merge.hpp"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint8_t kLineEnd = '\n';
// Edits (lines deleted and inserted) a line difference may take before the
// side is one hunk instead. The furthest points kept for each count of
// edits grow as its square: about 8 MB of them at this many.
constexpr std::int64_t kMaxEdits = 2048;
// Bytes of base and side together beyond which a side is one hunk, so that
// every line number fits the 32 bits Furthest keeps.
constexpr std::size_t kMaxLined = std::numeric_limits<std::int32_t>::max() / 2;

// A base range [start, end) replaced by `bytes` (of the side).
struct Hunk {
    std::size_t start = 0;
    std::size_t end = 0;
    std::span<const std::uint8_t> bytes{};
};

// A run of lines alike: base lines [x, x + length) are side lines
// [y, y + length).
struct Run {
    std::size_t x = 0;
    std::size_t y = 0;
    std::size_t length = 0;
};

// coarse_hunk -- the side as one hunk: from the bytes it shares with base
// at the start to those it shares at the end; none where they are the same
std::vector<Hunk> coarse_hunk(std::span<const std::uint8_t> base, std::span<const std::uint8_t> side)
{
    const std::size_t most = std::min(base.size(), side.size());
    std::size_t prefix = 0;
    while (prefix < most && base[prefix] == side[prefix])
        ++prefix;
    if (prefix == base.size() && prefix == side.size())
        return {};
    std::size_t suffix = 0;
    while (suffix < most - prefix && base[base.size() - 1 - suffix] == side[side.size() - 1 - suffix])
        ++suffix;
    return {Hunk{.start = prefix, .end = base.size() - suffix,
                 .bytes = side.subspan(prefix, side.size() - suffix - prefix)}};
}

// line_starts -- where each line starts, and then where the last ends: a
// line ends after a '\n', the last one possibly without
std::vector<std::size_t> line_starts(std::span<const std::uint8_t> bytes)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] == kLineEnd && at + 1 < bytes.size())
            starts.push_back(at + 1);
    }
    if (!bytes.empty())
        starts.push_back(bytes.size());
    return starts;
}

// A text's lines, by where they start, and each as a number that lines of
// the same bytes share.
struct Lines {
    std::vector<std::size_t> starts{};
    std::vector<std::uint32_t> ids{};
};

using LineIds = std::unordered_map<std::string_view, std::uint32_t>;

// number_lines -- the lines of bytes, numbered by ids, which gains a number
// for each line it has not seen
Lines number_lines(std::span<const std::uint8_t> bytes, LineIds& ids)
{
    Lines lines{.starts = line_starts(bytes), .ids = {}};
    ids.reserve(ids.size() + lines.starts.size());
    const char* text = reinterpret_cast<const char*>(bytes.data());
    for (std::size_t i = 0; i + 1 < lines.starts.size(); ++i) {
        const std::string_view line(text + lines.starts[i], lines.starts[i + 1] - lines.starts[i]);
        lines.ids.push_back(ids.try_emplace(line, static_cast<std::uint32_t>(ids.size())).first->second);
    }
    return lines;
}

// The furthest base line reached on each diagonal k (base line minus side
// line) by each count of edits d: row d holds those of k = -d, -d + 2, ...,
// d, at [0] to [d], in 32 bits (line_hunked keeps the line counts within
// them).
class Furthest {
public:
    // Room for the rows of up to `edits`, taken at once: growing it by
    // copies costs more than the search itself.
    explicit Furthest(std::int64_t edits) { x_.reserve(first(edits + 1)); }
    std::int32_t* row(std::int64_t d) { return x_.data() + first(d); }
    // open -- room for row d, which moves the rows
    void open(std::int64_t d) { x_.resize(first(d + 1)); }

private:
    static std::size_t first(std::int64_t d) { return static_cast<std::size_t>(d * (d + 1) / 2); }
    std::vector<std::int32_t> x_{};
};

// down -- whether the path of d edits to diagonal k = 2i - d comes from
// diagonal k + 1, by a side line inserted, rather than from k - 1, by a
// base line deleted; `prev` is row d - 1
bool down(const std::int32_t* prev, std::int64_t d, std::int64_t i)
{
    return i == 0 || (i != d && prev[i - 1] < prev[i]);
}

// furthest_paths -- Myers' greedy search: for d = 0, 1, ... the furthest
// point each path of d edits reaches, until one reaches the end of both;
// that d, or -1 where it would take more than kMaxEdits
std::int64_t furthest_paths(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, Furthest& paths)
{
    const auto n = static_cast<std::int64_t>(a.size());
    const auto m = static_cast<std::int64_t>(b.size());
    for (std::int64_t d = 0; d <= kMaxEdits; ++d) {
        paths.open(d);
        const std::int32_t* prev = d > 0 ? paths.row(d - 1) : nullptr;
        std::int32_t* cur = paths.row(d);
        for (std::int64_t i = 0; i <= d; ++i) {
            std::int64_t x = d == 0 ? 0 : down(prev, d, i) ? prev[i] : prev[i - 1] + 1;
            std::int64_t y = x - (2 * i - d);
            while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
                ++x;
                ++y;
            }
            cur[i] = static_cast<std::int32_t>(x);
            if (x >= n && y >= m)
                return d;
        }
    }
    return -1;
}

// common_runs -- the runs of lines alike along a shortest path from the
// start of a and b to their ends, in order; false where that path takes
// more than kMaxEdits
bool common_runs(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::vector<Run>& runs)
{
    Furthest paths(std::min(kMaxEdits, static_cast<std::int64_t>(a.size() + b.size())));
    const std::int64_t edits = furthest_paths(a, b, paths);
    if (edits < 0)
        return false;
    auto x = static_cast<std::int64_t>(a.size());
    auto y = static_cast<std::int64_t>(b.size());
    for (std::int64_t d = edits; d >= 0; --d) {
        // The path of d edits to (x, y), on diagonal 2i - d: the one of
        // d - 1 edits to row d - 1's [from], one edit, then lines alike
        // from snake_x to x.
        const std::int64_t i = (x - y + d) / 2;
        const bool from_up = d > 0 && down(paths.row(d - 1), d, i);
        const std::int64_t from = from_up ? i : i - 1;
        const std::int64_t from_x = d > 0 ? paths.row(d - 1)[from] : 0;
        const std::int64_t snake_x = d > 0 && !from_up ? from_x + 1 : from_x;
        if (x > snake_x)
            runs.push_back(Run{.x = static_cast<std::size_t>(snake_x), .y = static_cast<std::size_t>(snake_x - (x - y)),
                               .length = static_cast<std::size_t>(x - snake_x)});
        x = from_x;
        y = from_x - (2 * from - (d - 1));
    }
    std::ranges::reverse(runs);
    return true;
}

// line_hunks -- the side's hunks from the runs of lines it shares with
// base: each gap between two runs (or before the first, or after the last)
std::vector<Hunk> line_hunks(std::span<const std::uint8_t> side, const Lines& base_lines, const Lines& side_lines,
                             std::vector<Run> runs)
{
    runs.push_back(Run{.x = base_lines.ids.size(), .y = side_lines.ids.size(), .length = 0});
    std::vector<Hunk> hunks;
    std::size_t x = 0;
    std::size_t y = 0;
    for (const Run& run : runs) {
        if (run.x > x || run.y > y) {
            const std::size_t from = side_lines.starts[y];
            hunks.push_back(Hunk{.start = base_lines.starts[x], .end = base_lines.starts[run.x],
                                 .bytes = side.subspan(from, side_lines.starts[run.y] - from)});
        }
        x = run.x + run.length;
        y = run.y + run.length;
    }
    return hunks;
}

// line_hunked -- whether a side's hunks are whole lines: where base and
// side both hold line ends, and not so many that a line number outgrows
// Furthest's 32 bits
bool line_hunked(std::span<const std::uint8_t> base, std::span<const std::uint8_t> side)
{
    return base.size() + side.size() <= kMaxLined && std::ranges::find(base, kLineEnd) != base.end() &&
           std::ranges::find(side, kLineEnd) != side.end();
}

// side_hunks -- the side's edits against base, in base order: whole lines
// where both hold line ends and their difference is not too costly, else
// one coarse hunk
std::vector<Hunk> side_hunks(std::span<const std::uint8_t> base, std::span<const std::uint8_t> side)
{
    if (!line_hunked(base, side))
        return coarse_hunk(base, side);
    LineIds ids;
    const Lines base_lines = number_lines(base, ids);
    const Lines side_lines = number_lines(side, ids);
    std::vector<Run> runs;
    if (!common_runs(base_lines.ids, side_lines.ids, runs))
        return coarse_hunk(base, side);
    return line_hunks(side, base_lines, side_lines, std::move(runs));
}

// alike -- whether both sides make the same edit: one range, the same bytes
bool alike(const Hunk& x, const Hunk& y)
{
    return x.start == y.start && x.end == y.end && std::ranges::equal(x.bytes, y.bytes);
}

// overlap -- whether the two ranges intersect (which takes in an insertion
// strictly inside the other's range), or both insert at one place
bool overlap(const Hunk& x, const Hunk& y)
{
    const bool both_insert_here = x.start == x.end && y.start == y.end && x.start == y.start;
    return (x.start < y.end && y.start < x.end) || both_insert_here;
}

// combine -- the hunks of both sides in base order, one of each pair alike;
// false at the first pair that overlaps, with the range they cover
bool combine(const std::vector<Hunk>& a, const std::vector<Hunk>& b, std::vector<Hunk>& all, Conflict& conflict)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (alike(a[i], b[j])) {
            all.push_back(a[i++]);
            ++j;
        } else if (overlap(a[i], b[j])) {
            conflict = {.start = std::min(a[i].start, b[j].start), .end = std::max(a[i].end, b[j].end)};
            return false;
        } else if (a[i].start < b[j].start || (a[i].start == b[j].start && a[i].end < b[j].end)) {
            all.push_back(a[i++]);
        } else {
            all.push_back(b[j++]);
        }
    }
    all.insert(all.end(), a.begin() + static_cast<std::ptrdiff_t>(i), a.end());
    all.insert(all.end(), b.begin() + static_cast<std::ptrdiff_t>(j), b.end());
    return true;
}

// with_hunks -- base with each hunk's range replaced by its bytes
Bytes with_hunks(std::span<const std::uint8_t> base, const std::vector<Hunk>& hunks)
{
    Bytes out;
    std::size_t copied = 0;
    for (const Hunk& h : hunks) {
        out.insert(out.end(), base.begin() + static_cast<std::ptrdiff_t>(copied),
                   base.begin() + static_cast<std::ptrdiff_t>(h.start));
        out.insert(out.end(), h.bytes.begin(), h.bytes.end());
        copied = h.end;
    }
    out.insert(out.end(), base.begin() + static_cast<std::ptrdiff_t>(copied), base.end());
    return out;
}

}  // namespace

bool merge3(std::span<const std::uint8_t> base, std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
            Bytes& out, Conflict& conflict)
{
    out.clear();
    std::vector<Hunk> all;
    if (!combine(side_hunks(base, a), side_hunks(base, b), all, conflict))
        return false;
    out = with_hunks(base, all);
    return true;
}
