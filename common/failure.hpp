// Every way a run can fail, in one list, each as data: the kind of failure
// (which message the user is told, and the exit status), the file it
// concerns, and why, as the system's error or one of the tools' own
// reasons with the piece, sizes and hashes it names as fields. No layer
// below the programs turns one into text: they render it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform.hpp"

// Exit statuses, the same for every program.
inline constexpr int kExitOk = 0;      // the run completed
inline constexpr int kExitInput = 1;   // usage, or an input that cannot be used
inline constexpr int kExitOutput = 2;  // an output cannot be created, written, synced or named
inline constexpr int kExitAlready = 3; // bndpatch: the bundle already holds what the patch makes

enum class Fault {
    no_memory,      // memory cannot be allocated
    cannot_open,    // an input is missing, unreadable, or not a regular file
    read_failed,    // an input ended early, or reading it failed part-way
    not_flz0,       // a file to decode does not start with "FLZ0"
    corrupt,        // an FLZ0 stream ends before its original size
    too_large,      // more than an FLZ0 file can hold
    already_flz0,   // a file to compress starts with "FLZ0"
    bad_piece,      // a piece that a bundle cannot hold
    bad_patch,      // a patch that is not one, is damaged, or does not make what it records
    wrong_bundle,   // a bundle that does not hold what a patch was made from
    already_applied,  // a bundle that holds what a patch makes already
    no_change,      // two bundles that are the same
    other_pieces,   // a piece directory that holds another bundle's pieces
    write_failed,   // an output cannot be created, written, synced or closed
    output_lost,    // standard output cannot be written
    cannot_rename,  // a new file cannot take its name, or a name it needs is taken
};

// The tools' own reasons, where the system gave no error. The fields of
// Detail each one names are given beside it.
enum class Why {
    none,
    out_of_memory,          // memory ran out in the middle of a step
    no_memory_for_file,     // no buffer for a file to compress
    no_memory_for_image,    // no buffer for a file's image
    no_memory_for_decoded,  // no buffer for the decoded data
    already_exists,         // the name is taken
    changed_since_read,     // an input is not as it was when the run read it
    ended_after,            // an input ended after `size` of its `limit` bytes
    outside_ended,          // the bundle ended while its bytes outside the pieces were copied
    is_the_bundle,          // a piece's name reaches the bundle being split
    past_the_end,           // `piece` ends at `size`, past the end of the `limit`-byte bundle
    no_piece_zero,          // a piece directory with no piece 000
    follows_gap,            // a piece after a gap: there is no piece `piece`
    at_most_pieces,         // more pieces than a bundle holds (`limit`)
    empty_piece,            // a piece of no bytes
    piece_too_large,        // a piece of `size` bytes, more than `limit`
    too_large_to_pack,      // a piece of `size` bytes, more than the `limit` an FLZ0 file holds
    missing_piece,          // a piece not there, nor in the bundle it was cut from
    split_stopped,          // a piece never written by a split that stopped
    holds_other,            // a directory holding the pieces of `name` (bndsplit's advice)
    holds_other_join,       // the same, told by bndjoin
    edited,                 // pieces changed since they were cut (`pieces`)
    record_unreadable,      // a split record this version cannot read
    not_this_bundle,        // a bundle that neither the split nor a join of `name` wrote
    no_flz0_magic,          // a file to decode that does not start with "FLZ0"
    starts_with_flz0,       // a file to compress that starts with "FLZ0"
    stream_ends,            // an FLZ0 stream that ends after `size` of `limit` bytes
    longer_than_flz0,       // a file longer than the `limit` bytes an FLZ0 file holds
    packed_too_long,        // compressed, longer than the `limit` bytes readers take
    not_decoding_back,      // compressed data that does not decode to the file
    no_table_to_patch,      // a bundle shorter than its table
    not_piecewise,          // a bundle whose pieces are not all after its table and within it
    same_bundle,            // two bundles alike: this one and `name`
    wrong_piece,            // in `piece`, the patch expects `expected` and the bundle holds `found`
    wrong_count,            // a bundle of `size` pieces, a patch made for `limit`
    already_made,           // the bundle holds what the patch makes
    already_taken_back,     // the bundle holds what the patch was made from
    not_a_patch,            // a file that is no patch
    other_version,          // a patch of version `size`; this one reads `limit`
    patch_damaged,          // a patch whose checksum does not match
    patch_malformed,        // a patch whose fields do not fit a bundle
    not_as_recorded,        // a patch that makes `piece` other than it records
    other_compressor,       // a patch for compressor version `size`; this one is `limit`
    result_not_as_recorded, // a patch that makes another whole bundle than it records
    no_record_to_diff,      // a piece directory without a split record, for bnddiff -d
    no_way_back,            // a patch that holds no way back for `pieces`, nor does the bundle `name` before it
    overlapping,            // a patch that changes bytes [`size`, `limit`) of `piece`'s content, as `name` does
    not_combinable,         // a patch that adds or removes pieces, or changes the table (`piece`), with another
    not_a_patch_to_replace, // a file in the patch's place that is no patch
    not_of_these_pieces,    // a bundle neither the pieces in `name` were cut from nor a join built (original: `size` bytes)
    no_original,            // not the original the pieces in `name` were cut from (`size` bytes)
    no_record_to_patch,     // a piece directory without a split record, for bndpatch -d
    no_original_to_merge,   // the same as no_original, for bndpatch -d, which has no --original
    journal_left,           // a file in `name`, a folder a commit stopped in: its journal is there
    journal_unreadable,     // a folder's journal that is none, or is damaged
    journal_file_lost,      // a file `name` a journal names whose new bytes are gone
    unsafe_path,            // a folder patch's path `name` that is not safe (`size`: a PathProblem)
    same_but_case,          // a folder patch's path that differs from `name` only by case
    through_link,           // a folder patch's path `name` that passes a symbolic link
    no_space,               // a commit that needs `size` bytes where `limit` are free
    folder_patch,           // a folder patch given for a bundle
    bundle_patch,           // a bundle patch given for a folder
    wrong_file,             // a file `name` holds `found`, where the folder patch expects `expected`
    folder_already,         // a folder that holds what the folder patch makes
    folder_taken_back,      // a folder that holds what the folder patch was made from
    not_a_folder,           // a folder patch's folder that is no directory
    file_twice,             // a folder patch that changes a file `name` (a patch) changes otherwise
    no_target,              // a patch dropped alone, and no bundle of `size` bytes it was made for found
    kit_folder_unknown,     // a kit with no kit folder given, where the program's own folder is not known
    no_kit_folder,          // a kit folder that is none, nor is `name`, the other place one is looked for
    no_kit_file,            // a kit folder without this file (`size`: a KitFile)
    not_a_kit_to_replace,   // a file in the kit's place that is no kit
    unsafe_kit_name,        // a kit's patch name `name` that some system cannot hold (`size`: a PathProblem)
    kit_too_large,          // a kit whose `size` bytes pass the `limit` of a zip
};

