#include "failure.hpp"

FaultReport report_of(Fault fault)
{
    switch (fault) {
    case Fault::no_memory:
        return {&msg::kNoMemory, kExitInput};
    case Fault::cannot_open:
        return {&msg::kCannotOpen, kExitInput};
    case Fault::read_failed:
        return {&msg::kReadFailed, kExitInput};
    case Fault::not_flz0:
        return {&msg::kNotFlz0, kExitInput};
    case Fault::corrupt:
        return {&msg::kCorrupt, kExitInput};
    case Fault::too_large:
        return {&msg::kTooLarge, kExitInput};
    case Fault::already_flz0:
        return {&msg::kAlreadyFlz0, kExitInput};
    case Fault::bad_piece:
        return {&msg::kBadPiece, kExitInput};
    case Fault::bad_patch:
        return {&msg::kBadPatch, kExitInput};
    case Fault::wrong_bundle:
        return {&msg::kWrongBundle, kExitInput};
    case Fault::already_applied:
        return {&msg::kAlreadyApplied, kExitAlready};
    case Fault::no_change:
        return {&msg::kNoChange, kExitInput};
    case Fault::write_failed:
    case Fault::output_lost:
        return {&msg::kWriteFailed, kExitOutput};
    case Fault::cannot_rename:
        return {&msg::kCannotRename, kExitOutput};
    }
    return {&msg::kWriteFailed, kExitOutput};
}
