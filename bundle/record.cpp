#include "record.hpp"

#include <charconv>

#include "platform.hpp"
#include "text.hpp"

namespace {

constexpr std::string_view kMagic = "bndtools split record";
constexpr char kNone[] = "-";

std::string hex_bytes(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    if (bytes.empty())
        return kNone;
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

bool bytes_of_hex(std::string_view hex, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (hex == kNone)
        return true;
    if (hex.size() % 2 != 0 || hex.empty())
        return false;
    auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

template <typename T>
bool number(std::string_view s, T& v, int base = 10)
{
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    return ec == std::errc{} && end == s.data() + s.size() && !s.empty();
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

bool read_piece(const std::vector<std::string_view>& w, std::size_t index, PieceRecord& p)
{
    std::size_t k = 0;
    if (w.size() < 6 || !number(w[1], k) || k != index || !number(w[2], p.start, 16) || !number(w[3], p.end, 16) ||
        !digest_of_hex(w[4], p.stored))
        return false;
    if (w[5] == "raw")
        return w.size() == 6;
    p.flz0 = true;
    return w[5] == "flz0" && w.size() == 9 && number(w[6], p.decoded_size) && digest_of_hex(w[7], p.decoded) &&
           bytes_of_hex(w[8], p.after);
}

}  // namespace

std::string record_text(const SplitRecord& r)
{
    std::string s = format_text("%s %d\n", std::string(kMagic).c_str(), kRecordVersion);
    s += "bundle " + r.bundle + "\n";
    s += format_text("size %llu\n", static_cast<unsigned long long>(r.size));
    s += "sha256 " + (r.finished ? hex_of(r.sha256) : std::string("-")) + "\n";
    s += "table " + hex_bytes(r.table) + "\n";
    s += format_text("decoded %d\nlisted %zu\nwritten %zu\n", r.decoded ? 1 : 0, r.listed, r.written);
    if (r.finished) {
        s += format_text("head %08llx ", static_cast<unsigned long long>(r.head_start)) + hex_bytes(r.head) + "\n";
        s += format_text("tail %08llx ", static_cast<unsigned long long>(r.tail_start)) + hex_bytes(r.tail) + "\n";
    }
    for (std::size_t k = 0; k < (r.finished ? r.pieces.size() : r.written); ++k) {
        const PieceRecord& p = r.pieces[k];
        s += format_text("piece %03zu %08x %08x ", k, p.start, p.end) + hex_of(p.stored);
        if (p.flz0)
            s += format_text(" flz0 %u ", p.decoded_size) + hex_of(p.decoded) + " " + hex_bytes(p.after);
        else
            s += " raw";
        s += "\n";
    }
    for (const auto& [size, hash] : r.joined)
        s += format_text("joined %llu ", static_cast<unsigned long long>(size)) + hex_of(hash) + "\n";
    return s;
}

std::optional<SplitRecord> read_record(std::string_view text)
{
    SplitRecord r;
    bool seen_magic = false, seen_table = false, seen_sha = false;
    // Split by hand: the standard streams would bring the C runtime's
    // narrow message calls into the Windows programs.
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string line(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();  // as an editor on Windows may leave it
        const std::vector<std::string_view> w = words(line);
        if (w.empty())
            continue;
        bool ok = true;
        if (!seen_magic) {
            ok = line == format_text("%s %d", std::string(kMagic).c_str(), kRecordVersion);
            seen_magic = true;
        } else if (w[0] == "bundle" && w.size() >= 2) {
            r.bundle = line.substr(7);
        } else if (w[0] == "size" && w.size() == 2) {
            ok = number(w[1], r.size);
        } else if (w[0] == "sha256" && w.size() == 2) {
            r.finished = w[1] != "-";
            ok = seen_sha = !r.finished || digest_of_hex(w[1], r.sha256);
        } else if (w[0] == "table" && w.size() == 2) {
            std::vector<std::uint8_t> t;
            ok = seen_table = bytes_of_hex(w[1], t) && t.size() == kTableSize;
            if (ok)
                std::copy(t.begin(), t.end(), r.table.begin());
        } else if (w[0] == "decoded" && w.size() == 2) {
            r.decoded = w[1] == "1";
        } else if (w[0] == "listed" && w.size() == 2) {
            ok = number(w[1], r.listed);
        } else if (w[0] == "written" && w.size() == 2) {
            ok = number(w[1], r.written);
        } else if ((w[0] == "head" || w[0] == "tail") && w.size() == 3) {
            ok = w[0] == "head" ? number(w[1], r.head_start, 16) && bytes_of_hex(w[2], r.head)
                                : number(w[1], r.tail_start, 16) && bytes_of_hex(w[2], r.tail);
        } else if (w[0] == "piece") {
            PieceRecord p;
            ok = read_piece(w, r.pieces.size(), p);
            r.pieces.push_back(std::move(p));
        } else if (w[0] == "joined" && w.size() == 3) {
            Digest d{};
            std::uint64_t size = 0;
            ok = number(w[1], size) && digest_of_hex(w[2], d);
            r.joined.emplace_back(size, d);
        }
        if (!ok)
            return std::nullopt;
    }
    if (!seen_magic || !seen_table || !seen_sha || r.bundle.empty() ||
        (r.finished ? r.listed : r.written) != r.pieces.size() || r.written > r.listed ||
        r.listed > static_cast<std::size_t>(kMaxPieces))
        return std::nullopt;
    return r;
}

bool piece_unchanged(const SplitRecord& r, std::size_t k, std::uint64_t size, const Digest& hash)
{
    const PieceRecord& p = r.pieces[k];
    if (r.decoded && p.flz0)
        return size == p.decoded_size && hash == p.decoded;
    return size == p.end - p.start && hash == p.stored;
}

std::string file_name_of(std::string_view path)
{
    const std::size_t sep = path.find_last_of(platform::kPathSeparators);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}
