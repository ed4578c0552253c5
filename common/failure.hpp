// Every way a run can fail, in one list, and the one table that says what
// the user is told for each and with which exit status. Every layer hands
// back a Failure; only the console turns it into text.
#pragma once

#include <optional>
#include <string>

#include "messages.hpp"
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
    write_failed,   // an output cannot be created, written, synced or closed
    output_lost,    // standard output cannot be written
    cannot_rename,  // a new file cannot take its name, or a name it needs is taken
};

// What the detail line says: the file a failure concerns, as the user
// would write it, and the system's error or, where there is none, a short
// English reason of the tool's own.
struct Detail {
    std::string file;
    platform::SysError error{};
    std::string reason;
};

struct Failure {
    Fault fault;
    Detail detail;
};

// What a step came to: nothing when it worked, else what went wrong.
using Outcome = std::optional<Failure>;

// system_failure -- a failure the system reported for a file; one that
// says memory ran out is that, whatever the call was for
inline Failure system_failure(Fault fault, std::string file, platform::SysError error)
{
    return {platform::out_of_memory(error) ? Fault::no_memory : fault, Detail{std::move(file), error, {}}};
}

// tool_failure -- a failure with a reason of the tool's own
inline Failure tool_failure(Fault fault, std::string file, std::string reason)
{
    return {fault, Detail{std::move(file), {}, std::move(reason)}};
}

// What the user is told of a fault.
struct FaultReport {
    const msg::Text* text;
    int status;
};

// report_of -- the message and exit status of a fault
FaultReport report_of(Fault fault);
