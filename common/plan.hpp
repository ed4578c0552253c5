// A plan, then its commit: the one way every operation writes.
//
// An operation (a split, a join, a patch applied, a file decoded in
// place) first makes a plan with reads alone: each file it will write,
// and where each of that file's bytes comes from (a range of an input
// file, or bytes the plan holds: a table, a compressed piece, a record),
// checked in full. Nothing is written while a plan is made, so a plan is
// also a dry run, and what a program shows before it acts. The commit
// then takes the plan's steps in order, writing every file through
// Output, and tells what each step tells as data (Event), which only the
// programs turn into text. An input is opened again by the commit and
// refused where it is no longer the file the plan read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "failure.hpp"
#include "output.hpp"
#include "platform.hpp"
#include "sha256.hpp"

// What a run tells as it goes.
enum class Tell {
    cutting,   // a piece about to be cut: `piece`, `start`, `end`
    joining,   // a piece about to be written into a bundle: the same
    patching,  // a piece a patch makes: the same
    patching_file,  // a piece file a patch changes: `name`, and `piece`
    removing,  // a file about to be removed: `name` (and `piece` where it is one)
    sizes,     // an FLZ0 file's header: compressed size `first`, original size `second`
    packed,    // a file compressed: original size `first`, stream size `second`
    failed,    // a failure told as it comes, after which the run goes on
};

struct Event {
    Tell what;
    int piece = kNoPiece;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    std::string name{};
    std::optional<Failure> failure{};
};

// Who is told: a failure it gives back ends the run (standard output lost).
using Observer = std::function<Outcome(const Event&)>;

using HeldBytes = std::shared_ptr<const Bytes>;

// held -- bytes a plan holds
inline HeldBytes held(Bytes bytes)
{
    return std::make_shared<const Bytes>(std::move(bytes));
}

inline constexpr int kNoInput = -1;

// An input file, as the plan read it.
struct PlannedInput {
    std::string path{};
    platform::Links links = platform::Links::refuse;
    std::uint64_t size = 0;
    platform::FileId id{};
};

// Some of an output's bytes: `size` bytes of an input from `offset`, or
// the bytes `held`; what is told before they are written. A part of an
// input may have its SHA-256 taken as it is copied, into one of the
// plan's digests (`digest`): it is then read whole (a piece, not a
// whole file).
struct Part {
    int input = kNoInput;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    HeldBytes bytes{};
    std::vector<Event> told{};
    int digest = -1;

    std::uint64_t length() const { return input != kNoInput ? size : bytes ? bytes->size() : 0; }
};

// A file the plan writes: its name, what becomes of the file that has the
// name, its bytes, and the checks made before it takes the name.
struct PlannedOutput {
    std::string path{};
    OldFile old = OldFile::must_not_exist;
    Durability durability = Durability::durable;
    int attributes_of = kNoInput;   // the input whose permission bits it takes
    std::vector<Part> parts{};
    std::optional<Digest> digest{};  // the SHA-256 its bytes must have ...
    std::optional<Failure> wrong{};   // ... else this failure, and it never takes the name
    bool fails_as_write = false;    // a name it cannot take is write_failed too (bndsplit's one message)
    // Where set, its bytes are made when it is written, from the digests
    // the commit has taken by then (a split's record), in place of parts.
    std::function<Bytes(std::span<const Digest>)> made{};

    std::uint64_t size() const;
};

// What a step does.
enum class Do {
    make_dir,        // make the directory `path`, or take the one there
    write,           // write output `output` under its temporary name
    name,            // give a written output its name
    write_and_name,  // both
    finish,          // sync a written output and close it, before any output takes its name
    keep,            // the same, and leave it under its temporary name for a journal to name (journal.hpp)
    remove,          // remove `path` where it is a regular file, after telling
    restore_backup,  // `path`.BAK takes the name `path` back (see restore_backup)
    close_inputs,    // close every input: a file open cannot be renamed on every system
    tell,            // nothing but what it tells
};

struct Step {
    Do what;
    int output = -1;
    std::string path{};
    std::vector<Event> told{};  // before the step is taken
};

struct Plan {
    std::vector<PlannedInput> inputs;
    std::vector<PlannedOutput> outputs;
    std::vector<Step> steps;
    // Why the plan cannot be committed, found where the plan could still
    // be made (a backup's name taken): a dry run shows it all the same,
    // and a commit refuses it before its first step.
    std::optional<Failure> blocked;
    // How many digests the commit takes of the parts it copies, and who is
    // shown each such part's bytes as it copies them, before its digest is
    // taken (a split's record, which notes what each piece is).
    std::size_t digests = 0;
    // Whether the plan writes a folder's journal itself: any other plan is
    // refused where a journal is left in a folder it writes in.
    bool journaled = false;
    std::function<void(std::size_t digest, std::span<const std::uint8_t> bytes)> seen{};

    // add_input -- an input the plan read; its number
    int add_input(PlannedInput input);
    // add_output -- an output; its number
    int add_output(PlannedOutput output);
    // then -- a step after the others
    void then(Step step) { steps.push_back(std::move(step)); }
};

// input_of -- an input as the plan reads it: its name, links rule, size
// and identity, from the open file
PlannedInput input_of(const std::string& path, platform::Links links, const platform::FileInfo& info);

// commit -- the plan's steps in order (none where it is blocked); a failure ends them, every output
// not yet named is discarded (its temporary removed), and the names given
// so far stay given
Outcome commit(platform::FileSystem& fs, const Plan& plan, const Observer& observer);

// tell_all -- events told in order; the first failure the observer gives
Outcome tell_all(const std::vector<Event>& events, const Observer& observer);

// A planned output read as the commit would write it, with nothing
// written: its parts' bytes from the plan's inputs and from what it holds.
class PlannedBytes final : public ByteSource {
public:
    PlannedBytes(platform::FileSystem& fs, const Plan& plan, int output);
    const std::string& name() const override;
    std::uint64_t size() const override { return size_; }
    Outcome read(std::uint64_t at, std::span<std::uint8_t> out) override;

private:
    platform::FileSystem& fs_;
    const Plan& plan_;
    const PlannedOutput& output_;
    std::uint64_t size_;
    std::vector<std::unique_ptr<InputFile>> inputs_;  // opened as they are first read
};
