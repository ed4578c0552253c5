// varnix -- decompress an FLZ0 file in place
//
//     varnix file
//
// The decoded data takes the file's name; the compressed file is kept as
// file.BAK. Nothing is replaced: an existing file.BAK stops the swap.
#include "console.hpp"
#include "inplace.hpp"
#include "messages.hpp"

int main(int argc, char** argv)
{
    if (argc != 2)
        return fail(msg::kVarnixUsage, kExitInput);
    switch (decompress_in_place(argv[1])) {
    case InPlaceStatus::done:
        return kExitOk;
    case InPlaceStatus::no_memory:
        return fail(msg::kNoMemory, kExitInput);
    case InPlaceStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput);
    case InPlaceStatus::not_flz0:
        return fail(msg::kNotFlz0, kExitInput);
    case InPlaceStatus::corrupt:
        return fail(msg::kCorrupt, kExitInput);
    case InPlaceStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput);
    case InPlaceStatus::rename_failed:
        return fail(msg::kCannotRename, kExitOutput);
    }
    return kExitOutput;
}
