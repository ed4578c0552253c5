#include "join.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include "files.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "text.hpp"

namespace {

using platform::FileSystem;

constexpr std::size_t kPieceNameLength = 3;
constexpr std::size_t kPieceNames = 1000;  // 000 to 999

// A piece found fit, open for reading, with its place in the new bundle.
struct PieceFile {
    std::unique_ptr<InputFile> file;
    Piece piece;
};

// piece_number -- the number a name gives a piece: exactly three digits
int piece_number(const std::string& name)
{
    if (name.size() != kPieceNameLength || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(name);
}

// count_pieces -- how many pieces, 000 on, the directory holds without a
// gap; a three-digit name after a gap is a piece that would be lost
Outcome count_pieces(FileSystem& fs, const std::string& dir, int& count)
{
    platform::Result<std::vector<std::string>> names = fs.list_dir(dir);
    if (names.error)
        return system_failure(Fault::cannot_open, dir, names.error);
    std::vector<bool> present(kPieceNames, false);
    for (const std::string& name : names.value)
        if (int k = piece_number(name); k >= 0)
            present[static_cast<std::size_t>(k)] = true;
    count = static_cast<int>(std::find(present.begin(), present.end(), false) - present.begin());
    if (count == 0)
        return tool_failure(Fault::cannot_open, dir, "holds no piece 000");
    if (auto later = std::find(present.begin() + count, present.end(), true); later != present.end())
        return tool_failure(Fault::bad_piece, dir + "/" + piece_file_name(static_cast<int>(later - present.begin())),
                            "follows a gap: there is no piece " + piece_file_name(count));
    if (count > kMaxPieces)
        return tool_failure(Fault::bad_piece, dir + "/" + piece_file_name(kMaxPieces),
                            format_text("a bundle holds at most %d pieces", kMaxPieces));
    return {};
}

// open_pieces -- every piece opened and found fit, with its place in the
// bundle: end to end from just after the table
Outcome open_pieces(FileSystem& fs, const std::string& dir, int count, std::vector<PieceFile>& pieces)
{
    std::uint32_t offset = kTableSize;
    for (int k = 0; k < count; ++k) {
        const std::string path = dir + "/" + piece_file_name(k);
        auto file = std::make_unique<InputFile>(fs, path, platform::Links::follow);
        if (platform::SysError e = file->error())
            return system_failure(e.code == platform::kNotRegular ? Fault::bad_piece : Fault::cannot_open, path, e);
        platform::Result<platform::FileInfo> info = fs.info(file->handle());
        if (info.error)
            return system_failure(Fault::cannot_open, path, info.error);
        const std::uint64_t size = info.value.size;
        if (size == 0)
            return tool_failure(Fault::bad_piece, path, "is empty, and a size of 0 ends a bundle's table");
        if (size > kMaxPieceSize)
            return tool_failure(Fault::bad_piece, path,
                                format_text("is %llu bytes, more than the %u a piece may have",
                                            static_cast<unsigned long long>(size), kMaxPieceSize));
        const auto end = static_cast<std::uint32_t>(offset + size);
        pieces.push_back({std::move(file), Piece{k, offset, end}});
        offset = end;
    }
    return {};
}

// table_for -- entry k the start of piece k, entry n the end of the last
TableBytes table_for(const std::vector<PieceFile>& pieces)
{
    std::vector<std::uint32_t> entries;
    for (const PieceFile& p : pieces)
        entries.push_back(p.piece.start);
    entries.push_back(pieces.back().piece.end);
    return make_table(entries);
}

// fill_bundle -- the table and the pieces, into out
Outcome fill_bundle(const std::vector<PieceFile>& pieces, Output& out,
                    const std::function<Outcome(const Piece&)>& started)
{
    if (Outcome f = out.write(table_for(pieces)))
        return f;
    std::vector<std::uint8_t> buf(kCopyBlock);
    for (const PieceFile& p : pieces) {
        if (Outcome f = started(p.piece))
            return f;
        auto ended = [&](std::uint64_t copied) {
            return tool_failure(Fault::read_failed, p.file->path(),
                                format_text("ended after %llu of %u bytes", static_cast<unsigned long long>(copied),
                                            p.piece.size()));
        };
        if (Outcome f = copy_exactly(*p.file, out, p.piece.size(), buf, ended))
            return f;
    }
    return {};
}

}  // namespace

Outcome join_bundle(FileSystem& fs, const std::string& bundle, const std::string& dir,
                    const std::function<Outcome(const Piece&)>& started)
{
    int count = 0;
    std::vector<PieceFile> pieces;
    if (Outcome f = count_pieces(fs, dir, count))
        return f;
    if (Outcome f = open_pieces(fs, dir, count, pieces))
        return f;

    // An old bundle is kept as bundle.BAK, and must be a file to keep.
    platform::Result<platform::FileInfo> now = fs.look(bundle, platform::Links::refuse);
    if (now.error)
        return system_failure(Fault::cannot_open, bundle, now.error);
    const bool replacing = now.value.kind != platform::Kind::none;
    std::unique_ptr<InputFile> old;
    if (replacing) {
        old = std::make_unique<InputFile>(fs, bundle, platform::Links::refuse);
        if (old->error())
            return system_failure(Fault::cannot_open, bundle, old->error());
        if (Outcome f = backup_is_free(fs, bundle))
            return f;
    }
    Output out(fs, bundle, replacing ? OldFile::keep_as_backup : OldFile::must_not_exist, Durability::durable);
    if (Outcome f = out.create())
        return f;
    if (old)
        if (Outcome f = out.copy_attributes_of(old->handle()))
            return f;
    if (Outcome f = fill_bundle(pieces, out, started))
        return f;
    if (old)
        old->close();  // before the swap: an open file cannot be renamed on every system
    pieces.clear();
    return out.commit();
}