// The piece that stands for the table and the bytes outside the pieces.
inline constexpr int kFramePiece = -2;
inline constexpr int kNoPiece = -1;

// One side of a piece, as a patch or a record states it: none, or its
// size and SHA-256.
struct Side {
    bool present = false;
    std::uint64_t size = 0;
    std::array<std::uint8_t, 32> hash{};
    bool operator==(const Side&) const = default;
};

// What a failure is about: the file, as the user would write it, and the
// system's error or, where there is none, the tools' own reason and the
// fields it names.
struct Detail {
    std::string file{};
    platform::SysError error{};
    Why why = Why::none;
    int piece = kNoPiece;
    std::uint64_t size = 0;
    std::uint64_t limit = 0;
    std::string name{};
    std::vector<int> pieces{};
    Side expected{};
    Side found{};
};

struct Failure {
    Fault fault = Fault::write_failed;
    Detail detail{};
};

// What a step came to: nothing when it worked, else what went wrong.
using Outcome = std::optional<Failure>;

// system_failure -- a failure the system reported for a file; one that
// says memory ran out is that, whatever the call was for
inline Failure system_failure(Fault fault, std::string file, platform::SysError error)
{
    return {platform::out_of_memory(error) ? Fault::no_memory : fault, Detail{.file = std::move(file), .error = error}};
}

// tool_failure -- a failure for one of the tools' own reasons, with the
// numbers it names
inline Failure tool_failure(Fault fault, std::string file, Why why, std::uint64_t size = 0, std::uint64_t limit = 0)
{
    return {fault, Detail{.file = std::move(file), .why = why, .size = size, .limit = limit}};
}

// piece_failure -- the same, about a piece
inline Failure piece_failure(Fault fault, std::string file, Why why, int piece, std::uint64_t size = 0,
                             std::uint64_t limit = 0)
{
    Failure f = tool_failure(fault, std::move(file), why, size, limit);
    f.detail.piece = piece;
    return f;
}

// named_failure -- the same, naming another file or directory
inline Failure named_failure(Fault fault, std::string file, Why why, std::string name)
{
    Failure f = tool_failure(fault, std::move(file), why);
    f.detail.name = std::move(name);
    return f;
}
