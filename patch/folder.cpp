#include "folder.hpp"

#include <algorithm>
#include <array>
#include <map>

#include "delta.hpp"
#include "encoders.hpp"
#include "fields.hpp"
#include "flz0.hpp"
#include "journal.hpp"
#include "output.hpp"
#include "unicode.hpp"

namespace {

constexpr std::uint8_t kBackFromBackup = 0;
constexpr std::uint64_t kMostExpansion = 9;
constexpr std::uint8_t kBackHeld = 1;
constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
constexpr std::string_view kNumberedDevices[] = {"COM", "LPT"};

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return upper(c); });
    return out;
}

bool ends_with_upper(std::string_view name, std::string_view suffix)
{
    return name.size() >= suffix.size() && upper(name.substr(name.size() - suffix.size())) == suffix;
}

// device_name -- whether a name is one Windows gives a device, whatever
// extension follows it (and "COM1" to "COM9", also as superscript digits)
bool device_name(std::string_view name)
{
    const std::string stem = upper(name.substr(0, name.find('.')));
    for (std::string_view d : kDevices)
        if (stem == d)
            return true;
    for (std::string_view d : kNumberedDevices) {
        if (stem.size() < 4 || stem.substr(0, 3) != d)
            continue;
        const std::string_view digit = std::string_view(stem).substr(3);
        if ((digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
            digit == "\xC2\xB3")
            return true;
    }
    return false;
}

// name_problem -- what is wrong with one name of a path
PathProblem name_problem(std::string_view name)
{
    if (name.empty())
        return PathProblem::empty;
    if (name == "..")
        return PathProblem::dot_dot;
    if (name == ".")
        return PathProblem::dot;
    if (name.back() == '.' || name.back() == ' ')
        return PathProblem::trailing;
    if (device_name(name))
        return PathProblem::device;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return PathProblem::stream;
    if (name == kJournalName || ends_with_upper(name, kTempSuffix) || ends_with_upper(name, kBackupSuffix))
        return PathProblem::tools_name;
    return PathProblem::none;
}

// fold -- one UTF-16 unit in the case a case-blind system compares it in
char16_t fold(char16_t c)
{
    const bool latin = (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    const bool greek = c >= 0x391 && c <= 0x3AB && c != 0x3A2;
    const bool cyrillic = c >= 0x410 && c <= 0x42F;
    const bool wide = c >= 0xFF21 && c <= 0xFF3A;
    if (latin || greek || cyrillic || wide)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

void put_packed(Bytes& out, std::span<const std::uint8_t> bytes)
{
    const Bytes packed = pack(bytes);
    out.insert(out.end(), packed.begin(), packed.end());
}

// read_packed -- a packed delta at the reader, unpacked
Bytes read_packed(FieldReader& r)
{
    const std::size_t start = r.at;
    const std::uint64_t size = r.number(kMaxPatchSize);
    for (std::uint64_t left = size; r.ok && left > 0; left -= std::min<std::uint64_t>(left, kMaxOriginalSize)) {
        const std::uint64_t stream = r.number(UINT64_MAX);
        r.ok = r.ok && stream <= r.bytes.size() - r.at;
        r.at += r.ok ? static_cast<std::size_t>(stream) : 0;
    }
    if (!r.ok) {
        r.ok = false;
        return {};
    }
    std::optional<Bytes> delta = unpack(r.bytes.subspan(start, r.at - start), static_cast<std::size_t>(size));
    r.ok = r.ok && delta;
    return delta ? std::move(*delta) : Bytes{};
}

// file_fits -- whether a file's entry states a change a folder can hold
bool file_fits(const FileChange& f)
{
    if (!f.old_side.present && !f.new_side.present)
        return false;
    if (f.how == FileHow::bundle)
        return f.old_side.present && f.new_side.present && f.bundle.old_bundle.size == f.old_side.size &&
               f.bundle.old_bundle.hash == f.old_side.hash && f.bundle.new_bundle.size == f.new_side.size &&
               f.bundle.new_bundle.hash == f.new_side.hash;
    return true;
}

}  // namespace

Bytes pack(std::span<const std::uint8_t> bytes)
{
    Bytes out;
    put_number(out, bytes.size());
    const Encoder chain{.family = EncoderFamily::chain, .setting = kPackDepth};
    for (std::size_t at = 0; at < bytes.size(); at += kMaxOriginalSize) {
        const std::span<const std::uint8_t> chunk = bytes.subspan(at, std::min(kMaxOriginalSize, bytes.size() - at));
        const std::optional<Bytes> stream = encode_stream(chain, chunk);
        put_block(out, *stream);
    }
    return out;
}

std::optional<Bytes> unpack(std::span<const std::uint8_t> packed, std::size_t limit)
{
    FieldReader r{packed};
    const std::uint64_t size = r.number(limit);
    // No LZSS stream makes more than 144 bytes of 17 (a flag and eight
    // longest references): a size beyond that is refused before any room
    // is made for it.
    if (!r.ok || size / kMostExpansion > packed.size())
        return std::nullopt;
    Bytes out(static_cast<std::size_t>(size));
    for (std::size_t at = 0; r.ok && at < out.size(); at += kMaxOriginalSize) {
        const Bytes stream = r.block();
        const std::span<std::uint8_t> chunk =
            std::span(out).subspan(at, std::min(kMaxOriginalSize, out.size() - at));
        r.ok = r.ok && flz0_decode(stream, chunk).status == DecodeStatus::ok;
    }
    if (!r.ok || r.at != packed.size())
        return std::nullopt;
    return out;
}

Bytes folder_patch_bytes(const FolderPatch& patch)
{
    Bytes out(kPatchMagic.begin(), kPatchMagic.end());
    put_number(out, kFolderPatchVersion);
    put_number(out, patch.compressor);
    put_number(out, patch.files.size());
    for (const FileChange& f : patch.files) {
        put_block(out, std::span(reinterpret_cast<const std::uint8_t*>(f.path.data()), f.path.size()));
        put_side(out, f.old_side);
        put_side(out, f.new_side);
        out.push_back(static_cast<std::uint8_t>(f.how));
        if (f.how == FileHow::bundle) {
            put_block(out, patch_bytes(f.bundle));
            continue;
        }
        put_packed(out, f.forward);
        out.push_back(f.back ? kBackHeld : kBackFromBackup);
        if (f.back)
            put_packed(out, *f.back);
    }
    put_digest(out, sha256(out));
    return out;
}

PatchStatus read_folder_patch(std::span<const std::uint8_t> bytes, FolderPatch& patch, std::uint64_t& version)
{
    patch = FolderPatch{};
    FieldReader r;
    const auto known = [](std::uint64_t v) { return v == kFolderPatchVersion; };
    if (PatchStatus status = patch_body(bytes, known, r, version); status != PatchStatus::ok)
        return status;
    const std::size_t body = r.bytes.size();
    patch.compressor = r.number(UINT64_MAX);
    const std::uint64_t count = r.number(body);
    for (std::uint64_t i = 0; i < count && r.ok; ++i) {
        FileChange f;
        const Bytes path = r.block();
        f.path.assign(path.begin(), path.end());
        f.old_side = read_side(r, UINT64_MAX, true);
        f.new_side = read_side(r, UINT64_MAX, true);
        f.how = static_cast<FileHow>(r.byte(static_cast<std::uint8_t>(FileHow::bytes)));
        if (r.ok && f.how == FileHow::bundle) {
            const Bytes inner = r.block();
            std::uint64_t inner_version = 0;
            r.ok = r.ok && read_patch(inner, f.bundle, inner_version) == PatchStatus::ok;
        } else if (r.ok) {
            f.forward = read_packed(r);
            if (r.byte(kBackHeld) == kBackHeld)
                f.back = read_packed(r);
        }
        r.ok = r.ok && file_fits(f) && (patch.files.empty() || patch.files.back().path < f.path);
        patch.files.push_back(std::move(f));
    }
    if (!r.ok || r.at != body || patch.files.empty()) {
        patch = FolderPatch{};
        return PatchStatus::malformed;
    }
    return PatchStatus::ok;
}

PathProblem path_problem(std::string_view path)
{
    if (path.empty())
        return PathProblem::empty;
    if (path.size() > kMaxPathBytes)
        return PathProblem::too_long;
    if (!utf8_to_utf16(path))
        return PathProblem::not_utf8;
    if (path.starts_with("//") || path.starts_with("\\\\"))
        return PathProblem::unc;
    if (path[0] == '/' || path[0] == '\\')
        return PathProblem::absolute;
    if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return PathProblem::drive;
    if (path.find('\\') != std::string_view::npos)
        return PathProblem::backslash;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('/', start);
        if (PathProblem p = name_problem(path.substr(start, end - start)); p != PathProblem::none)
            return p;
        if (end == std::string_view::npos)
            return PathProblem::none;
        start = end + 1;
    }
}

std::string case_folded(std::string_view path)
{
    std::optional<std::u16string> wide = utf8_to_utf16(path);
    if (!wide)
        return std::string(path);
    std::transform(wide->begin(), wide->end(), wide->begin(), fold);
    return utf16_to_utf8(*wide).value_or(std::string(path));
}

std::optional<std::pair<std::size_t, std::size_t>> same_but_case(std::span<const std::string> paths)
{
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto [at, fresh] = seen.emplace(case_folded(paths[i]), i);
        if (!fresh)
            return std::pair{at->second, i};
    }
    return std::nullopt;
}
