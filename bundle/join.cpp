#include "join.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "bundle.hpp"
#include "le.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "replace.hpp"

namespace {

constexpr std::size_t kPieceNameLength = 3;

// A piece found fit, open for reading.
struct PieceFile {
    std::string path;
    std::unique_ptr<platform::InputFile> file;
    Piece piece;
};

JoinResult failure(JoinStatus status, Detail detail)
{
    return {status, std::move(detail)};
}

// piece_number -- the number a name gives a piece: exactly three digits
int piece_number(const std::string& name)
{
    if (name.size() != kPieceNameLength || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(name);
}

// count_pieces -- how many pieces, 000 on, the directory holds without a
// gap; a three-digit name after a gap is a piece that would be lost
JoinResult count_pieces(const std::string& dir, int& count)
{
    std::optional<std::vector<std::string>> names = platform::list_dir(dir);
    if (!names)
        return failure(JoinStatus::cannot_open, system_detail(dir));
    std::vector<bool> present(1000, false);
    for (const std::string& name : *names)
        if (int k = piece_number(name); k >= 0)
            present[static_cast<std::size_t>(k)] = true;
    count = static_cast<int>(std::find(present.begin(), present.end(), false) - present.begin());
    if (count == 0)
        return failure(JoinStatus::cannot_open, tool_detail(dir, "holds no piece 000"));
    if (auto later = std::find(present.begin() + count, present.end(), true); later != present.end())
        return failure(JoinStatus::bad_piece,
                       tool_detail(dir + "/" + piece_file_name(static_cast<int>(later - present.begin())),
                                   "follows a gap: there is no piece " + piece_file_name(count)));
    if (count > kMaxPieces)
        return failure(JoinStatus::bad_piece, tool_detail(dir + "/" + piece_file_name(kMaxPieces),
                                                          format_text("a bundle holds at most %d pieces", kMaxPieces)));
    return {JoinStatus::completed, {}};
}

// open_pieces -- every piece opened and found fit, with its place in the
// bundle: end to end from just after the table
JoinResult open_pieces(const std::string& dir, int count, std::vector<PieceFile>& pieces)
{
    std::uint32_t offset = kTableSize;
    for (int k = 0; k < count; ++k) {
        const std::string path = dir + "/" + piece_file_name(k);
        auto file = std::make_unique<platform::InputFile>(platform::open_regular(path, platform::Links::follow));
        if (!file->is_open()) {
            platform::SysError e = platform::last_error();
            return failure(e.code == platform::kNotRegular ? JoinStatus::bad_piece : JoinStatus::cannot_open,
                           system_detail(path));
        }
        const std::uint64_t size = platform::regular_size(file->handle()).value_or(0);
        if (size == 0)
            return failure(JoinStatus::bad_piece, tool_detail(path, "is empty, and a size of 0 ends a bundle's table"));
        if (size > kMaxPieceSize)
            return failure(JoinStatus::bad_piece,
                           tool_detail(path, format_text("is %llu bytes, more than the %u a piece may have",
                                                         static_cast<unsigned long long>(size), kMaxPieceSize)));
        const auto end = static_cast<std::uint32_t>(offset + size);
        pieces.push_back({path, std::move(file), Piece{k, offset, end}});
        offset = end;
    }
    return {JoinStatus::completed, {}};
}

// table_for -- entry k the start of piece k, entry n the end of the last,
// the rest zero
std::array<std::uint8_t, kTableSize> table_for(const std::vector<PieceFile>& pieces)
{
    std::array<std::uint8_t, kTableSize> table{};
    for (std::size_t k = 0; k < pieces.size(); ++k)
        put_le32(table.data() + k * kEntrySize, pieces[k].piece.start);
    put_le32(table.data() + pieces.size() * kEntrySize, pieces.back().piece.end);
    return table;
}

// copy_piece -- the piece's bytes, exactly as many as it had when measured
JoinResult copy_piece(const PieceFile& p, platform::Handle out, const std::string& temp, std::vector<std::uint8_t>& buf)
{
    platform::CopyResult r = platform::copy_exactly(p.file->handle(), out, p.piece.size(), buf);
    switch (r.status) {
    case platform::CopyStatus::done:
        break;
    case platform::CopyStatus::read_error:
        return failure(JoinStatus::read_failed, system_detail(p.path));
    case platform::CopyStatus::ended:
        return failure(JoinStatus::read_failed,
                       tool_detail(p.path, format_text("ended after %llu of %u bytes",
                                                       static_cast<unsigned long long>(r.copied), p.piece.size())));
    case platform::CopyStatus::write_error:
        return failure(JoinStatus::write_failed, system_detail(temp));
    }
    return {JoinStatus::completed, {}};
}

// fill_bundle -- the table, the old bundle's permissions where there is
// one, and the pieces, into out
JoinResult fill_bundle(const std::vector<PieceFile>& pieces, platform::Handle out, const std::string& temp,
                       const platform::InputFile* old)
{
    if (!platform::write_all(out, table_for(pieces)) || (old && !platform::copy_attributes(old->handle(), out)))
        return failure(JoinStatus::write_failed, system_detail(temp));
    std::vector<std::uint8_t> buf(kCopyBlock);
    for (const PieceFile& p : pieces) {
        if (!say_now(piece_line(msg::kJoiningFormat, p.piece)))
            return failure(JoinStatus::write_failed, stdout_detail());
        if (JoinResult r = copy_piece(p, out, temp, buf); r.status != JoinStatus::completed)
            return r;
    }
    return {JoinStatus::completed, {}};
}

// write_bundle -- the new bundle, complete and synced, at temp; nothing
// there on failure
JoinResult write_bundle(const std::vector<PieceFile>& pieces, const std::string& temp, const platform::InputFile* old)
{
    platform::Handle out = platform::create_temp(temp);
    if (out == platform::kNoHandle)
        return failure(JoinStatus::write_failed, system_detail(temp));
    JoinResult r = fill_bundle(pieces, out, temp, old);
    if (r.status != JoinStatus::completed) {
        discard_temp(out, temp);
        return r;
    }
    Detail why;
    if (!finish_temp(out, temp, true, why))
        return failure(JoinStatus::write_failed, why);
    return r;
}

}  // namespace

JoinResult join_bundle(const std::string& bundle)
{
    const std::string dir = piece_dir_name(bundle);
    int count = 0;
    std::vector<PieceFile> pieces;
    if (JoinResult r = count_pieces(dir, count); r.status != JoinStatus::completed)
        return r;
    if (JoinResult r = open_pieces(dir, count, pieces); r.status != JoinStatus::completed)
        return r;

    // An old bundle is kept as bundle.BAK, and must be a file to keep.
    const bool replacing = platform::exists(bundle);
    std::unique_ptr<platform::InputFile> old;
    if (replacing) {
        old = std::make_unique<platform::InputFile>(platform::open_regular(bundle, platform::Links::refuse));
        if (!old->is_open())
            return failure(JoinStatus::cannot_open, system_detail(bundle));
        if (Detail why; !backup_is_free(bundle, why))
            return failure(JoinStatus::rename_failed, why);
    }
    const std::string temp = bundle + kTempSuffix;
    if (JoinResult r = write_bundle(pieces, temp, old.get()); r.status != JoinStatus::completed)
        return r;
    old.reset();  // closed before the swap: an open file cannot be renamed on every system
    pieces.clear();
    SwapResult s = swap_in_or_discard(bundle, temp, replacing ? OldFile::keep_as_backup : OldFile::must_not_exist);
    if (s.status == SwapStatus::rename_failed)
        return failure(JoinStatus::rename_failed, s.detail);
    if (s.status == SwapStatus::sync_failed)
        return failure(JoinStatus::write_failed, s.detail);
    return {JoinStatus::completed, {}};
}
