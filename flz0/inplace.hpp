// Replacing an FLZ0 file by its decoded content on disk.
#pragma once

#include <string>

#include "platform.hpp"

enum class InPlaceStatus {
    done,
    no_memory,
    cannot_open,    // the input cannot be opened or read
    not_flz0,
    corrupt,        // the stream ends before the original size is reached
    write_failed,   // the temporary file cannot be created, written, synced or closed
    rename_failed,  // the decoded file cannot be swapped in; the input keeps its name
};

inline constexpr char kTempSuffix[] = ".$$$";
inline constexpr char kBackupSuffix[] = ".BAK";

// decompress_in_place -- decode path into path.$$$, then move path to
// path.BAK and path.$$$ to path, never replacing an existing file. Prints
// the size line once the header has been read.
InPlaceStatus decompress_in_place(const std::string& path);

// swap_in -- move path to backup and temp to path; when the second move
// fails, the first is undone
bool swap_in(const std::string& path, const std::string& temp, const std::string& backup,
             platform::RenameFn rename);
