// A new file, from its creation to its name: the one way every tool
// writes an output.
//
// The content is written in full under a temporary name beside the file
// (FILE.$$$). Committing it syncs it where the result must survive a power
// cut (said once, when the output is made), closes it, and gives it the
// name by the rule for the file that has the name now, in one step: the
// name holds the old file until that moment and the new one after it. The
// directory is then synced, where durable. Where the old file is kept, it
// first gets a second name (FILE.BAK) by a hard link, which fails rather
// than replace anything, and loses it again if the rename fails; only
// where the filesystem cannot link does it move to FILE.BAK by a rename
// that never replaces, leaving the name empty until the new file takes
// it. On every path that does not commit, also when the output is
// destroyed uncommitted, the temporary is removed.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "failure.hpp"
#include "files.hpp"
#include "platform.hpp"

inline constexpr char kTempSuffix[] = ".$$$";
inline constexpr char kBackupSuffix[] = ".BAK";

// The block files are copied in: large enough that copying costs few
// system calls, smaller than the largest bundle piece, so no piece is ever
// held whole. Plain reads and writes of this size beat the kernel's
// in-place copy (copy_file_range) on bundles: pieces start 512 bytes past
// a page boundary, which the kernel copies a split page at a time.
inline constexpr std::size_t kCopyBlock = 1024 * 1024;

// What becomes of the file that has the name.
enum class OldFile {
    replace,         // it is dropped
    keep_as_backup,  // it keeps its content under FILE.BAK
    must_not_exist,  // there is none, and a file that appears meanwhile is never replaced
};

// Whether the new name must survive a power cut once commit returns.
enum class Durability { durable, cached };

// How much of a durable output is written before the system is asked to
// start writing it out: the disk then writes while the rest is made, and
// the sync at the end waits only for the last of it.
inline constexpr std::uint64_t kWritebackChunk = 8u << 20;

class Output {
public:
    // Nothing is made until create().
    Output(platform::FileSystem& fs, std::string path, OldFile old, Durability durability);
    ~Output() { discard(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // create -- the temporary, made anew: whatever had its name is removed
    // first, never written through
    Outcome create();
    // write -- bytes at the end of the temporary
    Outcome write(std::span<const std::uint8_t> data);
    // copy_attributes_of -- the permission bits, and owner and group where
    // the process may, of an open file
    Outcome copy_attributes_of(platform::Handle like);
    // finish -- the complete temporary synced (where durable) and closed,
    // so that several outputs are each whole on the disk before any takes
    // its name; commit does it where it is not done
    Outcome finish();
    // commit -- the complete temporary takes the name
    Outcome commit();
    // keep -- a finished temporary left under its temporary name for good,
    // no longer this output's to remove: a journal names it (journal.hpp)
    void keep();
    // discard -- close and remove the temporary, unless it has taken the name
    void discard();

    const std::string& path() const { return path_; }
    const std::string& temp() const { return temp_; }

private:
    Outcome take_name();
    // release -- the interrupt handler no longer removes this temporary
    void release();

    platform::FileSystem& fs_;
    std::string path_;
    std::string temp_;
    std::string dir_;  // made up front: nothing is allocated once the name is taken
    OldFile old_;
    Durability durability_;
    platform::Handle h_ = platform::kNoHandle;
    std::uint64_t written_ = 0;    // bytes written so far
    std::uint64_t written_out_ = 0;  // of them, those the system was asked to start writing out
    bool made_ = false;  // the temporary exists and is this output's
    int slot_ = platform::kNoSlot;  // where the interrupt handler finds the temporary
};

// name_temp -- a complete, closed temporary takes the name `path` by the
// rule for the file that has it, in one step, as Output::commit gives it
Outcome name_temp(platform::FileSystem& fs, const std::string& temp, const std::string& path, OldFile old);

// replaceable -- what becomes of the file that has an output's name: none
// there, the output must find none when it takes it; a regular file
// `ours` takes for one of the outputs of its kind (a patch, a kit: given
// the open file and its size), replaced; anything else refused as
// cannot_rename for `why`
Outcome replaceable(platform::FileSystem& fs, const std::string& path,
                    const std::function<bool(const InputFile& in, std::uint64_t size)>& ours, Why why, OldFile& old);

// backup_rule -- what becomes of a file a new one replaces: kept once, as
// FILE.BAK, where no file has that name; else replaced
Outcome backup_rule(platform::FileSystem& fs, const std::string& path, OldFile& old);

// backup_is_free -- a failure when FILE.BAK exists: checked before anything
// is written; the link made when committing still refuses one that
// appears later
Outcome backup_is_free(platform::FileSystem& fs, const std::string& path);

// restore_backup -- FILE.BAK takes the name FILE back in one step,
// replacing what had it: FILE.BAK synced first (its data may still be in
// the system's cache), the directory after; nothing of FILE.BAK remains
Outcome restore_backup(platform::FileSystem& fs, const std::string& path);

// rename_noreplace -- give a file a new name, never replacing one; where
// the system refuses such a rename, by a second link and removal of the
// first name, the link taken back if the removal fails
platform::SysError rename_noreplace(platform::FileSystem& fs, const std::string& from, const std::string& to);
