#include "record.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "hex.hpp"
#include "naming.hpp"
#include "numbers.hpp"
#include "text.hpp"

namespace {

constexpr std::string_view kMagic = "bndtools split record";
constexpr std::string_view kNone = "-";
constexpr char kRun = '*';
constexpr char kChunks = ',';
// Runs shorter than this are written out: a run costs the byte and its count.
constexpr std::size_t kShortestRun = 8;

// run_end -- where the run of bytes[i] that starts at i ends: a word at a
// time, since padding runs to the end of a piece of over a megabyte
std::size_t run_end(std::span<const std::uint8_t> bytes, std::size_t i)
{
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    const std::uint64_t pattern = 0x0101010101010101ull * bytes[i];
    std::size_t j = i;
    for (std::uint64_t word = 0; j + kWord <= bytes.size(); j += kWord) {
        std::memcpy(&word, bytes.data() + j, kWord);
        if (word != pattern)
            break;
    }
    while (j < bytes.size() && bytes[j] == bytes[i])
        ++j;
    return j;
}

// bytes_text -- bytes as a record gives them: "-", or chunks of hex and of
// runs of one byte
std::string bytes_text(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return std::string(kNone);
    std::string s;
    std::size_t plain = 0;  // where the bytes not yet written start
    const auto chunk = [&](std::string text) {
        if (!s.empty())
            s += kChunks;
        s += text;
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t j = run_end(bytes, i);
        if (j - i >= kShortestRun) {
            if (plain < i)
                chunk(hex_of(bytes.subspan(plain, i - plain)));
            chunk(hex_of(bytes.subspan(i, 1)) + kRun + std::to_string(j - i));
            plain = j;
        }
        i = j;
    }
    if (plain < bytes.size())
        chunk(hex_of(bytes.subspan(plain)));
    return s;
}

// read_bytes -- bytes as bytes_text gives them (version 2), or as plain
// hexadecimal (version 1); at most kMaxRecordedGap of them
bool read_bytes(std::string_view text, int version, Bytes& out)
{
    out.clear();
    if (text == kNone)
        return true;
    if (version == 1)
        return read_hex(text, out) && !out.empty();
    while (true) {
        const std::size_t end = std::min(text.find(kChunks), text.size());
        const std::string_view chunk = text.substr(0, end);
        const std::size_t star = chunk.find(kRun);
        Bytes part;
        if (star == std::string_view::npos) {
            if (!read_hex(chunk, part) || part.empty())
                return false;
        } else {
            const std::optional<std::uint64_t> count = parse_number(chunk.substr(star + 1));
            if (!read_hex(chunk.substr(0, star), part) || part.size() != 1 || !count || *count == 0 ||
                *count > kMaxRecordedGap)
                return false;
            part.resize(static_cast<std::size_t>(*count), part[0]);
        }
        if (out.size() + part.size() > kMaxRecordedGap)
            return false;
        out.insert(out.end(), part.begin(), part.end());
        if (end == text.size())
            return true;
        text = text.substr(end + 1);
    }
}

// magic_line -- the first line of a record of this version
std::string magic_line(int version)
{
    return format_text("%s %d", std::string(kMagic).c_str(), version);
}

// all_hashed -- whether the digest of every piece is known
bool all_hashed(const SplitRecord& r)
{
    return std::all_of(r.pieces.begin(), r.pieces.end(), [](const PieceRecord& p) { return p.hashed; });
}

template <typename T>
bool number(std::string_view s, T& v, unsigned base = 10)
{
    const std::optional<std::uint64_t> n = parse_number(s, base);
    if (!n || *n > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
        return false;
    v = static_cast<T>(*n);
    return true;
}

bool digest(std::string_view hex, Digest& d)
{
    return read_hex_exact(hex, d);
}

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> w;
    while (!line.empty()) {
        const std::size_t sp = line.find(' ');
        w.push_back(line.substr(0, sp));
        line = sp == std::string_view::npos ? std::string_view{} : line.substr(sp + 1);
    }
    return w;
}

// identity_text -- "SIZE HEX", or "sha256 SIZE HEX" for a version 1 hash
std::string identity_text(const Identity& id)
{
    return std::string(id.whole ? "sha256 " : "") + std::to_string(id.size) + " " + hex_of(id.digest);
}

// read_identity -- an identity from the words after a line's first
bool read_identity(std::span<const std::string_view> w, bool whole, Identity& id)
{
    id.whole = whole || (w.size() == 3 && w[0] == "sha256");
    if (w.size() == 3 && w[0] == "sha256")
        w = w.subspan(1);
    return w.size() == 2 && number(w[0], id.size) && digest(w[1], id.digest);
}

bool read_piece(const std::vector<std::string_view>& w, std::size_t index, int version, PieceRecord& p)
{
    std::size_t k = 0;
    p.hashed = w.size() < 5 || w[4] != kNone;
    if (w.size() < 6 || !number(w[1], k) || k != index || !number(w[2], p.start, 16) || !number(w[3], p.end, 16) ||
        !(digest(w[4], p.stored) || (!p.hashed && version > 1)))
        return false;
    if (w[5] == "raw")
        return w.size() == 6;
    p.flz0 = true;
    p.nested = w.size() == 10 && w[9] == "nested";
    return w[5] == "flz0" && (w.size() == 9 || p.nested) && number(w[6], p.decoded_size) && digest(w[7], p.decoded) &&
           read_bytes(w[8], version, p.after);
}

// A record being read, and the lines it must have.
struct Reading {
    SplitRecord r;
    bool magic = false;
    bool table = false;
    bool identity = false;
};

// read_line -- one line's fact; false where it does not read
bool read_line(Reading& x, const std::vector<std::string_view>& w, std::string_view line)
{
    SplitRecord& r = x.r;
    if (!x.magic) {
        x.magic = true;
        r.version = line == magic_line(1) ? 1 : kRecordVersion;
        return line == magic_line(r.version);
    }
    const std::string_view key = w[0];
    if (key == "bundle" && w.size() >= 2) {
        r.bundle = line.substr(7);
    } else if (key == "size" && w.size() == 2) {
        return number(w[1], r.cut.size);
    } else if (key == "digest" && w.size() == 2 && r.version > 1) {
        // "-" while a split that runs has not read every piece yet
        x.identity = digest(w[1], r.cut.digest);
        return x.identity || w[1] == kNone;
    } else if (key == "sha256" && w.size() == 2) {
        // Version 1 said the hash of every byte here, "-" while the split ran.
        r.cut.whole = true;
        r.finished = r.version > 1 || w[1] != kNone;
        return x.identity = !r.finished || digest(w[1], r.cut.digest);
    } else if (key == "original" && r.version > 1) {
        Identity id;
        if (!read_identity(std::span(w).subspan(1), false, id))
            return false;
        r.original = id;
    } else if (key == "state" && w.size() == 2 && r.version > 1) {
        r.finished = w[1] == "done";
        return w[1] == "done" || w[1] == "running";
    } else if (key == "table" && w.size() == 2) {
        return x.table = read_hex_exact(w[1], r.table);
    } else if (key == "decoded" && w.size() == 2) {
        r.decoded = w[1] == "1";
    } else if (key == "listed" && w.size() == 2) {
        return number(w[1], r.listed);
    } else if (key == "written" && w.size() == 2 && r.version == 1) {
        return number(w[1], r.written);
    } else if ((key == "head" || key == "tail") && w.size() == 3) {
        return key == "head" ? number(w[1], r.head_start, 16) && read_bytes(w[2], r.version, r.head)
                             : number(w[1], r.tail_start, 16) && read_bytes(w[2], r.version, r.tail);
    } else if (key == "piece") {
        PieceRecord p;
        const bool ok = read_piece(w, r.pieces.size(), r.version, p);
        r.pieces.push_back(std::move(p));
        return ok;
    } else if (key == "joined") {
        Identity id;
        if (!read_identity(std::span(w).subspan(1), r.version == 1, id))
            return false;
        r.joined.push_back(id);
    }
    return true;
}

// holds_together -- whether a record read whole says what a record must
bool holds_together(const Reading& x)
{
    const SplitRecord& r = x.r;
    const std::size_t pieces = r.version == 1 && !r.finished ? r.written : r.listed;
    return x.magic && x.table && (x.identity || !r.finished) && !r.bundle.empty() && pieces == r.pieces.size() &&
           r.written <= r.listed && r.listed <= static_cast<std::size_t>(kMaxPieces) && (all_hashed(r) || !r.finished);
}

}  // namespace

