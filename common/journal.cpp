#include "journal.hpp"

#include <algorithm>
#include <set>

#include "le.hpp"

namespace {

using platform::FileSystem;

void put32(Bytes& out, std::uint32_t v)
{
    std::uint8_t b[4];
    put_le32(b, v);
    out.insert(out.end(), b, b + 4);
}

void put64(Bytes& out, std::uint64_t v)
{
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

// A journal's bytes read in order; once one field runs past the end,
// every later one reads as zero and `ok` stays false.
struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool ok = true;

    std::span<const std::uint8_t> take(std::size_t n)
    {
        if (!ok || bytes.size() - at < n) {
            ok = false;
            return {};
        }
        at += n;
        return bytes.subspan(at - n, n);
    }
    std::uint32_t u32()
    {
        std::span<const std::uint8_t> b = take(4);
        return ok ? get_le32(b.data()) : 0;
    }
    std::uint64_t u64()
    {
        const std::uint64_t low = u32();
        return low | (std::uint64_t{u32()} << 32);
    }
    std::uint8_t u8()
    {
        std::span<const std::uint8_t> b = take(1);
        return ok ? b[0] : 0;
    }
};

constexpr std::uint8_t kLastRule = static_cast<std::uint8_t>(OldFile::must_not_exist);

std::uint8_t rule_byte(OldFile old)
{
    return static_cast<std::uint8_t>(old);
}

// journal_failure -- a journal this run cannot carry out
Failure journal_failure(const std::string& folder, Why why, std::string name = {})
{
    return named_failure(Fault::write_failed, journal_path(folder), why, std::move(name));
}

// sync_dirs -- every directory a journal's files are named in, synced:
// their names are final before the journal goes
Outcome sync_dirs(FileSystem& fs, const std::string& folder, const Journal& j)
{
    std::set<std::string> dirs{folder};
    for (const JournalEntry& e : j.entries)
        dirs.insert(platform::parent_dir(in_dir(folder, e.path)));
    for (const std::string& d : dirs)
        if (platform::SysError e = fs.sync_dir(d))
            return system_failure(Fault::write_failed, d, e);
    return {};
}

// remove_if_there -- a file removed, where the name holds one
Outcome remove_if_there(FileSystem& fs, const std::string& path)
{
    platform::SysError e = fs.remove(path);
    if (e && !platform::not_found(e))
        return system_failure(Fault::write_failed, path, e);
    return {};
}

// name_entry -- a file the journal names takes its new bytes, unless it
// holds them already; its temporary goes either way
Outcome name_entry(FileSystem& fs, const std::string& folder, const JournalEntry& e, const JournalTold& told)
{
    const std::string path = in_dir(folder, e.path);
    const std::string temp = path + kTempSuffix;
    const Side wanted{.present = true, .size = e.size, .hash = e.hash};
    Side now;
    if (Outcome f = side_of_file(fs, path, Fault::write_failed, now))
        return f;
    if (now == wanted)
        return remove_if_there(fs, temp);
    Side made;
    if (Outcome f = side_of_file(fs, temp, Fault::write_failed, made))
        return f;
    if (made != wanted)
        return journal_failure(folder, Why::journal_file_lost, path);
    // A stop between the backup's link and the rename leaves FILE.BAK;
    // one between moving the old file aside and the rename leaves no FILE.
    OldFile rule = e.old;
    if (rule == OldFile::keep_as_backup) {
        platform::Result<platform::FileInfo> kept = fs.look(path + kBackupSuffix, platform::Links::refuse);
        if (kept.error)
            return system_failure(Fault::write_failed, path + kBackupSuffix, kept.error);
        if (kept.value.kind != platform::Kind::none)
            rule = OldFile::replace;
    }
    if (rule != OldFile::must_not_exist && !now.present)
        rule = OldFile::must_not_exist;
    if (Outcome f = told(e.path, false))
        return f;
    return name_temp(fs, temp, path, rule);
}

// leave_entry -- a leaving file gone: kept as FILE.BAK where the journal
// says and that name is free, else removed
Outcome leave_entry(FileSystem& fs, const std::string& folder, const JournalEntry& e, const JournalTold& told)
{
    const std::string path = in_dir(folder, e.path);
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::write_failed, path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    if (Outcome f = told(e.path, true))
        return f;
    if (e.old == OldFile::keep_as_backup) {
        platform::SysError moved = rename_noreplace(fs, path, path + kBackupSuffix);
        if (!moved)
            return {};
        platform::Result<platform::FileInfo> kept = fs.look(path + kBackupSuffix, platform::Links::refuse);
        if (kept.error || kept.value.kind == platform::Kind::none)
            return system_failure(Fault::cannot_rename, path + kBackupSuffix, moved);
    }
    if (platform::SysError gone = fs.remove(path))
        return system_failure(Fault::write_failed, path, gone);
    return {};
}

// finish -- every file named, or gone, as the journal lists them
Outcome finish(FileSystem& fs, const std::string& folder, const Journal& j, const JournalTold& told)
{
    for (const JournalEntry& e : j.entries)
        if (Outcome f = e.leaves ? leave_entry(fs, folder, e, told) : name_entry(fs, folder, e, told))
            return f;
    return sync_dirs(fs, folder, j);
}

// undo -- every temporary the journal lists removed
Outcome undo(FileSystem& fs, const std::string& folder, const Journal& j)
{
    for (const JournalEntry& e : j.entries)
        if (!e.leaves)
            if (Outcome f = remove_if_there(fs, in_dir(folder, e.path) + kTempSuffix))
                return f;
    return {};
}

}  // namespace

