#include "join.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "files.hpp"
#include "flz0.hpp"
#include "pack.hpp"
#include "rebuild.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "text.hpp"

namespace {

using platform::FileSystem;

constexpr std::size_t kPieceNames = 1000;  // 000 to 999

// A piece found fit, open for reading; what is stored for it is the file
// as it stands, or, where it is stored compressed, `stored`.
struct PieceFile {
    std::unique_ptr<InputFile> file;
    std::uint32_t size;  // of what is stored
    std::optional<std::vector<std::uint8_t>> stored;
};

// count_pieces -- how many pieces, 000 on, the directory holds without a
// gap; a three-digit name after a gap is a piece that would be lost
Outcome count_pieces(FileSystem& fs, const std::string& dir, int& count)
{
    platform::Result<std::vector<std::string>> names = fs.list_dir(dir);
    if (names.error)
        return system_failure(Fault::cannot_open, dir, names.error);
    std::vector<bool> present(kPieceNames, false);
    for (const std::string& name : names.value)
        if (int k = piece_number(name); k >= 0 && name.size() == kPieceNameDigits)
            present[static_cast<std::size_t>(k)] = true;
    count = static_cast<int>(std::find(present.begin(), present.end(), false) - present.begin());
    if (count == 0)
        return tool_failure(Fault::cannot_open, dir, msg::kNoPieceZero);
    if (auto later = std::find(present.begin() + count, present.end(), true); later != present.end())
        return tool_failure(Fault::bad_piece, dir + "/" + piece_file_name(static_cast<int>(later - present.begin())),
                            format_text(msg::kFollowsGapFormat, piece_file_name(count).c_str()));
    if (count > kMaxPieces)
        return tool_failure(Fault::bad_piece, dir + "/" + piece_file_name(kMaxPieces),
                            format_text(msg::kAtMostPiecesFormat, kMaxPieces));
    return {};
}

// compressed_form -- what is stored for a piece beside an NNN.BAK that is
// an FLZ0 file, when the piece itself is not one: NNN.BAK's own bytes
// where they decode to exactly the piece, else the piece compressed
Outcome compressed_form(FileSystem& fs, const InputFile& piece, std::uint64_t size,
                        std::optional<std::vector<std::uint8_t>>& stored)
{
    platform::Result<platform::FileInfo> there = fs.look(piece.path() + kBackupSuffix, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, piece.path() + kBackupSuffix, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(size));
    platform::Result<std::size_t> r = read_full(fs, piece.handle(), plain);
    if (r.error)
        return system_failure(Fault::read_failed, piece.path(), r.error);
    if (r.value != plain.size())
        return tool_failure(Fault::read_failed, piece.path(),
                            format_text(msg::kEndedAfterFormat, static_cast<unsigned long long>(r.value),
                                        static_cast<unsigned long long>(plain.size())));
    // A piece that is an FLZ0 file itself is stored as it stands.
    std::vector<std::uint8_t> backup;
    if (!has_flz0_magic(plain))
        if (Outcome f = read_whole(fs, piece.path() + kBackupSuffix, platform::Links::refuse, Fault::cannot_open, backup))
            return f;
    if (!has_flz0_magic(backup)) {
        if (platform::SysError e = fs.seek(piece.handle(), 0))  // stored as it stands, read again from the start
            return system_failure(Fault::read_failed, piece.path(), e);
        return {};
    }
    if (flz0_decodes_to(backup, plain)) {
        stored = std::move(backup);
        return {};
    }
    stored.emplace();
    if (plain.size() > kMaxOriginalSize)
        return tool_failure(Fault::bad_piece, piece.path(),
                            format_text(msg::kPieceTooLargeToPackFormat, plain.size(), kMaxOriginalSize));
    Outcome f = flz0_pack_checked(piece.path(), plain, *stored);
    // A piece that cannot be stored compressed is one the bundle cannot hold.
    if (f && f->fault == Fault::too_large)
        f->fault = Fault::bad_piece;
    return f;
}

// open_pieces -- every piece opened and found fit, with the size of what
// is stored for it
Outcome open_pieces(FileSystem& fs, const JoinOptions& options, int count, std::vector<PieceFile>& pieces)
{
    for (int k = 0; k < count; ++k) {
        const std::string path = options.dir + "/" + piece_file_name(k);
        auto file = std::make_unique<InputFile>(fs, path, platform::Links::follow);
        if (platform::SysError e = file->error())
            return system_failure(e.code == platform::kNotRegular ? Fault::bad_piece : Fault::cannot_open, path, e);
        platform::Result<platform::FileInfo> info = fs.info(file->handle());
        if (info.error)
            return system_failure(Fault::cannot_open, path, info.error);
        std::uint64_t size = info.value.size;
        if (size == 0)
            return tool_failure(Fault::bad_piece, path, msg::kEmptyPiece);
        std::optional<std::vector<std::uint8_t>> stored;
        if (size <= kMaxPieceSize && !options.as_is)
            if (Outcome f = compressed_form(fs, *file, size, stored))
                return f;
        if (stored)
            size = stored->size();
        if (size > kMaxPieceSize)
            return tool_failure(Fault::bad_piece, stored ? path + kBackupSuffix : path,
                                format_text(msg::kPieceTooLargeFormat,
                                            static_cast<unsigned long long>(size), kMaxPieceSize));
        pieces.push_back({std::move(file), static_cast<std::uint32_t>(size), std::move(stored)});
    }
    return {};
}

// The old bundle being replaced, open, with its table and size.
struct Old {
    std::unique_ptr<InputFile> file;
    OldBundle bundle;
};

// open_old -- the old bundle, where there is one, with its table read
Outcome open_old(FileSystem& fs, const std::string& bundle, std::optional<Old>& old)
{
    platform::Result<platform::FileInfo> now = fs.look(bundle, platform::Links::refuse);
    if (now.error)
        return system_failure(Fault::cannot_open, bundle, now.error);
    if (now.value.kind == platform::Kind::none)
        return {};
    // An old bundle is kept as bundle.BAK, and must be a file to keep.
    auto file = std::make_unique<InputFile>(fs, bundle, platform::Links::refuse);
    if (file->error())
        return system_failure(Fault::cannot_open, bundle, file->error());
    platform::Result<platform::FileInfo> info = fs.info(file->handle());
    if (info.error)
        return system_failure(Fault::cannot_open, bundle, info.error);
    OldBundle table{TableBytes{}, info.value.size};  // a short bundle reads as zeros
    if (platform::Result<std::size_t> r = read_full(fs, file->handle(), table.table); r.error)
        return system_failure(Fault::cannot_open, bundle, r.error);
    if (Outcome f = backup_is_free(fs, bundle))
        return f;
    old = Old{std::move(file), table};
    return {};
}

// copy_old -- bytes [start, end) of the old bundle into out
Outcome copy_old(const InputFile& old, std::uint64_t start, std::uint64_t end, Output& out,
                 std::span<std::uint8_t> buf)
{
    if (start >= end)
        return {};
    if (platform::SysError e = old.fs().seek(old.handle(), start))
        return system_failure(Fault::read_failed, old.path(), e);
    return copy_exactly(old, out, end - start, buf, [&](std::uint64_t) {
        return tool_failure(Fault::read_failed, old.path(), msg::kOutsideEnded);
    });
}

// fill_bundle -- the table, the old bundle's bytes that stay, and the pieces, into out
Outcome fill_bundle(const std::vector<PieceFile>& pieces, const Layout& layout, const InputFile* old, Output& out,
                    const std::function<Outcome(const Piece&)>& started)
{
    if (Outcome f = out.write(layout.table))
        return f;
    std::vector<std::uint8_t> buf(kCopyBlock);
    if (old)
        if (Outcome f = copy_old(*old, layout.head_start, layout.head_end, out, buf))
            return f;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const PieceFile& p = pieces[k];
        if (Outcome f = started(layout.pieces[k]))
            return f;
        if (p.stored) {
            if (Outcome f = out.write(*p.stored))
                return f;
            continue;
        }
        auto ended = [&](std::uint64_t copied) {
            return tool_failure(Fault::read_failed, p.file->path(),
                                format_text(msg::kEndedAfterFormat, static_cast<unsigned long long>(copied),
                                            static_cast<unsigned long long>(p.size)));
        };
        if (Outcome f = copy_exactly(*p.file, out, p.size, buf, ended))
            return f;
    }
    if (old)
        if (Outcome f = copy_old(*old, layout.tail_start, layout.tail_end, out, buf))
            return f;
    return {};
}

}  // namespace