std::string record_text(const SplitRecord& r)
{
    std::string s = magic_line(kRecordVersion) + "\n";
    s += "bundle " + r.bundle + "\n";
    s += "size " + std::to_string(r.cut.size) + "\n";
    s += std::string(r.cut.whole ? "sha256 " : "digest ") + (all_hashed(r) ? hex_of(r.cut.digest) : std::string(kNone)) + "\n";
    if (r.original)
        s += "original " + identity_text(*r.original) + "\n";
    s += std::string("state ") + (r.finished ? "done" : "running") + "\n";
    s += "table " + hex_of(r.table) + "\n";
    s += format_text("decoded %d\nlisted %zu\n", r.decoded ? 1 : 0, r.listed);
    s += format_text("head %08llx ", static_cast<unsigned long long>(r.head_start)) + bytes_text(r.head) + "\n";
    s += format_text("tail %08llx ", static_cast<unsigned long long>(r.tail_start)) + bytes_text(r.tail) + "\n";
    for (std::size_t k = 0; k < r.pieces.size(); ++k) {
        const PieceRecord& p = r.pieces[k];
        s += format_text("piece %03zu %08x %08x ", k, p.start, p.end) + (p.hashed ? hex_of(p.stored) : std::string(kNone));
        if (p.flz0)
            s += format_text(" flz0 %u ", p.decoded_size) + hex_of(p.decoded) + " " + bytes_text(p.after) +
                 (p.nested ? " nested" : "");
        else
            s += " raw";
        s += "\n";
    }
    for (const Identity& id : r.joined)
        s += "joined " + identity_text(id) + "\n";
    return s;
}

