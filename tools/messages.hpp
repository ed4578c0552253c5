// Every text the programs print. The Japanese texts are given in each
// encoding they are written in: Shift-JIS (code page 932, the tools' first
// home, and the bytes of a redirected stream on Windows), EUC-JP and UTF-8
// (for a locale of that encoding; UTF-8 also feeds the Windows console).
// The English meaning of each is given beside it. A literal is split where
// a hexadecimal escape would otherwise swallow the letter after it.
#pragma once

#include <string_view>

namespace msg {

// One Japanese text in each encoding.
struct Text {
    std::string_view sjis;
    std::string_view euc_jp;
    std::string_view utf8;
};

// "The file cannot be opened." An input cannot be opened or read.
inline constexpr Text kCannotOpen = {
    "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1.\n",
    "\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB\xA4\xAC\xB3\xAB\xA4\xB1\xA4\xDE\xA4\xBB\xA4\xF3.\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C\xE9\x96\x8B\xE3\x81\x91\xE3\x81\xBE\xE3\x81\x9B"
    "\xE3\x82\x93.\n",
};

// "Writing failed." An output cannot be created, written, synced or closed.
inline constexpr Text kWriteFailed = {
    "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n",
    "\xBD\xF1\xA4\xAD\xB9\xFE\xA4\xDF\xA4\xCB\xBC\xBA\xC7\xD4\xA4\xB7\xA4\xDE\xA4\xB7\xA4\xBF.\n",
    "\xE6\x9B\xB8\xE3\x81\x8D\xE8\xBE\xBC\xE3\x81\xBF\xE3\x81\xAB\xE5\xA4\xB1\xE6\x95\x97\xE3\x81\x97\xE3\x81\xBE"
    "\xE3\x81\x97\xE3\x81\x9F.\n",
};

// "Reading failed." A piece runs past the end of the bundle, or reading
// an input failed part-way.
inline constexpr Text kReadFailed = {
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n",
    "\xC6\xC9\xA4\xDF\xB9\xFE\xA4\xDF\xA4\xCB\xBC\xBA\xC7\xD4\xA4\xB7\xA4\xDE\xA4\xB7\xA4\xBF.\n",
    "\xE8\xAA\xAD\xE3\x81\xBF\xE8\xBE\xBC\xE3\x81\xBF\xE3\x81\xAB\xE5\xA4\xB1\xE6\x95\x97\xE3\x81\x97\xE3\x81\xBE"
    "\xE3\x81\x97\xE3\x81\x9F.\n",
};

// "Memory cannot be allocated."
inline constexpr Text kNoMemory = {
    "\x83\x81\x83\x82\x83\x8A\x82\xCC\x8A\x84\x82\xE8\x93\x96\x82\xC4\x82\xAA\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82"
    "\xF1.\n",
    "\xA5\xE1\xA5\xE2\xA5\xEA\xA4\xCE\xB3\xE4\xA4\xEA\xC5\xF6\xA4\xC6\xA4\xAC\xA4\xC7\xA4\xAD\xA4\xDE\xA4\xBB\xA4"
    "\xF3.\n",
    "\xE3\x83\xA1\xE3\x83\xA2\xE3\x83\xAA\xE3\x81\xAE\xE5\x89\xB2\xE3\x82\x8A\xE5\xBD\x93\xE3\x81\xA6\xE3\x81\x8C"
    "\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93.\n",
};

// "This does not seem to be compressed in FLZ0 form." varnix: wrong magic.
inline constexpr Text kNotFlz0 = {
    "FLZ0\x8C`\x8E\xAE\x82\xC5\x82\xCD\x88\xB3\x8Fk\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xC8\x82\xA2\x82\xE6\x82\xA4"
    "\x82\xC5\x82\xB7.\n",
    "FLZ0\xB7\xC1\xBC\xB0\xA4\xC7\xA4\xCF\xB0\xB5\xBD\xCC\xA4\xB5\xA4\xEC\xA4\xC6\xA4\xA4\xA4\xCA\xA4\xA4\xA4\xE8"
    "\xA4\xA6\xA4\xC7\xA4\xB9.\n",
    "FLZ0\xE5\xBD\xA2\xE5\xBC\x8F\xE3\x81\xA7\xE3\x81\xAF\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x81\x95\xE3\x82\x8C\xE3\x81"
    "\xA6\xE3\x81\x84\xE3\x81\xAA\xE3\x81\x84\xE3\x82\x88\xE3\x81\x86\xE3\x81\xA7\xE3\x81\x99.\n",
};

// "The compressed data is corrupt." varnix: the stream ends before the
// original size is reached.
inline constexpr Text kCorrupt = {
    "\x88\xB3\x8Fk\x83" "f\x81[\x83^\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7.\n",
    "\xB0\xB5\xBD\xCC\xA5\xC7\xA1\xBC\xA5\xBF\xA4\xAC\xB2\xF5\xA4\xEC\xA4\xC6\xA4\xA4\xA4\xDE\xA4\xB9.\n",
    "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x81\x8C\xE5\xA3\x8A\xE3\x82\x8C\xE3\x81\xA6"
    "\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99.\n",
};

// "The file cannot be renamed." A new file cannot be swapped in, or its
// backup name is taken.
inline constexpr Text kCannotRename = {
    "\x83t\x83@\x83" "C\x83\x8B\x96\xBC\x82\xF0\x95\xCF\x8DX\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n",
    "\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB\xCC\xBE\xA4\xF2\xCA\xD1\xB9\xB9\xA4\xC7\xA4\xAD\xA4\xDE\xA4\xBB\xA4\xF3.\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE5\x90\x8D\xE3\x82\x92\xE5\xA4\x89\xE6\x9B\xB4\xE3\x81\xA7"
    "\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93.\n",
};

// "The file is too large." flz0pack: more than an FLZ0 file can hold.
inline constexpr Text kTooLarge = {
    "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xDC\x82\xB7.\n",
    "\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB\xA4\xAC\xC2\xE7\xA4\xAD\xA4\xB9\xA4\xAE\xA4\xDE\xA4\xB9.\n",
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C\xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x99\xE3\x81\x8E"
    "\xE3\x81\xBE\xE3\x81\x99.\n",
};

// "It is already compressed in FLZ0 form." flz0pack: the file starts with "FLZ0".
inline constexpr Text kAlreadyFlz0 = {
    "\x8A\xF9\x82\xC9" "FLZ0\x8C`\x8E\xAE\x82\xC5\x88\xB3\x8Fk\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7.\n",
    "\xB4\xFB\xA4\xCB" "FLZ0\xB7\xC1\xBC\xB0\xA4\xC7\xB0\xB5\xBD\xCC\xA4\xB5\xA4\xEC\xA4\xC6\xA4\xA4\xA4\xDE\xA4\xB9.\n",
    "\xE6\x97\xA2\xE3\x81\xAB" "FLZ0\xE5\xBD\xA2\xE5\xBC\x8F\xE3\x81\xA7\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x81\x95\xE3\x82"
    "\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99.\n",
};

// "A piece is invalid." bndjoin: a piece that a bundle cannot hold.
inline constexpr Text kBadPiece = {
    "\x83s\x81[\x83X\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7.\n",
    "\xA5\xD4\xA1\xBC\xA5\xB9\xA4\xAC\xC9\xD4\xC0\xB5\xA4\xC7\xA4\xB9.\n",
    "\xE3\x83\x94\xE3\x83\xBC\xE3\x82\xB9\xE3\x81\x8C\xE4\xB8\x8D\xE6\xAD\xA3\xE3\x81\xA7\xE3\x81\x99.\n",
};

// "The patch is invalid." bndpatch: a patch that is not one, damaged,
// of another version, or that does not make what it records.
inline constexpr Text kBadPatch = {
    "\x83p\x83" "b\x83`\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7.\n",
    "\xA5\xD1\xA5\xC3\xA5\xC1\xA4\xAC\xC9\xD4\xC0\xB5\xA4\xC7\xA4\xB9.\n",
    "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\x8C\xE4\xB8\x8D\xE6\xAD\xA3\xE3\x81\xA7\xE3\x81\x99.\n",
};

// "It differs from the file the patch was made from." bndpatch: the
// bundle does not hold the bytes the patch changes.
inline constexpr Text kWrongBundle = {
    "\x83p\x83" "b\x83`\x82\xCC\x8C\xB3\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82"
    "\xB7.\n",
    "\xA5\xD1\xA5\xC3\xA5\xC1\xA4\xCE\xB8\xB5\xA4\xCE\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB\xA4\xC8\xB0\xE3\xA4\xA4\xA4"
    "\xDE\xA4\xB9.\n",
    "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xAE\xE5\x85\x83\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82"
    "\xA4\xE3\x83\xAB\xE3\x81\xA8\xE9\x81\x95\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99.\n",
};

// "The patch has already been applied." bndpatch: the bundle holds what
// the patch makes (or, taking it back, what it was made from).
inline constexpr Text kAlreadyApplied = {
    "\x83p\x83" "b\x83`\x82\xCD\x8A\xF9\x82\xC9\x93\x96\x82\xC4\x82\xE7\x82\xEA\x82\xC4\x82\xA2\x82\xDC"
    "\x82\xB7.\n",
    "\xA5\xD1\xA5\xC3\xA5\xC1\xA4\xCF\xB4\xFB\xA4\xCB\xC5\xF6\xA4\xC6\xA4\xE9\xA4\xEC\xA4\xC6\xA4\xA4\xA4\xDE"
    "\xA4\xB9.\n",
    "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xAF\xE6\x97\xA2\xE3\x81\xAB\xE5\xBD\x93\xE3\x81\xA6\xE3\x82"
    "\x89\xE3\x82\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99.\n",
};

// "There is no difference." bnddiff: the two bundles are the same.
inline constexpr Text kNoChange = {
    "\x8D\xB7\x95\xAA\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1.\n",
    "\xBA\xB9\xCA\xAC\xA4\xAC\xA4\xA2\xA4\xEA\xA4\xDE\xA4\xBB\xA4\xF3.\n",
    "\xE5\xB7\xAE\xE5\x88\x86\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93.\n",
};

// "These are another file's pieces." bndsplit and bndjoin: a piece
// directory that holds the pieces of another bundle.
inline constexpr Text kOtherPieces = {
    "\x91\xBC\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x83s\x81[\x83X\x82\xC5\x82\xB7.\n",
    "\xC2\xBE\xA4\xCE\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB\xA4\xCE\xA5\xD4\xA1\xBC\xA5\xB9\xA4\xC7\xA4\xB9.\n",
    "\xE4\xBB\x96\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAE\xE3\x83\x94\xE3\x83\xBC"
    "\xE3\x82\xB9\xE3\x81\xA7\xE3\x81\x99.\n",
};

// Every Japanese text, for the tests that check each encoding.
inline constexpr const Text* kAllTexts[] = {
    &kCannotOpen, &kWriteFailed, &kReadFailed, &kNoMemory, &kNotFlz0,
    &kCorrupt,    &kCannotRename, &kTooLarge,  &kAlreadyFlz0, &kBadPiece,
    &kBadPatch,   &kWrongBundle,  &kAlreadyApplied, &kNoChange, &kOtherPieces,
};

// The English texts are ASCII, the same in every encoding.

// bndsplit: wrong number of arguments; %s is the invocation name. The
// options come before the original words.
inline constexpr char kSplitUsageFormat[] = "Usage: %s [-l] [-x] [-f] [-d DIR] [.BND type file] [maxfiles]\n";
// bndsplit: before each piece; its file name, start and end (exclusive) offsets.
inline constexpr char kCuttingFormat[] = "cutting ... %-12s [%08x-%08x]\n";
// bndjoin: wrong number of arguments.
inline constexpr char kJoinUsage[] = "Usage: bndjoin [-n] [-d DIR] [--as-is] [--align N] [.BND type file]...\n";
// bndjoin: before each piece; its file name, start and end (exclusive) offsets.
inline constexpr char kJoiningFormat[] = "joining ... %-12s [%08x-%08x]\n";
// bndsplit and bndjoin: after the last piece.
inline constexpr std::string_view kCompleted = "Completed.\n";

// varnix: wrong number of arguments. The program name is fixed here.
inline constexpr char kVarnixUsage[] = "Usage: varnix (FLZ0 File)\n";
// varnix: the sizes from the header, compressed size first.
inline constexpr char kSizesFormat[] = "compressed = %d -> original = %d\n";

// flz0pack: wrong number of arguments.
inline constexpr char kPackUsage[] = "Usage: flz0pack (File)\n";
// flz0pack: before the new file takes the name, the original size and its
// compressed (stream) size.
inline constexpr char kPackedFormat[] = "original = %d -> compressed = %d\n";

// What --help prints after the usage line, for each program: what it
// does; then the line before its options, and what each option does (a
// '\n' continues it on the line below).
inline constexpr std::string_view kSplitAbout =
    "\n"
    "Cut a bundle (a BND file: pieces behind a 512-byte table of offsets) into\n"
    "numbered piece files 000, 001, ... in a directory named after it: DATA.BND\n"
    "gives DATA/, a name with no extension gets .d (SE gives SE.d/). maxfiles,\n"
    "when it is the only extra argument, limits the number of pieces (default\n"
    "127; 0x prefix for hexadecimal). Each piece appears whole or not at all.\n";
inline constexpr std::string_view kSplitList =
    "show the pieces the table lists, why the list ends and\nhow many bytes lie in no piece; write nothing";
inline constexpr std::string_view kSplitDecode =
    "write each FLZ0 piece decoded, beside its own bytes as\nNNN.BAK, as varnix would leave it";
inline constexpr std::string_view kSplitDirectory = "put the pieces in DIR";
inline constexpr std::string_view kSplitForce =
    "replace pieces changed since the last split, or another\nbundle's pieces";
inline constexpr std::string_view kJoinAbout =
    "\n"
    "Build each bundle from the piece files 000, 001, ... in the directory that\n"
    "bndsplit writes for it (DATA.BND from DATA/, SE from SE.d/). Where the record\n"
    "bndsplit leaves there is, the bundle is rebuilt as it was cut, with only the\n"
    "pieces changed since; else from the pieces up to the first number missing.\n"
    "The first join keeps the old bundle as BUNDLE.BAK, and a BUNDLE.BAK is never\n"
    "replaced. Nothing is written unless every piece fits a bundle: 1 to 1261568\n"
    "bytes, at most 127 of them.\n";
inline constexpr std::string_view kJoinDirectory = "take the pieces from DIR; one BUNDLE only";
inline constexpr std::string_view kJoinAsIs =
    "store every piece as it stands; by default a piece\nbeside an FLZ0 NNN.BAK is stored compressed again";
inline constexpr std::string_view kJoinDryRun =
    "write nothing; tell for each piece whether it changed\nand how it would be stored";
inline constexpr std::string_view kDryRunDone = "Nothing was written (a dry run).\n";
// What a join makes of a piece, on its line: "unchanged, original bytes".
inline constexpr const char* kPieceChangeWords[] = {"unchanged", "changed", "added", "taken from %s"};
// What the bundle a piece is taken from is: one found by its name alone,
// the one first split, the one the pieces were cut from again, or one a
// join from them wrote.
inline constexpr const char* kSourceWords[] = {"", ", the original", ", the bundle they were cut from",
                                               ", the bundle a join from them wrote"};
inline constexpr const char* kPieceStoreWords[] = {"original bytes", "compressed again", "as it stands"};
inline constexpr char kMovesFormat[] = ", later pieces move %+lld bytes";
inline constexpr std::string_view kJoinAlign =
    "where a piece changes size, keep the later ones on a\ngrid of N bytes (a power of two up to 1048576; 1 for\nnone); by default, the grid they were cut on, if any";
inline constexpr std::string_view kVarnixAbout =
    "\n"
    "Decompress each FLZ0 file in place, in the order given. The compressed file\n"
    "is kept as FILE.BAK, and an existing FILE.BAK is never replaced; the file\n"
    "keeps its permissions. Each file is handled on its own: a failure does not\n"
    "stop the files after it, and the exit status is the highest of any file.\n";
inline constexpr std::string_view kVarnixStdout = "write each decoded file to standard output; change no file";
inline constexpr std::string_view kVarnixTest = "decode each file in memory and show its sizes; write nothing";
inline constexpr std::string_view kPackAbout =
    "\n"
    "Compress each file in place into an FLZ0 file, the smallest stream of that\n"
    "form whose last group every decoder reads right, checked by decoding it\n"
    "before it replaces the file. A file of at most 65535 bytes that does not\n"
    "start with FLZ0 is taken; the file keeps its permissions, and no backup is\n"
    "kept. Each file is handled on its own, as by varnix.\n";
inline constexpr std::string_view kPackStdout = "write each FLZ0 file to standard output; change no file";
// Before the options: where they may stand.
inline constexpr std::string_view kOptionsFirst = "Options, before the bundle:\n";
inline constexpr std::string_view kOptionsAnywhere = "Options, anywhere before --:\n";
// The options every program takes, and "--".
inline constexpr std::string_view kHelpHelp = "show this help";
inline constexpr std::string_view kVersionHelp = "show the version";
inline constexpr char kEndOptionsNames[] = "  --";
inline constexpr std::string_view kEndOptionsHelp = "end the options: an operand may start with '-'";

// bndsplit, before it splits, when the operand read as the limit names a
// file: what became of it, as a detail line naming that file.
inline constexpr char kReadAsLimitFormat[] = "is a file, read here as the limit %d; split it on its own";

// After the usage line, in the detail line, why an option is wrong.
inline constexpr char kUnknownOption[] = "unknown option";
inline constexpr char kNeedsValue[] = "needs a value";
inline constexpr char kTakesNoValue[] = "takes no value";

// bndsplit --list, after the pieces' lines: why the list ended, and how
// many bytes of the bundle lie outside the table and every listed piece.
// What bndsplit -l says a piece is.
inline constexpr char kKindRaw[] = "raw";
inline constexpr char kKindFlz0Format[] = "FLZ0, %zu bytes decoded";
inline constexpr char kKindAfterFormat[] = ", %zu bytes after its stream";
inline constexpr char kKindAfterOne[] = ", 1 byte after its stream";
inline constexpr char kKindCorruptFormat[] = "FLZ0 that does not decode: its stream ends after %zu of %zu bytes";
inline constexpr char kTypePng[] = "PNG image";
inline constexpr char kTypeJpeg[] = "JPEG image";
inline constexpr char kTypeGif[] = "GIF image";
inline constexpr char kTypeDds[] = "DDS texture";
inline constexpr char kTypeWav[] = "WAVE sound";
inline constexpr char kTypeOgg[] = "Ogg sound";
inline constexpr char kTypeMp3[] = "MP3 sound";
inline constexpr char kTypeZip[] = "ZIP archive";
inline constexpr char kTypeGzip[] = "gzip archive";
inline constexpr char kType7z[] = "7z archive";
inline constexpr char kTypeRar[] = "RAR archive";
inline constexpr char kTypeElf[] = "ELF executable";
inline constexpr char kTypeExe[] = "Windows executable";
inline constexpr char kTypeBundle[] = "bundle";
inline constexpr char kTypeText[] = "text";
inline constexpr char kListEndFormat[] = "list ends at %s; %llu bytes in no piece\n";
// bndsplit --list: a listed piece that runs past the end of the bundle.
inline constexpr char kPastTheEndFormat[] = "piece %d ends at 0x%08x, past the end of the %llu-byte bundle";
// Why a list of pieces ended: the piece limit, the table's capacity, or
// the entry that ends the first failing pair, and the rule it breaks.
inline constexpr char kEndsAtLimitFormat[] = "the limit of %d pieces";
inline constexpr char kEndsAtCapacityFormat[] = "the table's %d pieces";
inline constexpr char kEndIsZeroFormat[] = "entry %zu: end 0";
inline constexpr char kSizeIsZeroFormat[] = "entry %zu: size 0";
inline constexpr char kEndBelowStartFormat[] = "entry %zu: end 0x%08x below start 0x%08x";
inline constexpr char kTooLargeFormat[] = "entry %zu: size %u over %u";
// bndsplit, after "Completed.", when bytes of the bundle are in no piece
// written: where they are, and why the list ended, as the detail line.
inline constexpr char kLeftAfterFormat[] = "%llu bytes after 0x%08llx are in no piece (%s)";
inline constexpr char kLeftFromFormat[] = "%llu bytes are in no piece, the first at 0x%08llx (%s)";

// bndsplit: before a file of an earlier run is removed from the piece directory.
inline constexpr char kRemovingFormat[] = "removing ... %s\n";

// bndjoin, after "Completed.", when an old bundle's layout is not kept:
// why, as the detail line.
inline constexpr char kLayoutNotKeptFormat[] = "the old bundle's layout is not kept: %s";
inline constexpr char kOtherCountFormat[] = "its table lists %zu pieces, and there are %zu now";
inline constexpr char kInTheTable[] = "its piece 0 starts inside its table";
inline constexpr char kPastItsEnd[] = "its last piece ends past its end";
inline constexpr char kTooFar[] = "the pieces would end past the 4 GiB a table reaches";

// varnix, flz0pack and bndjoin with more than one FILE: the line before
// each file's lines, with an empty line before all but the first.
inline constexpr char kFileHeadFormat[] = "==> %s <==\n";

// Each program's name, as --version and the detail lines give it.
// The last line of a run in a console window of its own, before it waits
// for a key: English, as the console shows it whatever the code page.
inline constexpr char kPressAnyKey[] = "Press any key to close this window.\n";
inline constexpr char kVersionFormat[] = "%s (bndtools) %s\n";
// The detail line after a failure message: program, file, reason.
inline constexpr char kDetailFormat[] = "%s: %s: %s\n";

// The reasons the detail lines give, in English, and the names they give
// for what is not a file.
inline constexpr char kStandardOutput[] = "standard output";
inline constexpr char kOutOfMemory[] = "out of memory";
inline constexpr char kNoMemoryFor[] = "no memory for ";
inline constexpr char kForTheFile[] = "the file";
inline constexpr char kForTheImage[] = "the file's image";
inline constexpr char kForTheDecodedData[] = "the decoded data";
inline constexpr char kNotRegularFile[] = "not a regular file";
inline constexpr char kNotSupported[] = "not supported by this system";
inline constexpr char kTooManyAtOnce[] = "too many files being written at once";
inline constexpr char kSystemErrorFormat[] = "system error %d";
inline constexpr char kAlreadyExists[] = "already exists";
inline constexpr char kIsTheBundle[] = "is the bundle being split";
inline constexpr char kEndedAfterFormat[] = "ended after %llu of %llu bytes";
inline constexpr char kNoPieceZero[] = "holds no piece 000";
inline constexpr char kFollowsGapFormat[] = "follows a gap: there is no piece %s";
inline constexpr char kAtMostPiecesFormat[] = "a bundle holds at most %d pieces";
inline constexpr char kPieceTooLargeToPackFormat[] =
    "is %zu bytes, more than the %zu an FLZ0 file holds, so it cannot be stored compressed as its .BAK is";
inline constexpr char kEmptyPiece[] = "is empty, and a size of 0 ends a bundle's table";
inline constexpr char kPieceTooLargeFormat[] = "is %llu bytes, more than the %u a piece may have";
inline constexpr char kMissingPiece[] =
    "is missing, and the bundle it was cut from is not here, or no longer holds it";
inline constexpr char kSplitStopped[] =
    "was never written: the split that cut these pieces stopped before it; split the bundle again";
inline constexpr char kSplitStoppedAtEnd[] =
    "says the split that cut these pieces stopped before it finished; split the bundle again";
inline constexpr char kChangedSinceRead[] = "changed while the tool ran, after it was read";
inline constexpr char kHoldsOtherFormat[] =
    "holds the pieces of %s: split into another directory with -d, or give -f to replace them";
inline constexpr char kEditedFormat[] =
    "holds pieces changed since they were cut (%s): join them first, or give -f to replace them";
inline constexpr char kRecordUnreadable[] = "is not a split record this version reads";
inline constexpr char kOtherBundleFormat[] = "holds the pieces of %s: name that bundle, or give the directory with -d";
inline constexpr char kNotThisBundleFormat[] =
    "is neither the bundle %s was cut from nor the one bndjoin last built from it: move it aside to build a new one, "
    "and where it holds a patch, apply that patch to the pieces (bndpatch -d %s PATCH) to keep it";
inline constexpr char kOutsideEnded[] = "ended while its bytes outside the pieces were copied";
inline constexpr char kNoFlz0Magic[] = "does not start with \"FLZ0\"";
inline constexpr char kStartsWithFlz0[] = "starts with \"FLZ0\"";
inline constexpr char kStreamEndsFormat[] = "stream ends after %zu of %u bytes";
inline constexpr char kLongerThanFlz0Format[] = "longer than the %zu bytes an FLZ0 file holds";
inline constexpr char kPackedTooLongFormat[] = "compressed, longer than the %zu bytes readers take";
inline constexpr char kNotDecodingBack[] = "the compressed data does not decode to the file";

// bnddiff and bndpatch.
inline constexpr char kDiffUsage[] =
    "Usage: bnddiff [-d DIR [--original FILE]] [--one-way | --both-ways] OLD [NEW] PATCH\n"
    "       bnddiff -r [--one-way | --both-ways] OLDDIR NEWDIR PATCH\n"
    "       bnddiff --kit KIT [--kit-files DIR] [-r | -d DIR [--original FILE]] [--one-way | --both-ways] OLD [NEW]\n";
inline constexpr char kPatchUsage[] =
    "Usage: bndpatch [-R] [-n | -o OUT] BUNDLE PATCH... | bndpatch [-R] [-n] -d DIR PATCH... | bndpatch -l PATCH\n"
    "       bndpatch [-R] [-n | -o OUTDIR] FOLDER PATCH...\n";
inline constexpr std::string_view kDiffAbout =
    "\n"
    "Make PATCH, which turns bundle OLD into bundle NEW a piece at a time: for each\n"
    "piece that differs, what changed in it (in an FLZ0 piece, in its decoded\n"
    "content, compressed again when the patch is applied), with the size and\n"
    "SHA-256 of each piece before and after, and of both whole bundles, whose\n"
    "SHA-256 it shows last as sha256sum -c reads them. With -d, NEW is the bundle\n"
    "bndjoin would build from DIR over OLD, which need not be built, and the patch\n"
    "is made from the original the pieces were first cut from, whatever joins came\n"
    "between: OLD itself, else OLD.BAK, or the file --original gives. An OLD that\n"
    "is neither that original nor a bundle bndjoin built from DIR is refused. An\n"
    "existing PATCH is replaced only where it is a patch itself. With -r, OLD and\n"
    "NEW are folders, and PATCH holds every file that differs between them by\n"
    "relative path: bundles a piece at a time, other files as deltas of their\n"
    "bytes, files added and removed; backups (FILE.BAK beside FILE) are left out.\n";
inline constexpr std::string_view kDiffOneWay =
    "hold no way back: bndpatch -R takes every piece back\nfrom the bundle the patch was applied to (BUNDLE.BAK)";
inline constexpr std::string_view kDiffBothWays =
    "hold the way back whole: the old stored bytes of FLZ0\npieces no encoder known here makes again, for a patch\nthat travels without BUNDLE.BAK";
inline constexpr std::string_view kDiffDirectory = "make NEW from the pieces in DIR and their split record";
inline constexpr std::string_view kDiffOriginal =
    "with -d: the original the pieces were first cut from,\nwhere it is neither OLD nor OLD.BAK";
inline constexpr std::string_view kPatchAbout =
    "\n"
    "Apply PATCH to BUNDLE: only where BUNDLE holds, in every piece the patch\n"
    "touches, exactly what the patch was made from; each piece made is checked\n"
    "against its hash before BUNDLE is replaced in one step. The first patch or\n"
    "join keeps the old bundle as BUNDLE.BAK; one that is there is left as it is.\n"
    "Several patches apply in one step, all or none. Patches that change\n"
    "different parts of one piece's content combine, in either order, against the\n"
    "bundle they were made from (BUNDLE, or BUNDLE.BAK); changes that overlap are\n"
    "refused, each named, before anything is written. With -d, the patches go into\n"
    "the piece files of DIR in the bundle's place, merged with the edits made there\n"
    "against the original the pieces were first cut from (the bundle its split\n"
    "record names beside DIR, or that bundle's .BAK); the next bndjoin carries them.\n"
    "Given a FOLDER and folder patches (bnddiff -r), every file they touch is\n"
    "checked, then every new file is written and synced, and all of them take\n"
    "their names in one commit, which a journal in FOLDER guards: a run that\n"
    "stops is finished or undone by the next bndpatch on FOLDER, and any other\n"
    "tool stops there until then.\n"
    "Exit status 3: BUNDLE (or FOLDER) already holds what the patch makes.\n";
inline constexpr std::string_view kPatchReverse = "take the patch back out: make what it was made from";
inline constexpr std::string_view kPatchOutput =
    "write the new bundle to OUT, a new file, or the whole\npatched FOLDER to OUT, a new folder; leave BUNDLE or\nFOLDER alone";
inline constexpr std::string_view kPatchList = "show what the patch holds; no bundle is needed";
inline constexpr std::string_view kPatchDirectory =
    "merge the patches into the piece files in DIR, keeping\nthe edits made there; leave the bundle alone";
// What a patch holds, as bnddiff and bndpatch -l show it.
inline constexpr char kPatchBundleFormat[] = "%s: %llu bytes, %u pieces, SHA-256 %s\n";
inline constexpr char kOldName[] = "old";
inline constexpr char kNewName[] = "new";
inline constexpr char kEntryFormat[] = "%s: %s, %s%s\n";
inline constexpr char kFrameName[] = "the table and the bytes outside the pieces";
inline constexpr char kPieceNameFormat[] = "piece %s";
inline constexpr const char* kEntryWords[] = {"changed", "added", "removed"};
inline constexpr char kSizesChangeFormat[] = "%llu -> %llu bytes";
inline constexpr char kSizeFormat[] = "%llu bytes";
inline constexpr char kFromContentFormat[] = ", compressed again from its content (a %zu-byte change)";
inline constexpr char kFromStoredFormat[] = ", from its stored bytes (a %zu-byte change)";
// The way back (bndpatch -R), after each entry's way there, and in all.
inline constexpr char kBackByEncoderFormat[] = "; back: compressed again as %s made it (a %zu-byte change)";
inline constexpr char kBackFromStoredFormat[] = "; back: from its stored bytes (a %zu-byte change)";
inline constexpr char kBackFromBefore[] = "; back: from the bundle before the patch";
inline constexpr char kPackEncoder[] = "flz0pack";
inline constexpr char kTreeEncoderFormat[] = "a binary-tree LZSS encoder over a ring of 0x%02x bytes";
inline constexpr char kChainEncoderFormat[] = "a greedy hash-chain encoder of depth %u";
inline constexpr char kWayBackFormat[] = "way back: %zu bytes of the patch\n";
inline constexpr char kFromBeforeFormat[] =
    "%s: no encoder known here makes their stored bytes again from their content, so bndpatch -R takes them from the\n"
    "bundle the patch was applied to, kept as BUNDLE.BAK (bnddiff --both-ways carries them in the patch)\n";
inline constexpr char kPatchSizeFormat[] = "patch: %zu bytes\n";
// bndpatch -n: what a look at the bundle found, before the outcome.
inline constexpr char kDryWrongFormat[] = "%s: in %s the patch expects %s, and the bundle holds %s\n";
inline constexpr char kDryElsewhereFormat[] =
    "%s: differs from the bundle the patch was made from in %s, which the patch does not touch: another patch, or "
    "another version\n";
inline constexpr char kDryAppliesFormat[] = "%s: the patch applies; nothing was written\n";
inline constexpr char kDryTakesBackFormat[] = "%s: the patch comes back out; nothing was written\n";
inline constexpr std::string_view kPatchDryRun = "write nothing: say whether the patch applies, or which\npieces differ";
// bndpatch: before each piece it makes, and each it removes.
inline constexpr char kPatchingFormat[] = "patching ... %-12s [%08x-%08x]\n";
// bndpatch -d: before each piece file it changes; its path.
inline constexpr char kPatchingFileFormat[] = "patching ... %s\n";
// What bndpatch says of a patch or a bundle it refuses.
inline constexpr char kNoTableToPatch[] = "is shorter than a bundle's 512-byte table";
inline constexpr char kNotPiecewise[] =
    "lists no piece, or pieces not all after its table and within it: it cannot be patched a piece at a time";
inline constexpr char kSameBundleFormat[] = "holds the same bytes as %s: there is no change to share";
inline constexpr char kSideFormat[] = "%llu bytes, SHA-256 %s";
inline constexpr char kNoSide[] = "no such piece";
inline constexpr char kAlreadyMade[] = "already holds what the patch makes; nothing was written";
inline constexpr char kAlreadyTakenBack[] = "already holds what the patch was made from; nothing was written";
inline constexpr char kWrongPieceFormat[] =
    "is not the bundle the patch was made for: in %s the patch expects %s, and the bundle holds %s; nothing was written";
inline constexpr char kWrongCountFormat[] =
    "lists %zu pieces, and the patch was made for a bundle of %u; nothing was written";
inline constexpr char kNotAPatch[] = "is not a bundle patch";
inline constexpr char kOtherVersionFormat[] = "is a patch of version %llu; this bndpatch reads version %llu";
inline constexpr char kPatchDamaged[] = "is damaged: its checksum does not match its bytes";
inline constexpr char kPatchMalformed[] = "does not read as a patch: a field is out of range, or its entries do not fit a bundle";
inline constexpr char kNotAsRecordedFormat[] = "makes %s other than it records; nothing was written";
inline constexpr char kOtherCompressorFormat[] =
    "expects FLZ0 compressor version %llu, and this bndpatch has version %llu; nothing was written";
inline constexpr char kResultNotAsRecorded[] = "makes a bundle other than the one it records; nothing was written";
inline constexpr char kNoRecordToDiff[] = "holds no split record: bnddiff -d needs the pieces of a split";
inline constexpr char kNoRecordToPatch[] = "holds no split record: bndpatch -d needs the pieces of a split";
inline constexpr char kOverlappingFormat[] =
    "changes bytes %llu to %llu of the content of %s, which %s changes too: the two changes overlap; nothing was "
    "written";
inline constexpr char kNotCombinableFormat[] =
    "adds or removes %s, or changes the table: it applies only alone, to the bundle it was made for; nothing was "
    "written";
inline constexpr char kNoWayBackFormat[] =
    "holds no way back for %s, and %s does not hold it as it was: put the bundle the patch was applied to there, "
    "or take back a patch made with bnddiff --both-ways; nothing was written";
inline constexpr char kNotAPatchToReplace[] = "already exists and is not a patch: bnddiff replaces only a patch";
inline constexpr char kNotOfThesePiecesFormat[] =
    "is neither the bundle the pieces in %s were first cut from nor one bndjoin built from them: make the patch "
    "against that original, the bundle of %llu bytes, then apply it to this version; nothing was written";
inline constexpr char kNoOriginalFormat[] =
    "is not the original the pieces in %s were first cut from (%llu bytes), which the patch is made against: give "
    "that bundle with --original; nothing was written";
inline constexpr char kNoOriginalToMergeFormat[] =
    "is not the original the pieces in %s were first cut from (%llu bytes), against which the patch is merged into "
    "them: put that bundle there; nothing was written";
// A folder and its journal.
inline constexpr char kJournalLeftFormat[] =
    "is in %s, where a patch stopped part-way: run bndpatch on that folder to finish or undo it first; nothing "
    "was written";
inline constexpr char kJournalUnreadable[] =
    "cannot be read as the journal of a patch: the folder may hold part of each version; restore it from its "
    "backups (FILE.BAK) and remove the journal";
inline constexpr char kJournalFileLostFormat[] =
    "cannot be finished: the new bytes of %s are gone; restore the folder from its backups (FILE.BAK) and remove the "
    "journal";
inline constexpr const char* kPathProblems[] = {
    "",
    "an empty name",
    "a path from the root",
    "a drive",
    "a network path",
    "a \"..\" that climbs out of the folder",
    "a \".\" name",
    "a backslash, which Windows takes as a separator",
    "a device name Windows keeps (CON, NUL, COM1 and the like)",
    "a character no Windows name holds",
    "a name ending in a dot or a space, which Windows drops",
    "a name the tools keep for themselves (a journal, a temporary or a backup)",
    "bytes that are not UTF-8",
    "more bytes than any system takes",
};
inline constexpr char kUnsafePathFormat[] =
    "holds the path \"%s\", which names %s: a patch writes only inside its folder; nothing was written";
inline constexpr char kSameButCaseFormat[] =
    "holds \"%s\" and \"%s\", which differ only by case and are one file where case is one; nothing was "
    "written";
inline constexpr char kThroughLinkFormat[] =
    "reaches \"%s\" through a symbolic link or another special file, which may lead out of it; nothing was "
    "written";
inline constexpr char kNoSpaceFormat[] =
    "needs %llu bytes of disk space for the new files, and %llu are free; nothing was written";
inline constexpr char kFolderPatch[] = "is a folder patch: give the folder it applies to in the bundle's place";
inline constexpr char kBundlePatch[] = "is a bundle patch: give the bundle it applies to in the folder's place";
inline constexpr char kWrongFileFormat[] =
    "is not the file the patch was made for: the patch expects %s, and the file holds %s; nothing was written";
inline constexpr char kFolderAlready[] = "already holds what the patch makes; nothing was written";
inline constexpr char kFolderTakenBack[] = "already holds what the patch was made from; nothing was written";
inline constexpr char kNotAFolder[] = "is not a folder";
inline constexpr char kFileTwiceFormat[] =
    "changes this file, which %s changes otherwise: the two patches cannot both apply; nothing was written";
inline constexpr char kNoFile[] = "no such file";
inline constexpr char kNoTargetFormat[] =
    "was given alone, and no bundle it was made for (%llu bytes) is beside it or in the folder bndpatch started "
    "in: give the bundle too, or drop both on bndpatch";
// bndpatch on a folder.
inline constexpr char kRecoveredFinishedFormat[] =
    "%s: a patch that stopped part-way was finished: the folder holds what it makes\n";
inline constexpr char kRecoveredUndoneFormat[] =
    "%s: a patch that stopped part-way was undone: the folder holds what it held before\n";
inline constexpr char kPartWayFormat[] =
    "%s: every new file is written, and some have their names: run bndpatch on this folder again to finish the "
    "patch\n";
inline constexpr char kSpaceFormat[] = "%s: the new files take %llu bytes of disk space; %llu are free\n";
inline constexpr char kFileAppliesFormat[] = "%s: the patch applies\n";
inline constexpr char kFileComesBackFormat[] = "%s: the patch comes back out\n";
inline constexpr char kFileAlreadyFormat[] = "%s: already as the patch makes it\n";
inline constexpr char kFileWrongFormat[] = "%s: %s\n";
// What a folder patch holds, as bnddiff -r and bndpatch -l show it.
inline constexpr char kFolderPatchFormat[] = "folder patch: %zu files\n";
inline constexpr char kFolderFileFormat[] = "%s: %s, %s%s\n";
inline constexpr char kFolderBundleFormat[] = ", a bundle: %zu pieces changed";
inline constexpr char kFolderBytesFormat[] = ", a %zu-byte delta";
inline constexpr char kFolderBackFromBackup[] = "; back: from FILE.BAK";
inline constexpr std::string_view kDiffRecursive =
    "OLD and NEW are folders: one patch for every file that\ndiffers between them, by relative path";
inline constexpr std::string_view kPatchFolderOutput =
    "write the whole patched folder to OUTDIR, a new folder;\nleave FOLDER alone";
// bnddiff, after the patch's size: each whole bundle's SHA-256 and name,
// as sha256sum writes a line and reads it back with -c.
inline constexpr char kChecksumLineFormat[] = "%s  %s\n";

// The page.
// The page that applies a patch in a browser (web/). Its own texts, each
// in English and in Japanese (UTF-8 only: a page is UTF-8), by the name
// its script knows it by; a "%s" is a file or folder name, or a count.
// The controls keep the tool's English words, Patch, Bundle and Apply, in
// either language, as the tools' usage lines do.
struct PageText {
    std::string_view key;
    std::string_view english;
    std::string_view japanese;
};
inline constexpr PageText kPageTexts[] = {
    {"title",
     "Apply a patch",
     "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x82\x92\xE5\xBD\x93\xE3\x81\xA6\xE3\x82\x8B"},
    {"intro",
     "Pick the patch and the bundle it was made for, then Apply. Nothing leaves this page: the patch is applied "
     "here, in the browser, and the patched bundle is offered under the bundle's own name.",
     "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xA8\xE3\x80\x81\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xAE"
     "\xE5\x85\x83\xE3\x81\xAE\xE3\x83\x90\xE3\x83\xB3\xE3\x83\x89\xE3\x83\xAB\xE3\x82\x92\xE9\x81\xB8\xE3\x82\x93"
     "\xE3\x81\xA7 Apply \xE3\x82\x92\xE6\x8A\xBC\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95"
     "\xE3\x81\x84. \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAF\xE3\x81\xA9\xE3\x81\x93"
     "\xE3\x81\xAB\xE3\x82\x82\xE9\x80\x81\xE3\x82\x89\xE3\x82\x8C\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93: "
     "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xAF\xE3\x81\x93\xE3\x81\xAE\xE3\x83\x96\xE3\x83\xA9\xE3\x82\xA6"
     "\xE3\x82\xB6\xE3\x81\xAE\xE4\xB8\xAD\xE3\x81\xA7\xE5\xBD\x93\xE3\x81\xA6\xE3\x82\x89\xE3\x82\x8C\xE3\x80\x81"
     "\xE5\xBD\x93\xE3\x81\xA6\xE3\x81\x9F\xE3\x83\x90\xE3\x83\xB3\xE3\x83\x89\xE3\x83\xAB\xE3\x81\xAF\xE5\x85\x83"
     "\xE3\x81\xAE\xE5\x90\x8D\xE5\x89\x8D\xE3\x81\xA7\xE3\x83\x80\xE3\x82\xA6\xE3\x83\xB3\xE3\x83\xAD\xE3\x83\xBC"
     "\xE3\x83\x89\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x99."},
    {"folder_intro",
     "For a folder patch, pick the game folder in the bundle's place: the page patches it in place, keeping each "
     "file it replaces as FILE.BAK.",
     "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE7\x94\xA8\xE3\x81\xAE\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81"
     "\xE3\x81\xAB\xE3\x81\xAF\xE3\x80\x81\xE3\x83\x90\xE3\x83\xB3\xE3\x83\x89\xE3\x83\xAB\xE3\x81\xAE\xE4\xBB\xA3"
     "\xE3\x82\x8F\xE3\x82\x8A\xE3\x81\xAB\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA9"
     "\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92\xE9\x81\xB8\xE3\x82\x93\xE3\x81\xA7\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95"
     "\xE3\x81\x84: \xE3\x81\x9D\xE3\x81\xAE\xE5\xA0\xB4\xE3\x81\xA7\xE6\x9B\xB8\xE3\x81\x8D\xE6\x8F\x9B"
     "\xE3\x81\x88\xE3\x80\x81\xE7\xBD\xAE\xE3\x81\x8D\xE6\x8F\x9B\xE3\x81\x88\xE3\x82\x8B\xE5\x90\x84\xE3\x83\x95"
     "\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92 FILE.BAK \xE3\x81\xAB\xE6\xAE\x8B\xE3\x81\x97\xE3\x81\xBE"
     "\xE3\x81\x99."},
    {"pick",
     "Pick a patch, and a bundle or a folder.",
     "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x81\xA8\xE3\x80\x81\xE3\x83\x90\xE3\x83\xB3\xE3\x83\x89\xE3\x83\xAB"
     "\xE3\x81\x8B\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92\xE9\x81\xB8\xE3\x82\x93\xE3\x81\xA7"
     "\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84."},
    {"working",
     "Applying %s to %s ...",
     "%s \xE3\x82\x92 %s \xE3\x81\xAB\xE5\xBD\x93\xE3\x81\xA6\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99 ..."},
    {"download",
     "Download %s",
     "%s \xE3\x82\x92\xE3\x83\x80\xE3\x82\xA6\xE3\x83\xB3\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\x89"},
    {"in_place",
     "Write %s in place, keeping the original as %s.BAK",
     "%s \xE3\x82\x92\xE3\x81\x9D\xE3\x81\xAE\xE5\xA0\xB4\xE3\x81\xA7\xE6\x9B\xB8\xE3\x81\x8D\xE6\x8F\x9B"
     "\xE3\x81\x88\xE3\x82\x8B (\xE5\x85\x83\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB"
     "\xE3\x81\xAF %s.BAK \xE3\x81\xAB\xE6\xAE\x8B\xE3\x81\x99)"},
    {"written",
     "%s was written in place; the original is kept as %s.BAK.",
     "%s \xE3\x82\x92\xE6\x9B\xB8\xE3\x81\x8D\xE6\x8F\x9B\xE3\x81\x88\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F. "
     "\xE5\x85\x83\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAF %s.BAK \xE3\x81\xAB"
     "\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x99."},
    {"kept",
     "%s was written in place; %s.BAK was there already and is left as it is.",
     "%s \xE3\x82\x92\xE6\x9B\xB8\xE3\x81\x8D\xE6\x8F\x9B\xE3\x81\x88\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F. "
     "\xE6\x97\xA2\xE3\x81\xAB\xE3\x81\x82\xE3\x81\xA3\xE3\x81\x9F %s.BAK \xE3\x81\xAF\xE3\x81\x9D\xE3\x81\xAE"
     "\xE3\x81\xBE\xE3\x81\xBE\xE3\x81\xA7\xE3\x81\x99."},
    {"no_backup",
     "Without the folder that holds %s, the page cannot keep %s.BAK beside it: download the patched bundle "
     "instead.",
     "%s \xE3\x81\xAE\xE3\x81\x82\xE3\x82\x8B\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92"
     "\xE9\x81\xB8\xE3\x81\xB0\xE3\x81\xAA\xE3\x81\x84\xE3\x81\xA8 %s.BAK \xE3\x82\x92\xE6\xAE\x8B\xE3\x81\x9B"
     "\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93: \xE5\xBD\x93\xE3\x81\xA6\xE3\x81\x9F\xE3\x83\x90\xE3\x83\xB3"
     "\xE3\x83\x89\xE3\x83\xAB\xE3\x82\x92\xE3\x83\x80\xE3\x82\xA6\xE3\x83\xB3\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\x89"
     "\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84."},
    {"not_same",
     "The %s in that folder is not the bundle that was patched; nothing was written.",
     "\xE3\x81\x9D\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x81\xAE %s \xE3\x81\xAF"
     "\xE3\x80\x81\xE3\x83\x91\xE3\x83\x83\xE3\x83\x81\xE3\x82\x92\xE5\xBD\x93\xE3\x81\xA6\xE3\x81\x9F\xE3\x83\x90"
     "\xE3\x83\xB3\xE3\x83\x89\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\xAF\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B"
     "\xE3\x82\x93. \xE4\xBD\x95\xE3\x82\x82\xE6\x9B\xB8\xE3\x81\x8D\xE8\xBE\xBC\xE3\x82\x93\xE3\x81\xA7"
     "\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93."},
    {"folder_written",
     "%s: %s files were written in the folder.",
     "%s: \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x81\xAB %s \xE5\x80\x8B\xE3\x81\xAE\xE3\x83\x95"
     "\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE6\x9B\xB8\xE3\x81\x8D\xE8\xBE\xBC\xE3\x81\xBF\xE3\x81\xBE"
     "\xE3\x81\x97\xE3\x81\x9F."},
    {"choose_folder",
     "Choose a folder",
     "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92\xE9\x81\xB8\xE3\x81\xB6"},
    {"stopped",
     "The page could not finish: %s",
     "\xE6\x9C\x80\xE5\xBE\x8C\xE3\x81\xBE\xE3\x81\xA7\xE5\x87\xA6\xE7\x90\x86\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\xBE"
     "\xE3\x81\x9B\xE3\x82\x93\xE3\x81\xA7\xE3\x81\x97\xE3\x81\x9F: %s"},
};

// What each Japanese headline says, in English: an English page shows it
// in the headline's place; the detail line stays as the tools print it.
struct EnglishHeadline {
    const Text* text;
    std::string_view english;
};
inline constexpr EnglishHeadline kEnglishHeadlines[] = {
    {&kCannotOpen, "The file cannot be opened.\n"},
    {&kWriteFailed, "Writing failed.\n"},
    {&kReadFailed, "Reading failed.\n"},
    {&kNoMemory, "Memory cannot be allocated.\n"},
    {&kNotFlz0, "This does not seem to be compressed in FLZ0 form.\n"},
    {&kCorrupt, "The compressed data is corrupt.\n"},
    {&kCannotRename, "The file cannot be renamed.\n"},
    {&kTooLarge, "The file is too large.\n"},
    {&kAlreadyFlz0, "It is already compressed in FLZ0 form.\n"},
    {&kBadPiece, "A piece is invalid.\n"},
    {&kBadPatch, "The patch is invalid.\n"},
    {&kWrongBundle, "It differs from the file the patch was made from.\n"},
    {&kAlreadyApplied, "The patch has already been applied.\n"},
    {&kNoChange, "There is no difference.\n"},
    {&kOtherPieces, "These are another file's pieces.\n"},
};
// The kit.
// bnddiff --kit and --kit-files, as --help gives them.
inline constexpr std::string_view kDiffKit =
    "write KIT, a zip to publish, in PATCH's place: the patch\nnamed after NEW (after KIT with -r), README.txt,\napply.bat, apply.sh, bndpatch.html, and bndpatch.exe\nfor 64- and 32-bit Windows";
inline constexpr std::string_view kDiffKitFiles =
    "with --kit: take bndpatch.html, x64/bndpatch.exe and\nx86/bndpatch.exe from DIR (an unpacked kit is one); by\ndefault from kit/ beside bnddiff, or its install's\nshare/bndtools";
// bnddiff --kit, after the patch's size: the kit, its size, and the kit
// folder its files came from.
inline constexpr char kKitSizeFormat[] = "kit: %s, %llu bytes, with the files of %s\n";
// Why bnddiff --kit makes no kit, after the file it names.
inline constexpr char kKitFolderUnknown[] =
    "needs a kit folder given with --kit-files DIR, holding bndpatch.html, x64/bndpatch.exe and x86/bndpatch.exe "
    "(an unpacked kit is one): this system does not tell where bnddiff is; nothing was written";
inline constexpr char kNoKitFolderFormat[] =
    "is not a folder, nor is %s: bnddiff --kit takes bndpatch.html, x64/bndpatch.exe and x86/bndpatch.exe from the "
    "first; give a folder with --kit-files DIR (an unpacked kit is one); nothing was written";
inline constexpr char kNoKitFileFormat[] =
    "is missing: %s; or give --kit-files DIR, a folder that holds all three (an unpacked kit is one); nothing was "
    "written";
// What makes each file of a kit folder, by KitFile.
inline constexpr const char* kKitFileMakers[] = {
    "the build of the web page makes it (BUILD/web/bndpatch.html), and an install puts it in share/bndtools",
    "the 64-bit Windows build makes it (cmake --workflow --preset windows-x64)",
    "the 32-bit Windows build makes it (cmake --workflow --preset windows-x86)",
};
inline constexpr char kNotAKitToReplace[] = "already exists and is not a kit: bnddiff --kit replaces only a kit";
inline constexpr char kUnsafeKitNameFormat[] =
    "would hold the patch as \"%s\", which names %s: rename the file the patch is named after; nothing was written";
inline constexpr char kKitTooLargeFormat[] =
    "would hold %llu bytes, more than the %llu a zip holds; nothing was written";

// A kit's README.txt, lines ended by LF, for a bundle: the patch's name
// and the bundle's where the text names them, then the sha256sum lines of
// the bundle before and after.
inline constexpr char kKitReadmeFormat[] =
    "%s changes %s.\n"
    "\n"
    "Put every file of this kit in the folder that holds %s, then apply the\n"
    "patch in one of three ways:\n"
    "\n"
    "1. In a web browser: open bndpatch.html, and give it %s and %s.\n"
    "2. On Windows: drop %s on x64\\bndpatch.exe (x86\\bndpatch.exe on\n"
    "   32-bit Windows), which finds %s beside it.\n"
    "3. With a script: apply.bat on Windows (a double-click), or sh apply.sh\n"
    "   elsewhere, with bndpatch on PATH. Each applies every .bndpatch beside\n"
    "   it to the bundle it is named after.\n"
    "\n"
    "bndpatch changes only the bundle the patch was made for, and keeps the\n"
    "original as %s.BAK; bndpatch -R takes the patch back out.\n"
    "\n"
    "The SHA-256 of %s before the patch, as sha256sum -c reads it in that\n"
    "folder (on Windows, certutil -hashfile %s SHA256 shows a file's):\n"
    "\n"
    "%s"
    "\n"
    "and after it:\n"
    "\n"
    "%s";
// The same for a folder: the patch's name where the text names it, then
// the sha256sum lines of every file it changes, before and after.
inline constexpr char kKitFolderReadmeFormat[] =
    "%s changes the files of a folder named below.\n"
    "\n"
    "Put every file of this kit in that folder, then apply the patch in one\n"
    "of three ways:\n"
    "\n"
    "1. In a web browser: open bndpatch.html, and give it the folder and\n"
    "   %s.\n"
    "2. On Windows: drop %s on x64\\bndpatch.exe (x86\\bndpatch.exe on\n"
    "   32-bit Windows), which applies it to the folder it is in.\n"
    "3. With a script: apply.bat on Windows (a double-click), or sh apply.sh\n"
    "   elsewhere, with bndpatch on PATH. Each applies every .bndpatch beside\n"
    "   it to the folder they are in.\n"
    "\n"
    "bndpatch writes nothing unless every file is as the patch expects, and\n"
    "keeps each file it replaces as FILE.BAK; bndpatch -R %s takes the\n"
    "patch back out.\n"
    "\n"
    "The SHA-256 of each file before the patch, as sha256sum -c reads them in\n"
    "that folder (on Windows, certutil -hashfile FILE SHA256 shows a file's):\n"
    "\n"
    "%s"
    "\n"
    "and after it:\n"
    "\n"
    "%s";

// A kit's apply.bat, lines ended by CR LF, as cmd.exe reads them: each
// .bndpatch beside it applied by the bndpatch.exe that fits, in a loop
// whose body is kKitBatBundleLine or kKitBatFolderLine. The names are
// read from the folder, never written here, so that any name works
// whatever the code page cmd.exe reads this file in.
inline constexpr std::string_view kKitBatHead =
    "@echo off\r\n"
    "rem Applies each .bndpatch in this folder with the bndpatch.exe that fits\r\n"
    "rem this Windows: x64 on 64-bit Windows for x64, x86 on any other (32-bit\r\n"
    "rem Windows, and Windows on ARM, which runs x86 programs).\r\n"
    "setlocal\r\n"
    "cd /d \"%~dp0\"\r\n"
    "set \"bndpatch=x86\\bndpatch.exe\"\r\n"
    "if /i \"%PROCESSOR_ARCHITECTURE%\"==\"AMD64\" set \"bndpatch=x64\\bndpatch.exe\"\r\n"
    "if /i \"%PROCESSOR_ARCHITEW6432%\"==\"AMD64\" set \"bndpatch=x64\\bndpatch.exe\"\r\n"
    "if not exist \"*.bndpatch\" echo apply.bat: there is no .bndpatch file beside apply.bat\r\n"
    "set status=0\r\n"
    "for %%p in (*.bndpatch) do (\r\n";
// For a bundle: each patch to the bundle it is named after (DATA.BND.bndpatch to DATA.BND).
inline constexpr std::string_view kKitBatBundleLine = "    \"%bndpatch%\" -- \"%%~np\" \"%%p\"\r\n";
// For a folder: each patch to the folder apply.bat is in.
inline constexpr std::string_view kKitBatFolderLine = "    \"%bndpatch%\" -- . \"%%p\"\r\n";
inline constexpr std::string_view kKitBatTail =
    "    if errorlevel 1 set status=1\r\n"
    ")\r\n"
    "pause\r\n"
    "exit /b %status%\r\n";

// A kit's apply.sh, lines ended by LF: the same with the bndpatch on PATH,
// and where there is none, the page named instead.
inline constexpr std::string_view kKitShHead =
    "#!/bin/sh\n"
    "# Applies each .bndpatch in this folder with the bndpatch on PATH.\n"
    "cd \"$(dirname \"$0\")\" || exit 1\n"
    "if ! command -v bndpatch >/dev/null 2>&1; then\n"
    "    echo \"apply.sh: there is no bndpatch on PATH: install bndtools, or open bndpatch.html in a web browser\" >&2\n"
    "    exit 1\n"
    "fi\n"
    "status=0\n"
    "for patch in *.bndpatch; do\n"
    "    [ -f \"$patch\" ] || continue\n";
// For a bundle: each patch to the bundle it is named after.
inline constexpr std::string_view kKitShBundleLine = "    bndpatch -- \"${patch%.bndpatch}\" \"$patch\" || status=$?\n";
// For a folder: each patch to the folder apply.sh is in.
inline constexpr std::string_view kKitShFolderLine = "    bndpatch -- . \"$patch\" || status=$?\n";
inline constexpr std::string_view kKitShTail =
    "done\n"
    "exit $status\n";

}  // namespace msg