Bytes journal_bytes(const Journal& j)
{
    Bytes out(kJournalMagic.begin(), kJournalMagic.end());
    put32(out, static_cast<std::uint32_t>(kJournalVersion));
    out.push_back(static_cast<std::uint8_t>(j.state));
    put32(out, static_cast<std::uint32_t>(j.entries.size()));
    for (const JournalEntry& e : j.entries) {
        put32(out, static_cast<std::uint32_t>(e.path.size()));
        out.insert(out.end(), e.path.begin(), e.path.end());
        out.push_back(e.leaves ? 1 : 0);
        out.push_back(rule_byte(e.old));
        if (!e.leaves) {
            put64(out, e.size);
            out.insert(out.end(), e.hash.begin(), e.hash.end());
        }
    }
    const Digest sum = sha256(out);
    out.insert(out.end(), sum.begin(), sum.end());
    return out;
}

bool read_journal(std::span<const std::uint8_t> bytes, Journal& j)
{
    if (bytes.size() < kJournalMagic.size() + sizeof(Digest) ||
        !std::equal(kJournalMagic.begin(), kJournalMagic.end(), bytes.begin()))
        return false;
    const std::span<const std::uint8_t> body = bytes.first(bytes.size() - sizeof(Digest));
    const Digest sum = sha256(body);
    if (!std::equal(sum.begin(), sum.end(), bytes.begin() + static_cast<std::ptrdiff_t>(body.size())))
        return false;
    Reader r{.bytes = body, .at = kJournalMagic.size()};
    Journal read;
    const std::uint32_t version = r.u32();
    const std::uint8_t state = r.u8();
    const std::uint32_t count = r.u32();
    if (version != kJournalVersion || state > 1)
        return false;
    read.state = static_cast<JournalState>(state);
    for (std::uint32_t k = 0; r.ok && k < count; ++k) {
        JournalEntry e;
        const std::span<const std::uint8_t> path = r.take(r.u32());
        e.path.assign(path.begin(), path.end());
        const std::uint8_t what = r.u8();
        const std::uint8_t rule = r.u8();
        if (what > 1 || rule > kLastRule || e.path.empty())
            return false;
        e.leaves = what == 1;
        e.old = static_cast<OldFile>(rule);
        if (!e.leaves) {
            e.size = r.u64();
            const std::span<const std::uint8_t> hash = r.take(e.hash.size());
            if (r.ok)
                std::copy(hash.begin(), hash.end(), e.hash.begin());
        }
        read.entries.push_back(std::move(e));
    }
    if (!r.ok || r.at != body.size())
        return false;
    j = std::move(read);
    return true;
}

std::string journal_path(const std::string& folder)
{
    return in_dir(folder, kJournalName);
}

Outcome unfinished_journal(FileSystem& fs, std::span<const std::string> paths)
{
    std::set<std::string> looked;
    for (const std::string& p : paths) {
        for (std::string dir = platform::parent_dir(p);; ) {
            if (!looked.insert(dir).second)
                break;
            platform::Result<platform::FileInfo> there = fs.look(journal_path(dir), platform::Links::refuse);
            if (there.error)
                return system_failure(Fault::cannot_rename, journal_path(dir), there.error);
            if (there.value.kind != platform::Kind::none)
                return named_failure(Fault::cannot_rename, p, Why::journal_left, dir);
            const std::string up = platform::parent_dir(dir);
            if (up == dir)
                break;
            dir = up;
        }
    }
    return {};
}

Outcome recover(FileSystem& fs, const std::string& folder, const JournalTold& told, Recovered& recovered)
{
    recovered = Recovered::nothing;
    // A journal written in part never took its name: its temporary goes.
    if (Outcome f = remove_if_there(fs, journal_path(folder) + kTempSuffix))
        return f;
    std::optional<Bytes> bytes;
    if (Outcome f = read_if_regular(fs, journal_path(folder), bytes))
        return f;
    if (!bytes)
        return {};
    Journal j;
    if (!read_journal(*bytes, j))
        return journal_failure(folder, Why::journal_unreadable);
    if (Outcome f = j.state == JournalState::naming ? finish(fs, folder, j, told) : undo(fs, folder, j))
        return f;
    if (platform::SysError e = fs.remove(journal_path(folder)))
        return system_failure(Fault::write_failed, journal_path(folder), e);
    if (platform::SysError e = fs.sync_dir(folder))
        return system_failure(Fault::write_failed, folder, e);
    recovered = j.state == JournalState::naming ? Recovered::finished : Recovered::undone;
    return {};
}
