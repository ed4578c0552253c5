// What the programs say, made from the core's data: failures and progress
// (failure.hpp, plan.hpp), what a piece is, what a join makes of it and
// what a patch holds, each turned into the texts of messages.hpp. The
// core says none of it: a page or a window would render the same data
// its own way.
#pragma once

#include <string>

#include "bndtools.hpp"
#include "messages.hpp"

// What the user is told of a fault.
struct FaultReport {
    const msg::Text* text;
    int status;
};

// report_of -- the message and exit status of a fault
FaultReport report_of(Fault fault);

// error_words -- a system error in English: the system's own text, or
// the platform layer's for its own codes
std::string error_words(platform::SysError e);

// reason_text -- what a detail line says of a failure, after its file
std::string reason_text(const Detail& detail);

// piece_line -- a line about a piece, from a format with the piece's file
// name, start and end offsets
std::string piece_line(const char* format, int index, std::uint64_t start, std::uint64_t end);

// with_words -- a line with words after it, before its line end
std::string with_words(std::string line, const std::string& words);

// event_line -- the line an event of a commit is told in (cutting,
// joining, patching, patching_file, removing, sizes, packed)
std::string event_line(const Event& e);

// kind_words -- what bndsplit -l says a piece is
std::string kind_words(const PieceKind& kind);

// fate_words -- what a join makes of a piece, in words
std::string fate_words(const PieceFate& fate);

// why_it_ended -- why a bundle's list of pieces ended, in words
std::string why_it_ended(const PieceList& list);

// why_not_kept -- why an old bundle's layout was not kept, in words
std::string why_not_kept(const Layout& layout);

// describe_patch -- what a patch holds: both bundles, then a line for each entry
std::string describe_patch(const Patch& patch);

// describe_verdict -- what a dry run found of a patch on a bundle: each
// piece that is not what the patch is applied to, each untouched one that
// differs from its original, and whether it applies (taken back: `reverse`)
std::string describe_verdict(const std::string& bundle, const Verdict& v, bool reverse);

// describe_folder_patch -- what a folder patch holds: a line for each file
std::string describe_folder_patch(const FolderPatch& patch);

// describe_folder_verdict -- what a look at a folder found of folder
// patches: each file they touch, whether it applies, is already as they
// make it, or is wrong and why; then, where all apply, the disk space the
// commit takes
std::string describe_folder_verdict(const std::string& folder, const FolderApply& apply, const Outcome& outcome,
                                    bool reverse);

// kit_texts -- a kit's README.txt, apply.bat and apply.sh, for the patch
// of a bundle named `bundle`, which the kit holds as patch_name
KitTexts kit_texts(const std::string& patch_name, const std::string& bundle, const Patch& patch);

// folder_kit_texts -- the same for a folder patch
KitTexts folder_kit_texts(const std::string& patch_name, const FolderPatch& patch);
