#include "checks.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <optional>
#include <vector>

#include "bundle.hpp"
#include "bundle_reference.hpp"
#include "flz0.hpp"
#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "bndtools.hpp"
#include "bundle_input.hpp"
#include "delta.hpp"
#include "layout.hpp"
#include "merge.hpp"
#include "pack.hpp"
#include "record.hpp"
#include "sha256.hpp"

namespace {

// decode_image -- the shipped decoder over a whole image, into an output
// that does not start as zeros, so that a byte it fails to write shows
std::optional<std::vector<std::uint8_t>> decode_image(FuzzData image)
{
    std::vector<std::uint8_t> out(read_flz0_header(image).original_size, 0xA5);
    if (decode_flz0_file(image, out).status != DecodeStatus::ok)
        return std::nullopt;
    return out;
}

// le32_at -- entry `entry` of a table, read apart from the shipped reader
std::uint32_t le32_at(FuzzData table, std::size_t entry)
{
    return entry_at(std::string_view(reinterpret_cast<const char*>(table.data()), table.size()), entry);
}

bool pair_fails(std::uint32_t start, std::uint32_t end)
{
    return end == 0 || end <= start || end - start > kMaxPieceSize;
}

// Independent reading of the count rules: a whole number in the given
// base, after blanks and a sign, and for base 16 after an optional "0x".
std::optional<std::uint32_t> scan(const std::string& s, int base)
{
    std::size_t i = s.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return std::nullopt;
    bool negative = s[i] == '-';
    if (s[i] == '-' || s[i] == '+')
        ++i;
    if (base == 16 && (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0))
        i += 2;
    const std::string digits = base == 16 ? "0123456789abcdef" : "0123456789";
    auto digit = [&](std::size_t j) {
        return j < s.size() ? digits.find(static_cast<char>(std::tolower(static_cast<unsigned char>(s[j]))))
                            : std::string::npos;
    };
    std::uint64_t value = 0;
    std::size_t start = i;
    for (; digit(i) != std::string::npos; ++i)
        value = (value * static_cast<std::uint64_t>(base) + digit(i)) % (1ull << 32);
    if (i == start)
        return std::nullopt;
    return static_cast<std::uint32_t>(negative ? (1ull << 32) - value : value);
}

// The smallest stream sizes over every parse, found the plain way: every
// distance tried at every position, every length at every position tried.
constexpr std::size_t kPlainSearchLimit = 40;
constexpr std::size_t kNoParse = SIZE_MAX;

struct PlainBest {
    std::size_t whole;  // the item count a multiple of eight
    std::size_t any;
};

// plain_search -- over every parse of data: the items from position i on,
// with `items` already written modulo eight; memoised, as the parses
// from a position do not depend on how it was reached
PlainBest plain_search(FuzzData data)
{
    const std::size_t n = data.size(), ring = 4096;
    std::vector<std::uint8_t> h(ring, 0);
    h.insert(h.end(), data.begin(), data.end());
    std::vector<std::size_t> longest(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t d = 1; d <= ring; ++d) {
            std::size_t len = 0;
            while (len < 18 && i + len < n && h[ring + i + len] == h[ring + i + len - d])
                ++len;
            longest[i] = std::max(longest[i], len);
        }
    std::vector<PlainBest> memo((n + 1) * 8);
    auto add = [](std::size_t cost, std::size_t rest) { return rest == kNoParse ? kNoParse : cost + rest; };
    for (std::size_t i = n + 1; i-- > 0;)
        for (std::size_t items = 0; items < 8; ++items) {
            PlainBest& b = memo[i * 8 + items];
            if (i == n) {
                b = {items == 0 ? 0 : kNoParse, 0};
                continue;
            }
            const std::size_t flag = items == 0 ? 1 : 0, next = (items + 1) % 8;
            b = {add(flag + 1, memo[(i + 1) * 8 + next].whole), add(flag + 1, memo[(i + 1) * 8 + next].any)};
            for (std::size_t len = 3; len <= longest[i]; ++len) {
                const PlainBest& r = memo[(i + len) * 8 + next];
                b.whole = std::min(b.whole, add(flag + 2, r.whole));
                b.any = std::min(b.any, add(flag + 2, r.any));
            }
        }
    return memo[0];
}

}  // namespace

