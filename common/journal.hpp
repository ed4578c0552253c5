// The journal of a folder commit: many files of one folder take their new
// names as one step, so that wherever the process dies, or the machine
// loses power, the next run leaves the folder as it was before or as the
// commit makes it, never part of each.
//
// The journal is one small file in the folder, FOLDER/.bndpatch-journal:
//
//   "BNDJOURN"        8 bytes
//   version           4 bytes: 1
//   state             0 writing: the new files are being written under
//                       their temporary names (FILE.$$$), none named yet
//                     1 naming: every one is whole and synced; they take
//                       their names in the order listed
//   count  entry*     count: 4 bytes
//   SHA-256           of every byte before it
//
//   entry := path  what  rule  [size SHA-256]
//   path  := length byte*   length: 4 bytes; relative to the folder, '/' between names
//   what  := 0              the file FILE.$$$ takes the name: its size (8 bytes) and hash follow
//          | 1              the file leaves
//   rule  := 0 replace | 1 keep the old file as FILE.BAK | 2 no file has the name
//
// Numbers are unsigned, least significant byte first. The journal is written whole under its
// temporary name, synced, and named, before the first new file is
// written (state 0), and again in place of itself once the last is
// synced (state 1). A journal in state 0 is undone: every temporary it
// lists is removed. One in state 1 is finished: each file that does not
// hold its new bytes yet takes them from its temporary, each leaving file
// goes, the folder is synced. Then the journal goes. Each of these steps
// looks at what the files hold before it acts, so a run that stops in the
// middle of either is finished or undone again by the next.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "failure.hpp"
#include "files.hpp"
#include "output.hpp"
#include "platform.hpp"
#include "sha256.hpp"

inline constexpr char kJournalName[] = ".bndpatch-journal";
inline constexpr std::array<std::uint8_t, 8> kJournalMagic = {'B', 'N', 'D', 'J', 'O', 'U', 'R', 'N'};
inline constexpr std::uint64_t kJournalVersion = 1;

enum class JournalState : std::uint8_t { writing = 0, naming = 1 };

struct JournalEntry {
    std::string path{};  // relative to the folder
    bool leaves = false;  // the file goes (kept as FILE.BAK where `old` says)
    OldFile old = OldFile::replace;
    std::uint64_t size = 0;  // the new file's
    Digest hash{};
    bool operator==(const JournalEntry&) const = default;
};

struct Journal {
    JournalState state = JournalState::writing;
    std::vector<JournalEntry> entries{};
    bool operator==(const Journal&) const = default;
};

// journal_bytes -- the journal as its file holds it
Bytes journal_bytes(const Journal& journal);

// read_journal -- a journal from its file's bytes; false where they are
// no journal of this version, or damaged
bool read_journal(std::span<const std::uint8_t> bytes, Journal& journal);

// journal_path -- where a folder's journal is
std::string journal_path(const std::string& folder);

// unfinished_journal -- where a file of one of these paths is written,
// the first journal left in its directory or a directory above it (as its
// path names them): the failure that says so, naming that folder
Outcome unfinished_journal(platform::FileSystem& fs, std::span<const std::string> paths);

// What the next run found of a commit that stopped.
enum class Recovered { nothing, finished, undone };

// Who is told of each file as it takes its new name (leaves: false) or
// goes (true); a failure it gives back ends the run.
using JournalTold = std::function<Outcome(const std::string& path, bool leaves)>;

// recover -- a folder's journal carried out: finished where it was naming,
// undone where it was still writing, then removed; nothing where there is
// none. A journal that cannot be read, or a file whose new bytes are lost,
// is a failure, and the journal stays.
Outcome recover(platform::FileSystem& fs, const std::string& folder, const JournalTold& told, Recovered& recovered);
