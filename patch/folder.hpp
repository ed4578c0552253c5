// A folder patch: what turns one folder (OLD) into another (NEW), file by
// file, in one file.
//
//   "BNDPATCH"          8 bytes
//   version             3: a folder patch (2 and 1 are a bundle's, patch.hpp)
//   compressor          the FLZ0 compressor's version its bundle patches expect
//   count  file*        in path order, each path once
//   SHA-256             of every byte before it
//
//   file  := path  side side  how
//   path  := length byte*   UTF-8, relative, '/' between names (path_problem)
//   side  := as in a bundle patch: OLD's, then NEW's; 0 where the folder has no such file
//   how   := 0 length patch  a bundle on both sides: a bundle patch (version 2) of its own
//          | 1 packed back   any other file: a delta (delta.hpp) that makes NEW's bytes
//                            from OLD's (from none where OLD has no such file), packed
//   back  := 0              the way back is FILE.BAK, the file as the patch found it
//          | 1 packed        a delta that makes OLD's bytes from NEW's (from none)
//   packed := size chunk*    a delta of `size` bytes, in chunks of 65,535 bytes
//                            (the last the rest), each as length stream: an LZSS
//                            stream as FLZ0 holds one, from the chain encoder of
//                            depth kPackDepth (encoders.hpp)
//
// Numbers are unsigned LEB128. A file NEW has no such file of is removed;
// the way back of a file OLD has none of is its removal. A patch lists at
// least one file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"
#include "files.hpp"
#include "patch.hpp"

inline constexpr std::uint64_t kFolderPatchVersion = 3;
// The chain depth the deltas of loose files are packed with: near the
// deepest search's size at a fraction of its time.
inline constexpr std::uint32_t kPackDepth = 16;
// The longest path a folder patch holds, in bytes: more than any system's
// limit for a name within a folder.
inline constexpr std::size_t kMaxPathBytes = 4096;

enum class FileHow : std::uint8_t { bundle = 0, bytes = 1 };

struct FileChange {
    std::string path{};
    Side old_side{};
    Side new_side{};
    FileHow how = FileHow::bytes;
    Patch bundle{};                  // bundle: its patch
    Bytes forward{};                 // bytes: the delta from OLD's bytes
    std::optional<Bytes> back{};     // bytes: the delta from NEW's bytes; none: from FILE.BAK
};

struct FolderPatch {
    std::uint64_t compressor = kCompressorVersion;
    std::vector<FileChange> files{};
};

// folder_patch_bytes -- the folder patch as its file holds it
Bytes folder_patch_bytes(const FolderPatch& patch);

// read_folder_patch -- a folder patch from its file's bytes; `version` is
// the version the file states (other_version where it is not 3; a bundle
// patch states 1 or 2)
PatchStatus read_folder_patch(std::span<const std::uint8_t> bytes, FolderPatch& patch, std::uint64_t& version);

// pack / unpack -- a delta's bytes packed as a folder patch holds them,
// and back; unpack fails (none) where the bytes do not read as packed
Bytes pack(std::span<const std::uint8_t> bytes);
std::optional<Bytes> unpack(std::span<const std::uint8_t> packed, std::size_t limit);

// Why a path may not be in a folder patch: it would reach outside the
// folder, name a device, or a name the tools use themselves.
enum class PathProblem {
    none,
    empty,        // no name, or an empty name between two '/'
    absolute,     // starts at a root: '/' or '\'
    drive,        // names a drive: "C:" and the like
    unc,          // a network path: "\\server" or "//server"
    dot_dot,      // a ".." that climbs out
    dot,          // a "." name
    backslash,    // a '\', which Windows takes as a separator
    device,       // a Windows device name: CON, PRN, AUX, NUL, COM1-9, LPT1-9, any extension
    stream,       // a ':' (an NTFS stream), or a character no Windows name holds
    trailing,     // a name ending in '.' or ' ', which Windows drops
    tools_name,   // the journal, a temporary (.$$$) or a backup (.BAK)
    not_utf8,     // bytes that are not UTF-8
    too_long,     // longer than kMaxPathBytes
};

// path_problem -- what is wrong with a path a folder patch holds, if anything
PathProblem path_problem(std::string_view path);

// case_folded -- a path as a system that does not tell case apart
// compares it: ASCII, Latin-1, Greek, Cyrillic and full-width Latin
// letters in one case
std::string case_folded(std::string_view path);

// same_but_case -- the first two paths that differ only by case, as
// (index, index); none where there are none
std::optional<std::pair<std::size_t, std::size_t>> same_but_case(std::span<const std::string> paths);

// kCaseBlindNames -- whether this system's filesystems take two names that
// differ only by case as one (Windows, macOS)
#if defined(_WIN32) || defined(__APPLE__)
inline constexpr bool kCaseBlindNames = true;
#else
inline constexpr bool kCaseBlindNames = false;
#endif