std::optional<SplitRecord> read_record(std::string_view text)
{
    Reading x;
    // Split by hand: the standard streams would bring the C runtime's
    // narrow message calls into the Windows programs.
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string line(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();  // as an editor on Windows may leave it
        const std::vector<std::string_view> w = words(line);
        if (!w.empty() && !read_line(x, w, line))
            return std::nullopt;
    }
    if (!holds_together(x))
        return std::nullopt;
    return std::move(x.r);
}

bool written_decoded(const SplitRecord& r, std::size_t k)
{
    return r.decoded && r.pieces[k].flz0;
}

bool piece_unchanged(const SplitRecord& r, std::size_t k, std::uint64_t size, const Digest& hash)
{
    const PieceRecord& p = r.pieces[k];
    if (written_decoded(r, k))
        return size == p.decoded_size && hash == p.decoded;
    return size == p.size() && hash == p.stored;
}

Outcome load_record(platform::FileSystem& fs, const std::string& dir, std::optional<SplitRecord>& record)
{
    record.reset();
    const std::string path = in_dir(dir, kRecordName);
    std::optional<Bytes> text;
    if (Outcome f = read_if_regular(fs, path, text); f || !text)
        return f;
    record = read_record(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()));
    if (!record)
        return tool_failure(Fault::cannot_open, path, Why::record_unreadable);
    return {};
}

Outcome required_record(platform::FileSystem& fs, const std::string& dir, Why why, SplitRecord& record)
{
    std::optional<SplitRecord> found;
    if (Outcome f = load_record(fs, dir, found))
        return f;
    if (!found)
        return tool_failure(Fault::cannot_open, dir, why);
    record = std::move(*found);
    return {};
}

PlannedOutput record_output(const std::string& dir, const SplitRecord& r, Durability durability)
{
    const std::string text = record_text(r);
    PlannedOutput out{.path = in_dir(dir, kRecordName), .old = OldFile::replace, .durability = durability};
    out.parts.push_back(Part{.bytes = held(Bytes(text.begin(), text.end()))});
    return out;
}

SourceIs loop_member(const SplitRecord& r, const Identity& id)
{
    if (id == r.first())
        return SourceIs::original;
    if (id == r.cut)
        return SourceIs::cut;
    if (std::find(r.joined.begin(), r.joined.end(), id) != r.joined.end())
        return SourceIs::joined;
    return SourceIs::unknown;
}

Outcome identify_bundle(const BundleFile& b, const SplitRecord& r, SourceIs& is, Identity& id,
                        std::vector<PartDigest>& parts, const PartSeen& seen)
{
    is = SourceIs::unknown;
    std::vector<Identity> ids = {r.cut, r.first()};
    ids.insert(ids.end(), r.joined.begin(), r.joined.end());
    if (std::none_of(ids.begin(), ids.end(), [&](const Identity& i) { return i.size == b.size(); }))
        return {};
    if (std::any_of(ids.begin(), ids.end(), [](const Identity& i) { return i.whole; })) {
        id = Identity{b.size(), {}, true};
        if (Outcome f = whole_sha256(*b.file, b.size(), id.digest))
            return f;
        if ((is = loop_member(r, id)) != SourceIs::unknown)
            return {};
    }
    if (Outcome f = digest_bundle(b, id, parts, seen))
        return f;
    is = loop_member(r, id);
    return {};
}

bool of_this_loop(const SplitRecord& r, const std::string& name, const Identity& bundle, const TableBytes& table)
{
    if (r.bundle != name)
        return false;
    if (loop_member(r, bundle) != SourceIs::unknown)
        return true;
    // Version 1 knew its bundle by a hash of every byte: its size and table tell it well enough here.
    return r.cut.whole && r.cut.size == bundle.size && r.table == table;
}
