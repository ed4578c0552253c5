#include "replace.hpp"

const SwapCalls kSystemCalls = {
    platform::link_file, platform::rename_over, platform::rename_noreplace, platform::remove_file,
    platform::sync_dir,
};

namespace {

SwapResult rename_failed(const std::string& file)
{
    return {SwapStatus::rename_failed, system_detail(file)};
}

// move_aside -- keep the old file by moving it to backup, for filesystems
// that cannot link: the name is empty between the two renames
SwapResult move_aside(const std::string& path, const std::string& temp, const std::string& backup,
                      const SwapCalls& calls)
{
    if (!calls.rename_noreplace(path, backup))
        return rename_failed(backup);
    if (calls.rename_noreplace(temp, path))
        return {SwapStatus::done, {}};
    SwapResult failed = rename_failed(path);
    calls.rename_noreplace(backup, path);
    return failed;
}

// take_name -- the step that gives the new file its name
SwapResult take_name(const std::string& path, const std::string& temp, OldFile old, const SwapCalls& calls)
{
    if (old == OldFile::must_not_exist)
        return calls.rename_noreplace(temp, path) ? SwapResult{SwapStatus::done, {}} : rename_failed(path);
    if (old == OldFile::replace)
        return calls.rename_over(temp, path) ? SwapResult{SwapStatus::done, {}} : rename_failed(path);

    const std::string backup = path + kBackupSuffix;
    switch (calls.link(path, backup)) {
    case platform::LinkResult::unsupported:
        return move_aside(path, temp, backup, calls);
    case platform::LinkResult::failed:
        return rename_failed(backup);
    case platform::LinkResult::linked:
        break;
    }
    if (calls.rename_over(temp, path))
        return {SwapStatus::done, {}};
    SwapResult failed = rename_failed(path);
    calls.remove(backup);  // the old file still has its name: back to one
    return failed;
}

}  // namespace

SwapResult swap_in(const std::string& path, const std::string& temp, OldFile old, Durable durable,
                   const SwapCalls& calls)
{
    SwapResult r = take_name(path, temp, old, calls);
    if (r.status != SwapStatus::done || durable == Durable::no)
        return r;
    const std::string dir = platform::parent_dir(path);
    if (!calls.sync_dir(dir))
        return {SwapStatus::sync_failed, system_detail(dir)};
    return r;
}

SwapResult swap_in_or_discard(const std::string& path, const std::string& temp, OldFile old, Durable durable)
{
    SwapResult r = swap_in(path, temp, old, durable);
    if (r.status == SwapStatus::rename_failed)
        platform::remove_file(temp);
    return r;
}

bool backup_is_free(const std::string& path, Detail& why)
{
    const std::string backup = path + kBackupSuffix;
    if (!platform::exists(backup))
        return true;
    why = tool_detail(backup, "already exists");
    return false;
}

bool finish_temp(platform::Handle h, const std::string& temp, bool sync, Detail& why)
{
    bool ok = !sync || platform::sync_file(h);
    if (!ok)
        why = system_detail(temp);
    if (!platform::close_file(h) && ok) {
        why = system_detail(temp);
        ok = false;
    }
    if (!ok)
        platform::remove_file(temp);
    return ok;
}

void discard_temp(platform::Handle h, const std::string& temp)
{
    platform::close_file(h);
    platform::remove_file(temp);
}

bool write_temp(const std::string& temp, std::span<const std::uint8_t> data, platform::Handle like, Detail& why)
{
    platform::Handle out = platform::create_temp(temp);
    if (out == platform::kNoHandle) {
        why = system_detail(temp);
        return false;
    }
    if (!platform::write_all(out, data) || !platform::copy_attributes(like, out)) {
        why = system_detail(temp);
        discard_temp(out, temp);
        return false;
    }
    return finish_temp(out, temp, true, why);
}