Outcome tell_pieces(const Layout& layout, const std::function<Outcome(const Piece&)>& started)
{
    for (const Piece& p : layout.pieces)
        if (Outcome f = started(p))
            return f;
    return {};
}

Outcome join_bundle(FileSystem& fs, const std::string& bundle, const JoinOptions& options,
                    const std::function<Outcome(const Piece&)>& started, JoinSeen& seen)
{
    // What the directory was cut from, where it says: then nothing is guessed.
    std::optional<SplitRecord> record;
    if (Outcome f = load_record(fs, options.dir, record))
        return f;
    if (record)
        return rebuild_bundle(fs, bundle, options, *record, started, seen);
    int count = 0;
    std::vector<PieceFile> pieces;
    if (Outcome f = count_pieces(fs, options.dir, count))
        return f;
    if (Outcome f = open_pieces(fs, options, count, pieces))
        return f;
    std::optional<Old> old;
    if (Outcome f = open_old(fs, bundle, old))
        return f;

    std::vector<std::uint32_t> sizes;
    for (const PieceFile& p : pieces)
        sizes.push_back(p.size);
    seen.replaced = old.has_value();
    seen.layout = plan_layout(sizes, old ? &old->bundle : nullptr);
    if (options.dry_run)
        return tell_pieces(seen.layout, started);

    Output out(fs, bundle, old ? OldFile::keep_as_backup : OldFile::must_not_exist, Durability::durable);
    if (Outcome f = out.create())
        return f;
    if (old)
        if (Outcome f = out.copy_attributes_of(old->file->handle()))
            return f;
    if (Outcome f = fill_bundle(pieces, seen.layout, old ? old->file.get() : nullptr, out, started))
        return f;
    old.reset();  // closed before the swap: an open file cannot be renamed on every system
    pieces.clear();
    return out.commit();
}
