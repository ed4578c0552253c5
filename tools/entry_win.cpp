// The entry of a program on Windows: the command line as the system keeps
// it, in UTF-16, each argument made UTF-8 once, here. A lone surrogate is
// kept in a form that no system call takes (see unicode.hpp), so such a
// name fails cleanly where it is used. A window of the tool's own stays
// open at the end until a key is pressed.
#include <windows.h>

#include "command.hpp"
#include "console.hpp"
#include "platform.hpp"
#include "unicode.hpp"

int wmain(int argc, wchar_t** argv)
{
    platform::prepare_process();
    Args args;
    for (int i = 0; i < argc; ++i) {
        std::u16string arg(argv[i], argv[i] + wcslen(argv[i]));
        args.push_back(utf16_to_utf8(arg, LoneSurrogates::encode).value_or(""));
    }
    return end_program(tool_main(args));
}