std::string check_flz0_decode(FuzzData data)
{
    std::optional<std::vector<std::uint8_t>> got = decode_image(data);
    if (got && got->size() != read_flz0_header(data).original_size)
        return "decoded size differs from the header";
    if (got != flz0_reference_decode(data))
        return "decoder and plain reading disagree";
    return "";
}

std::string check_round_trip(FuzzData data)
{
    FuzzData input = data.first(std::min(data.size(), kMaxOriginalSize));
    std::vector<std::uint8_t> expected(input.begin(), input.end());
    const std::string literals = flz0_literals(std::string(input.begin(), input.end()));
    std::optional<std::vector<std::uint8_t>> file = flz0_pack(input);
    if (!file)
        return literals.size() <= kMaxFlz0FileSize ? "refused data that a literal stream holds" : "";
    if (file->size() > literals.size() || file->size() > kMaxFlz0FileSize)
        return "larger than the literal stream, or than a file may be";
    if (read_flz0_header(*file).compressed_size != file->size() - kFlz0HeaderSize)
        return "compressed size is not the stream's length";
    if (decode_image(*file) != expected)
        return "packed data does not decode to itself";

    std::vector<std::uint8_t> to_group_end = flz0_group_end_decode(*file);
    if (!std::equal(expected.begin(), expected.end(), to_group_end.begin()))
        return "a decoder that runs the last group to its end gets other bytes";
    const std::size_t overrun = to_group_end.size() - expected.size();
    if (overrun >= kItemsPerGroup)
        return "a decoder that runs the last group to its end overruns by a whole group";
    if (input.size() <= kPlainSearchLimit) {
        const PlainBest best = plain_search(input);
        const bool whole = best.whole != kNoParse;
        if (file->size() - kFlz0HeaderSize != (whole ? best.whole : best.any))
            return "not the smallest stream";
        if (whole && overrun != 0)
            return "last group does not end at the original size though a parse allows it";
    }
    return "";
}

std::string check_bundle_table(FuzzData data)
{
    std::array<std::uint8_t, kTableSize> table{};
    std::copy_n(data.begin(), std::min(data.size(), table.size()), table.begin());
    std::int32_t limit = kDefaultMaxFiles;
    if (data.size() >= kTableSize + 4)
        limit = static_cast<std::int32_t>(le32_at(data.subspan(kTableSize), 0));

    std::vector<Piece> pieces = enumerate_pieces(table, limit);
    std::size_t most = static_cast<std::size_t>(std::clamp<std::int32_t>(limit, 0, 127));
    if (pieces.size() > most)
        return "more pieces than the limit or the table allows";
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece& p = pieces[k];
        if (p.index != static_cast<int>(k) || p.start != le32_at(table, k) || p.end != le32_at(table, k + 1))
            return "piece does not match its table entries";
        if (pair_fails(p.start, p.end) || p.start >= p.end)
            return "piece breaks the size rules or is not a subrange";
    }
    if (pieces.size() < most && !pair_fails(le32_at(table, pieces.size()), le32_at(table, pieces.size() + 1)))
        return "list ended before a failing pair or the limit";
    return "";
}

std::string check_parse_count(FuzzData data)
{
    // Command-line arguments end at the first NUL.
    std::string text(data.begin(), std::find(data.begin(), data.end(), 0));
    std::optional<std::uint32_t> v;
    if (text.rfind("0x", 0) == 0)
        v = scan(text.substr(2), 16);
    if (!v)
        v = scan(text, 10);
    if (parse_count(text) != static_cast<std::int32_t>(v.value_or(0)))
        return "parse_count differs from the independent reading";
    return "";
}

