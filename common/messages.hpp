// Every text the two programs print, as the exact bytes that reach the
// console. The Japanese texts are Shift-JIS (code page 932) byte strings; a
// literal is split where a hexadecimal escape would otherwise swallow the
// letter after it. The English meaning of each is given beside it.
#pragma once

#include <string_view>

namespace msg {

// "The file cannot be opened." Both programs: the input cannot be opened or read.
inline constexpr std::string_view kCannotOpen =
    "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1.\n";

// "Writing failed." Both programs: an output cannot be created, written or closed.
inline constexpr std::string_view kWriteFailed =
    "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";

// "Reading failed." bndsplit: a piece runs past the end of the bundle, or
// reading it failed.
inline constexpr std::string_view kReadFailed =
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";

// "Memory cannot be allocated." varnix: no memory for the file image.
inline constexpr std::string_view kNoMemory =
    "\x83\x81\x83\x82\x83\x8A\x82\xCC\x8A\x84\x82\xE8\x93\x96\x82\xC4\x82\xAA\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

// "This does not seem to be compressed in FLZ0 form." varnix: wrong magic.
inline constexpr std::string_view kNotFlz0 =
    "FLZ0\x8C`\x8E\xAE\x82\xC5\x82\xCD\x88\xB3\x8Fk\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xC8"
    "\x82\xA2\x82\xE6\x82\xA4\x82\xC5\x82\xB7.\n";

// "The compressed data is corrupt." varnix: the stream ends before the
// original size is reached.
inline constexpr std::string_view kCorrupt =
    "\x88\xB3\x8Fk\x83" "f\x81[\x83^\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7.\n";

// "The file cannot be renamed." varnix: the decoded file cannot be swapped in.
inline constexpr std::string_view kCannotRename =
    "\x83t\x83@\x83" "C\x83\x8B\x96\xBC\x82\xF0\x95\xCF\x8DX\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

// bndsplit: wrong number of arguments; %s is the invocation name.
inline constexpr char kSplitUsageFormat[] = "Usage: %s [.BND type file] [maxfiles]\n";
// bndsplit: before each piece; its file name, start and end (exclusive) offsets.
inline constexpr char kProgressFormat[] = "cutting ... %-12s [%08x-%08x]\n";
// bndsplit: after the last piece.
inline constexpr std::string_view kCompleted = "Completed.\n";

// varnix: wrong number of arguments. The program name is fixed here.
inline constexpr std::string_view kVarnixUsage = "Usage: varnix (FLZ0 File)\n";
// varnix: the sizes from the header, compressed size first.
inline constexpr char kSizesFormat[] = "compressed = %d -> original = %d\n";

}  // namespace msg
