#include "output.hpp"

#include <algorithm>


using platform::SysError;

Output::Output(platform::FileSystem& fs, std::string path, OldFile old, Durability durability)
    : fs_(fs),
      path_(std::move(path)),
      temp_(path_ + kTempSuffix),
      dir_(platform::parent_dir(path_)),
      old_(old),
      durability_(durability)
{
}

Outcome Output::create()
{
    platform::Result<int> held = platform::hold_temp(temp_);
    if (held.error)
        return system_failure(Fault::write_failed, temp_, held.error);
    slot_ = held.value;
    SysError gone = fs_.remove(temp_);
    if (gone && !platform::not_found(gone)) {
        release();
        return system_failure(Fault::write_failed, temp_, gone);
    }
    platform::Result<platform::Handle> h = fs_.create_new(temp_);
    if (h.error) {
        release();
        return system_failure(Fault::write_failed, temp_, h.error);
    }
    h_ = h.value;
    made_ = true;
    return {};
}

Outcome Output::write(std::span<const std::uint8_t> data)
{
    if (SysError e = write_all(fs_, h_, data))
        return system_failure(Fault::write_failed, temp_, e);
    written_ += data.size();
    if (durability_ == Durability::durable && written_ - written_out_ >= kWritebackChunk) {
        // Only a hint: where it fails, the sync at the end still writes it all.
        (void)fs_.start_writeback(h_, written_out_, written_ - written_out_);
        written_out_ = written_;
    }
    return {};
}

Outcome Output::copy_attributes_of(platform::Handle like)
{
    if (SysError e = fs_.copy_attributes(like, h_))
        return system_failure(Fault::write_failed, temp_, e);
    return {};
}

Outcome Output::finish()
{
    if (h_ == platform::kNoHandle)
        return {};
    Outcome failed;
    if (durability_ == Durability::durable)
        if (SysError e = fs_.sync(h_))
            failed = system_failure(Fault::write_failed, temp_, e);
    // Closed after a failed sync too: the handle must not outlive the file.
    SysError closed = fs_.close(h_);
    h_ = platform::kNoHandle;
    if (closed && !failed)
        failed = system_failure(Fault::write_failed, temp_, closed);
    if (failed)
        discard();
    return failed;
}

Outcome Output::commit()
{
    Outcome failed = finish();
    if (!failed)
        failed = take_name();
    if (failed) {
        discard();
        return failed;
    }
    made_ = false;
    release();
    if (durability_ == Durability::durable)
        if (SysError e = fs_.sync_dir(dir_))
            return system_failure(Fault::write_failed, dir_, e);  // the names are final already
    return {};
}

void Output::discard()
{
    if (h_ != platform::kNoHandle)
        fs_.close(h_);
    h_ = platform::kNoHandle;
    if (made_)
        fs_.remove(temp_);
    made_ = false;
    release();
}

void Output::release()
{
    platform::release_temp(slot_);
    slot_ = platform::kNoSlot;
}

Outcome Output::take_name()
{
    return name_temp(fs_, temp_, path_, old_);
}

void Output::keep()
{
    made_ = false;
    release();
}

namespace {

Outcome replace_old(platform::FileSystem& fs, const std::string& temp, const std::string& path)
{
    // Over a regular file, the two names are exchanged in one step and the
    // old file, now under the temporary name, is then removed: a rename
    // that replaces a file makes ext4 write the new file's data out at
    // once (its guard for programs that never sync), which made replacing
    // 127 pieces take several times as long as writing them. If that
    // removal fails, or a crash comes first, the old file stays under the
    // temporary name, which the next output of that name removes. Once
    // exchanged, the new file has the name: that is a success.
    platform::Result<platform::FileInfo> now = fs.look(path, platform::Links::refuse);
    if (!now.error && now.value.kind == platform::Kind::regular && !fs.exchange(temp, path)) {
        fs.remove(temp);
        return {};
    }
    if (SysError e = fs.rename_replace(temp, path))
        return system_failure(Fault::cannot_rename, path, e);
    return {};
}

Outcome move_old_aside(platform::FileSystem& fs, const std::string& temp, const std::string& path,
                       const std::string& backup)
{
    if (SysError e = rename_noreplace(fs, path, backup))
        return system_failure(Fault::cannot_rename, backup, e);
    if (SysError e = rename_noreplace(fs, temp, path)) {
        rename_noreplace(fs, backup, path);
        return system_failure(Fault::cannot_rename, path, e);
    }
    return {};
}

Outcome keep_old(platform::FileSystem& fs, const std::string& temp, const std::string& path)
{
    const std::string backup = path + kBackupSuffix;
    SysError linked = fs.link(path, backup);
    if (linked && platform::link_refused(linked))
        return move_old_aside(fs, temp, path, backup);
    if (linked)
        return system_failure(Fault::cannot_rename, backup, linked);
    if (SysError e = fs.rename_replace(temp, path)) {
        fs.remove(backup);  // the old file still has its name: back to one
        return system_failure(Fault::cannot_rename, path, e);
    }
    return {};
}

}  // namespace