std::string check_join_layout(FuzzData data)
{
    OldBundle old{};
    std::copy_n(data.begin(), std::min(data.size(), old.table.size()), old.table.begin());
    FuzzData rest = data.subspan(std::min(data.size(), kTableSize));
    auto next = [&rest](std::size_t n) {
        std::uint64_t v = 0;
        for (std::size_t b = 0; b < n && !rest.empty(); ++b, rest = rest.subspan(1))
            v |= static_cast<std::uint64_t>(rest[0]) << (8 * b);
        return v;
    };
    old.size = next(4) * 16;  // up to 64 GiB, so that old pieces can end past the file or not
    const bool has_old = next(1) & 1;
    std::vector<std::uint32_t> sizes;
    while (!rest.empty() && sizes.size() < 127)
        sizes.push_back(static_cast<std::uint32_t>(1 + next(3) % kMaxPieceSize));
    if (sizes.empty())
        return "";
    const Layout layout = plan_layout(sizes, has_old ? &old : nullptr, LayoutPolicy{});

    // Read back independently: exactly the new pieces, end to end.
    std::size_t listed = 0;
    while (listed < 127 && !pair_fails(le32_at(layout.table, listed), le32_at(layout.table, listed + 1)))
        ++listed;
    if (listed != sizes.size())
        return "the new table lists another number of pieces";
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        const std::uint32_t start = le32_at(layout.table, k), end = le32_at(layout.table, k + 1);
        if (end - start != sizes[k] || layout.pieces[k].start != start || layout.pieces[k].end != end)
            return "a piece is not where the table says, or not of its size";
    }
    const std::uint32_t first = le32_at(layout.table, 0);
    if (!has_old || layout.lost != LayoutLost::none) {
        if (first != kTableSize || layout.head_end != kTableSize || layout.tail_end != layout.tail_start)
            return "a layout not kept is not the plain one";
        for (std::size_t k = sizes.size() + 1; k < 128; ++k)
            if (le32_at(layout.table, k) != 0)
                return "a layout not kept has entries after the last";
        return "";
    }
    // Kept: piece 0 where it was, the bytes around the pieces, the entries after.
    std::size_t old_listed = 0;
    while (old_listed < 127 && !pair_fails(le32_at(old.table, old_listed), le32_at(old.table, old_listed + 1)))
        ++old_listed;
    if (old_listed != sizes.size() || le32_at(old.table, 0) < kTableSize || le32_at(old.table, old_listed) > old.size)
        return "a layout kept that could not be";
    if (first != le32_at(old.table, 0) || layout.head_start != kTableSize || layout.head_end != first)
        return "the bytes before piece 0 are not kept";
    if (layout.tail_start != le32_at(old.table, old_listed) || layout.tail_end != old.size)
        return "the bytes after the last piece are not kept";
    for (std::size_t k = sizes.size() + 1; k < 128; ++k) {
        const std::uint32_t now = le32_at(layout.table, k), was = le32_at(old.table, k);
        if (now != was && !(k == sizes.size() + 1 && now == 0))
            return "an entry after the last one used is not kept";
    }
    return "";
}

