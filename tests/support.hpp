// Helpers for the end-to-end tests: scratch directories, whole-file reads
// and writes, and running a built program with its output captured.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "bundle_reference.hpp"
#include "mem_fs.hpp"
#include "messages.hpp"
#include "platform.hpp"

namespace fs = std::filesystem;

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
inline constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
inline constexpr bool kSanitized = false;
#endif

// Whether each start of a program is slow: under wine, or with the
// sanitizers. A test that runs a program for every offset of a file then
// takes every few offsets, and every one near an edge it is about.
inline constexpr bool kSlowRuns = kWindows || kSanitized;

// A device on which every write fails as on a full disk. Under wine the
// Linux root is drive Z:.
inline const std::string kFullDevice = kWindows ? "Z:\\dev\\full" : "/dev/full";

// console -- text as a console stream writes it: standard output and error
// are text streams, so on Windows each line feed goes out as CR LF
std::string console(std::string_view text);

// What a program run printed and returned.
struct RunResult {
    int status = -1;  // exit status; -1 if it did not exit normally
    std::string out;
    std::string err;
};

struct RunOptions {
    std::uint64_t file_size_limit = 0;  // bytes; 0 for none; POSIX only
    std::string stdout_path;            // where standard output goes instead of a capture
    bool merged = false;                // standard error goes where standard output goes
    bool die_at_limit = false;          // crossing file_size_limit kills the program (SIGXFSZ)
    std::string locale = "C";           // LC_ALL for the program; POSIX only
    std::uint64_t memory_limit = 0;     // bytes of address space; 0 for none; POSIX only
    bool process = false;               // start the program itself, for what only a process shows
};

// The programs, as every table of them names them.
struct Program {
    const char* name;
    const char* exe;
    const char* usage;                 // the usage line, invoked by its name
    std::string missing;               // what a failure names when the argument "MISSING" is missing
    std::vector<std::string> options;  // every option --help must list
    std::vector<std::string> others;   // the operands it needs besides, after the one a test names
};
extern const Program kPrograms[6];

// operands -- a program's operands, the one a test names first
std::vector<std::string> operands(const Program& p, const std::vector<std::string>& named);
inline const Program& kBndsplit = kPrograms[0];
inline const Program& kBndjoin = kPrograms[1];
inline const Program& kVarnix = kPrograms[2];
inline const Program& kFlz0pack = kPrograms[3];
inline const Program& kBnddiff = kPrograms[4];
inline const Program& kBndpatch = kPrograms[5];

// kAsProcess -- run the program itself
inline const RunOptions kAsProcess = [] {
    RunOptions o;
    o.process = true;
    return o;
}();

// message -- a failure message as the programs write it in the tests' C
// locale (UTF-8) or, on Windows, redirected (Shift-JIS), line end included
std::string message(const msg::Text& text);

// is_failure -- whether standard error holds exactly the message and its
// detail line "program: file: reason"; any one-line reason matches an
// empty `reason`
testing::AssertionResult is_failure(const std::string& err, const msg::Text& text, const std::string& program,
                                    const std::string& file, const std::string& reason = "");

// fails_as -- whether a run ended with the status, standard error holding
// what is_failure asks
testing::AssertionResult fails_as(const RunResult& r, int status, const msg::Text& text, const std::string& program,
                                  const std::string& file, const std::string& reason = "");

// run_tool -- run exe with argv[0] set to name and the given arguments, in
// directory cwd: in-process, through the same run the program makes, its
// streams captured as a redirected stream gets them; as a process of its
// own where the options ask for what only a process has (a file size or
// memory limit, a locale, standard output sent to a file or merged)
RunResult run_tool(const std::string& exe, const std::string& name,
                   const std::vector<std::string>& args, const fs::path& cwd,
                   const RunOptions& options = {});

// A program's whole run over a file system: bndjoin_main and its kin
// (the arguments are an Args).
using ProgramMain = int (*)(const std::vector<std::string>& args, platform::FileSystem& fs);

// run_over -- run a program in-process over a file system of the test's,
// argv[0] set to name, its streams captured as run_tool captures them;
// the names in args reach the file system as they are
RunResult run_over(platform::FileSystem& fs, ProgramMain program, const std::string& name,
                   const std::vector<std::string>& args);

// open_descriptors -- how many files this process has open; -1 where the
// system does not tell
int open_descriptors();

// spawn_and_wait -- each system's part of run_tool: run exe with argv[0]
// set to name, in cwd, with standard output and error going to the given
// files; the exit status, or -1 if it did not exit normally
int spawn_and_wait(const std::string& exe, const std::string& name, const std::vector<std::string>& args,
                   const fs::path& cwd, const std::string& out_path, const std::string& err_path,
                   const RunOptions& options);

// hold_open -- a file held open as another program would hold it, where
// the system then refuses to rename or remove it (Windows: no delete
// sharing); let_go closes it. Elsewhere nothing is held (nullptr).
void* hold_open(const fs::path& path);
void let_go(void* held);

// write_file / append_file / read_file -- whole files as byte strings
void write_file(const fs::path& path, const std::string& bytes);
void append_file(const fs::path& path, const std::string& bytes);
std::optional<std::string> read_file(const fs::path& path);

// make_bundle -- a bundle of the given pieces: the table, then the pieces
// end to end from offset 512
std::string make_bundle(const std::vector<std::string>& pieces);

// table_bytes -- a table with these entries first (at most 128) and zeros
// after them, as the tools write one
std::string table_bytes(const std::vector<std::uint32_t>& entries);

// laid -- a bundle: its table's entries (then `after`), the bytes from 512
// (or from the first entry, where it is inside the table) to the first
// piece, the pieces, then `tail`
std::string laid(std::uint32_t first, const std::vector<std::string>& pieces, const std::string& tail,
                 const std::vector<std::uint32_t>& after = {});


// cutting -- bndsplit's line for piece k, written out here apart from the
// tools' own format
std::string cutting(int k, std::uint32_t start, std::uint32_t end);

// progress_for -- the lines bndsplit ("cutting") or bndjoin ("joining")
// prints for the first n of the pieces, laid end to end from offset 512
std::string progress_for(const std::vector<std::string>& pieces, std::size_t n, const char* verb);

// text_of -- n bytes of text-like lines that repeat in part, CR LF ended
std::string text_of(std::size_t n);

// random_bytes -- n bytes from a seeded generator
std::string random_bytes(std::size_t n, unsigned seed);

// Every file below a directory, each with its size and a hash of its
// bytes (a link with its target), so that a difference reads briefly.
using Snapshot = std::map<std::string, std::string>;

// snapshot -- what is below dir, directories left out
Snapshot snapshot(const fs::path& dir);
Snapshot snapshot(const MemFs& files, const std::string& dir);

// bytes_of -- a string's bytes as a span
std::span<const std::uint8_t> bytes_of(const std::string& s);

// file_names -- the names in a directory, sorted
std::vector<std::string> file_names(const fs::path& dir);

// A test that works in a fresh directory of its own, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // clear -- the directory emptied again
    void clear() const;
    fs::path dir;
};
