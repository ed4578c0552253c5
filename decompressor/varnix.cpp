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
    if (argc != 2) {
        complain(msg::kVarnixUsage);
        return kExitInput;
    }
    switch (decompress_in_place(argv[1])) {
    case InPlaceStatus::done:
        return kExitOk;
    case InPlaceStatus::no_memory:
        complain(msg::kNoMemory);
        return kExitInput;
    case InPlaceStatus::cannot_open:
        complain(msg::kCannotOpen);
        return kExitInput;
    case InPlaceStatus::not_flz0:
        complain(msg::kNotFlz0);
        return kExitInput;
    case InPlaceStatus::corrupt:
        complain(msg::kCorrupt);
        return kExitInput;
    case InPlaceStatus::write_failed:
        complain(msg::kWriteFailed);
        return kExitOutput;
    case InPlaceStatus::rename_failed:
        complain(msg::kCannotRename);
        return kExitOutput;
    }
    return kExitOutput;
}