Outcome name_temp(platform::FileSystem& fs, const std::string& temp, const std::string& path, OldFile old)
{
    switch (old) {
    case OldFile::replace:
        return replace_old(fs, temp, path);
    case OldFile::keep_as_backup:
        return keep_old(fs, temp, path);
    case OldFile::must_not_exist:
        break;
    }
    if (SysError e = rename_noreplace(fs, temp, path))
        return system_failure(Fault::cannot_rename, path, e);
    return {};
}

Outcome replaceable(platform::FileSystem& fs, const std::string& path,
                    const std::function<bool(const InputFile& in, std::uint64_t size)>& ours, Why why, OldFile& old)
{
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    old = OldFile::must_not_exist;
    if (there.value.kind == platform::Kind::none)
        return {};
    InputFile in(fs, path, platform::Links::refuse);
    platform::FileInfo info;
    if (opened(in, Fault::cannot_open, info) || !ours(in, info.size))
        return tool_failure(Fault::cannot_rename, path, why);
    old = OldFile::replace;
    return {};
}

Outcome backup_rule(platform::FileSystem& fs, const std::string& path, OldFile& old)
{
    const std::string backup = path + kBackupSuffix;
    platform::Result<platform::FileInfo> kept = fs.look(backup, platform::Links::refuse);
    if (kept.error)
        return system_failure(Fault::cannot_open, backup, kept.error);
    old = kept.value.kind == platform::Kind::none ? OldFile::keep_as_backup : OldFile::replace;
    return {};
}

Outcome backup_is_free(platform::FileSystem& fs, const std::string& path)
{
    const std::string backup = path + kBackupSuffix;
    platform::Result<platform::FileInfo> r = fs.look(backup, platform::Links::refuse);
    if (r.error)
        return system_failure(Fault::cannot_rename, backup, r.error);
    if (r.value.kind != platform::Kind::none)
        return tool_failure(Fault::cannot_rename, backup, Why::already_exists);
    return {};
}

Outcome restore_backup(platform::FileSystem& fs, const std::string& path)
{
    const std::string backup = path + kBackupSuffix;
    const std::string dir = platform::parent_dir(path);  // made before anything is renamed
    {
        InputFile kept(fs, backup, platform::Links::refuse);
        if (kept.error())
            return system_failure(Fault::cannot_rename, backup, kept.error());
        if (SysError e = fs.sync(kept.handle()))
            return system_failure(Fault::write_failed, backup, e);
    }  // closed before the rename: an open file cannot be renamed on every system
    if (SysError e = fs.rename_replace(backup, path))
        return system_failure(Fault::cannot_rename, path, e);
    if (SysError e = fs.sync_dir(dir))
        return system_failure(Fault::write_failed, dir, e);  // the names are final already
    return {};
}

SysError rename_noreplace(platform::FileSystem& fs, const std::string& from, const std::string& to)
{
    SysError e = fs.rename_noreplace(from, to);
    if (!e || !platform::noreplace_refused(e))
        return e;
    // A link fails rather than replace; then the first name goes.
    if (SysError linked = fs.link(from, to))
        return linked;
    if (SysError removed = fs.remove(from)) {
        fs.remove(to);  // back to the one name it had
        return removed;
    }
    return {};
}