namespace {

std::string read_all(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string check_split_join(FuzzData data)
{
    namespace fs = std::filesystem;
    if (data.empty())
        return {};
    static const fs::path scratch = [] {
        return fs::temp_directory_path() / ("bndtools-split-join-" + std::to_string(std::random_device{}()));
    }();
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const std::string bundle((const char*)data.data() + 1, data.size() - 1);
    const fs::path path = scratch / "B.BND";
    std::ofstream(path, std::ios::binary).write(bundle.data(), static_cast<std::streamsize>(bundle.size()));
    platform::FileSystem& files = platform::system_files();
    SplitRequest split{.bundle = path.string(), .dir = (scratch / "B").string(), .decode = (data[0] & 1) != 0};
    if (const int limit = (data[0] >> 1) & 3; limit != 0)
        split.maxfiles = limit;
    const auto quiet = [](const Event&) { return Outcome{}; };
    SplitPlan planned;
    if (plan_split(files, split, planned) || commit(files, planned.plan, quiet))
        return {};  // a bundle it cannot cut: nothing to join
    const std::optional<SplitRecord> rec = read_record(read_all(scratch / "B" / kRecordName));
    if (!rec || !rec->finished)
        return {};  // no piece written, or outside bytes past what a record holds
    for (const char* name : {"N.BND", "B.BND"}) {
        const JoinRequest join{.bundle = (scratch / name).string(), .dir = split.dir, .dir_given = true};
        JoinPlan joined;
        Outcome f = plan_join(files, join, joined);
        if (!f)
            f = commit(files, joined.plan, quiet);
        if (f)
            return std::string("the join into ") + name + " failed: " + f->detail.file + ": why " +
                   std::to_string(static_cast<int>(f->detail.why)) + ", error " + std::to_string(f->detail.error.code);
        if (read_all(scratch / name) != bundle)
            return std::string("the join into ") + name + " is not the bundle split";
    }
    return {};
}

std::string check_delta(FuzzData data)
{
    static const std::vector<std::uint8_t> source = [] {
        std::vector<std::uint8_t> s(300);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<std::uint8_t>(i * 7 / 3);
        return s;
    }();
    std::vector<std::uint8_t> out;
    const DeltaStatus read = apply_delta(source, data, 1000, out);
    if (read != DeltaStatus::ok && !out.empty())
        return "a refused delta left bytes";
    if (read == DeltaStatus::ok && out.size() > 1000)
        return "a delta made more than the limit";
    const FuzzData a = data.first(data.size() / 2), b = data.subspan(data.size() / 2);
    for (const auto& [from, to] : {std::pair(a, b), std::pair(b, a)}) {
        const std::vector<std::uint8_t> delta = make_delta(from, to);
        if (apply_delta(from, delta, to.size(), out) != DeltaStatus::ok || !std::equal(out.begin(), out.end(), to.begin(), to.end()))
            return "a delta made does not give its target back";
    }
    return {};
}

namespace {

// The bundle check_patch applies patches to: bytes before piece 0 and
// after the last, two FLZ0 pieces compressed as the join compresses, and
// a raw one.
std::string patch_text(const char* word, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "Line " + std::to_string(i) + " of the " + word + " piece.\n";
    return s;
}

std::string packed_text(const std::string& text)
{
    const std::optional<std::vector<std::uint8_t>> p = flz0_pack(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return std::string(p->begin(), p->end());
}

std::string patch_base()
{
    const std::vector<std::string> pieces = {packed_text(patch_text("first", 40)), "raw piece one",
                                             packed_text(patch_text("second", 30))};
    std::vector<std::uint32_t> offsets = {kTableSize + 4};
    for (const std::string& p : pieces)
        offsets.push_back(offsets.back() + static_cast<std::uint32_t>(p.size()));
    const TableBytes table = make_table(offsets);
    std::string b(table.begin(), table.end());
    b += "HEAD";
    for (const std::string& p : pieces)
        b += p;
    return b + "TAIL";
}

// check_folder_patch -- a folder patch read: written again and read back
// alike, and planned over an empty folder, every name it would write in it
std::string check_folder_patch(const FolderPatch& patch, const std::filesystem::path& scratch)
{
    namespace fs = std::filesystem;
    const Bytes again = folder_patch_bytes(patch);
    FolderPatch back;
    std::uint64_t version = 0;
    if (read_folder_patch(again, back, version) != PatchStatus::ok || folder_patch_bytes(back) != again)
        return "a folder patch written again does not read back alike";
    fs::remove_all(scratch);
    fs::create_directories(scratch / "GAME");
    const std::string folder = (scratch / "GAME").string();
    bool safe = true;
    for (const FileChange& f : patch.files)
        safe = safe && path_problem(f.path) == PathProblem::none;
    if (!safe)
        return "";
    const NamedFolderPatch named{.path = "P", .patch = patch};
    FolderApply apply;
    std::vector<Failure> wrong;
    if (plan_folder_apply(platform::system_files(), FolderRequest{.folder = folder}, std::span(&named, 1), apply, wrong))
        return "";
    for (const PlannedOutput& out : apply.plan.outputs)
        if (!out.path.starts_with(folder + "/") ||
            (path_problem(out.path.substr(folder.size() + 1)) != PathProblem::none && out.path != journal_path(folder)))
            return "a folder patch would write outside its folder: " + out.path;
    return "";
}

}  // namespace

std::string check_patch(FuzzData data)
{
    namespace fs = std::filesystem;
    static const std::string base = patch_base();
    static const fs::path scratch = [] {
        return fs::temp_directory_path() / ("bndtools-patch-" + std::to_string(std::random_device{}()));
    }();
    std::vector<std::uint8_t> bytes(data.begin(), data.end());
    const Digest sum = sha256(data);
    bytes.insert(bytes.end(), sum.begin(), sum.end());
    FolderPatch folder;
    std::uint64_t version = 0;
    if (read_folder_patch(bytes, folder, version) == PatchStatus::ok)
        return check_folder_patch(folder, scratch);
    Patch patch;
    if (read_patch(bytes, patch, version) != PatchStatus::ok)
        return patch.entries.empty() ? std::string() : "a refused patch left entries";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const fs::path bundle = scratch / "B.BND";
    const fs::path made = scratch / "N.BND";
    std::ofstream(bundle, std::ios::binary).write(base.data(), static_cast<std::streamsize>(base.size()));
    platform::FileSystem& files = platform::system_files();
    for (const bool reverse : {false, true}) {
        fs::remove(made);
        const ApplyRequest request{.bundle = bundle.string(), .patch = "P", .reverse = reverse, .out = made.string()};
        Plan plan;
        Outcome f = plan_apply(files, request, patch, plan);
        if (!f)
            f = commit(files, plan, [](const Event&) { return Outcome{}; });
        if (read_all(bundle) != base)
            return "applying a patch changed the bundle it read";
        if (f) {
            if (fs::exists(made) || fs::exists(made.string() + ".$$$"))
                return "a refused patch left a file";
            continue;
        }
        // Each piece it touches holds what it records.
        const std::string bytes = read_all(made);
        struct Held final : ByteSource {
            const std::string& path;
            const std::string& bytes;
            Held(const std::string& p, const std::string& b) : path(p), bytes(b) {}
            const std::string& name() const override { return path; }
            std::uint64_t size() const override { return bytes.size(); }
            Outcome read(std::uint64_t at, std::span<std::uint8_t> out) override
            {
                std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), out.size(), out.begin());
                return {};
            }
        };
        const std::string made_path = made.string();
        Held held_bytes(made_path, bytes);
        BundleInput out(held_bytes);
        if (out.open())
            return "an applied patch made no bundle";
        for (const Entry& e : patch.entries) {
            const Side& want = reverse ? e.old_side : e.new_side;
            std::vector<std::uint8_t> piece;
            if (e.piece == kFrame || out.piece(e.piece, piece))
                continue;
            const Side got = e.piece < out.pieces().size() ? side_of(piece) : Side{};
            if (got != want)
                return "an applied patch made a piece other than it records";
        }
    }
    return {};
}

std::string check_merge(FuzzData data)
{
    if (data.size() < 3)
        return {};
    // The first byte's low bit: bytes as they are, or each as one of four
    // (two letters, a space, a line end), so that lines repeat and differ.
    const bool lines = (data[0] & 1) != 0;
    const std::size_t one = std::min<std::size_t>(data[1], data.size() - 3);
    const std::size_t two = std::min<std::size_t>(one + data[2], data.size() - 3);
    std::vector<std::uint8_t> bytes(data.begin() + 3, data.end());
    if (lines)
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>("ab \n"[b & 3]);
    const FuzzData all(bytes);
    const FuzzData base = all.first(one), a = all.subspan(one, two - one), b = all.subspan(two);
    const auto same = [](const Bytes& x, FuzzData y) { return std::equal(x.begin(), x.end(), y.begin(), y.end()); };
    Bytes out;
    Conflict at;
    if (!merge3(base, base, b, out, at) || !same(out, b) || !merge3(base, a, base, out, at) || !same(out, a))
        return "a change merged with none is not that change";
    if (!merge3(base, a, a, out, at) || !same(out, a))
        return "a change merged with itself is not that change";
    Bytes other;
    Conflict other_at;
    const bool ab = merge3(base, a, b, out, at);
    const bool ba = merge3(base, b, a, other, other_at);
    if (ab != ba || out != other || (!ab && !(at == other_at)))
        return "two changes merge otherwise in the other order";
    if (!ab && (!out.empty() || at.start > at.end || at.end > base.size()))
        return "an overlap left bytes, or names a range outside the base";
    return {};
}
