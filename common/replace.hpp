// Replacing a file in place, the one way every tool does it.
//
// The new content is written in full under a temporary name beside the
// file (FILE.$$$), synced, and closed. Then one rename gives it the file's
// name, so the name holds the old file until that moment and the new one
// after it, and the directory is synced so the new name survives a power
// cut. Where the old file is kept, it first gets a second name (FILE.BAK)
// by a hard link, which fails rather than replace anything; that name is
// removed again if the rename fails. Only where the filesystem cannot
// link does the old file move to FILE.BAK by a rename that never
// replaces, leaving the name empty until the new file takes it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "console.hpp"
#include "platform.hpp"

inline constexpr char kTempSuffix[] = ".$$$";
inline constexpr char kBackupSuffix[] = ".BAK";

// What becomes of the file that has the name.
enum class OldFile {
    replace,         // it is dropped
    keep_as_backup,  // it keeps its content under FILE.BAK
    must_not_exist,  // there is none, and a file that appears meanwhile is never replaced
};

// The calls a swap makes. Tests replace them to make any one fail, or to
// stop the run there as a crash would.
struct SwapCalls {
    platform::LinkResult (*link)(const std::string& from, const std::string& to);
    bool (*rename_over)(const std::string& from, const std::string& to);
    bool (*rename_noreplace)(const std::string& from, const std::string& to);
    bool (*remove)(const std::string& path);
    bool (*sync_dir)(const std::string& path);
};
extern const SwapCalls kSystemCalls;

enum class SwapStatus {
    done,
    rename_failed,  // the new file could not take the name; everything is as it was
    sync_failed,    // the names are final, but the directory could not be synced
};

struct SwapResult {
    SwapStatus status;
    Detail detail;
};

// Whether the new name must survive a power cut once swap_in returns.
enum class Durable { yes, no };

// swap_in -- give the complete file at temp the name path
SwapResult swap_in(const std::string& path, const std::string& temp, OldFile old, Durable durable = Durable::yes,
                   const SwapCalls& calls = kSystemCalls);

// swap_in_or_discard -- swap_in with the system's calls; when the new file
// cannot take the name, the temporary is removed as well, so that
// everything is as it was before it was written
SwapResult swap_in_or_discard(const std::string& path, const std::string& temp, OldFile old,
                              Durable durable = Durable::yes);

// backup_is_free -- whether FILE.BAK is free, checked before anything is
// written; the link made in swap_in still refuses one that appears later
bool backup_is_free(const std::string& path, Detail& why);

// finish_temp -- sync (when asked) and close a temporary file; on any
// failure it is removed and why says what failed
bool finish_temp(platform::Handle h, const std::string& temp, bool sync, Detail& why);

// discard_temp -- close a temporary file that will not be finished, and
// remove it
void discard_temp(platform::Handle h, const std::string& temp);

// write_temp -- a complete, synced file at temp holding data, with the
// permission bits (and owner, where allowed) of the open file `like`;
// nothing is left at temp on failure
bool write_temp(const std::string& temp, std::span<const std::uint8_t> data, platform::Handle like, Detail& why);
