// Replacing an FLZ0 file by its decoded content on disk.
#pragma once

#include <string>

#include "console.hpp"

enum class InPlaceStatus {
    done,
    no_memory,
    cannot_open,    // the input is missing, unreadable, or not a regular file
    not_flz0,
    corrupt,        // the stream ends before the original size is reached
    too_large,      // more than an FLZ0 file can hold
    already_flz0,   // the file to compress starts with FLZ0
    write_failed,   // the temporary file cannot be written, or the directory synced
    rename_failed,  // the decoded file cannot be swapped in; the input keeps its name
};

struct InPlaceResult {
    InPlaceStatus status;
    Detail detail;
};

// decompress_in_place -- decode path into path.$$$, then swap it in,
// keeping the compressed file as path.BAK, never replacing an existing
// file. Prints the size line once the header has been read.
InPlaceResult decompress_in_place(const std::string& path);

// report -- a result's message and detail line, if it failed, and its
// exit status
int report(const InPlaceResult& r);

// compress_in_place -- compress path into path.$$$, check that it decodes
// to the same bytes, then swap it in; no backup is kept. Prints the size
// line once the new file is written, before it takes the name.
InPlaceResult compress_in_place(const std::string& path);
