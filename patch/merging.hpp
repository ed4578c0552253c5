// Patches merged into one piece, as bndpatch does for a bundle and for a
// piece directory: each one's change of the piece's content, since the
// bundle they were all made from, merged in turn into what the piece
// holds now.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "apply.hpp"
#include "failure.hpp"
#include "files.hpp"
#include "patch.hpp"

// entry_piece -- an entry's piece as a failure names it
int entry_piece(const Entry& e);

// One patch's change of one piece.
struct Contribution {
    const NamedPatch* from = nullptr;
    const Entry* entry = nullptr;
};

// The pieces the patches change, each with the changes of it in the
// patches' order.
using Changes = std::map<std::uint32_t, std::vector<Contribution>>;

// same_compressor -- other_compressor for the first patch whose FLZ0
// pieces another compressor than this one makes: merged content is
// stored again by this one
Outcome same_compressor(std::span<const NamedPatch> patches);

// changes_of -- each piece's changes; not_combinable where a patch adds or
// removes a piece or changes the table
Outcome changes_of(std::span<const NamedPatch> patches, Changes& changes);

// merge_changes -- each change of piece k merged in turn into `merged`,
// the piece's content as it stands: what it changes of `original` (the
// piece as the patches' bundle held it), or with `reverse` what it takes
// back. Each overlap is added to `overlaps`, the first change's naming
// `holder` (what holds the piece now), a later one's the change before
// it. `made` gets each change's stored bytes, for stored_again.
Outcome merge_changes(std::uint32_t k, const std::vector<Contribution>& changes, std::span<const std::uint8_t> original,
                      bool reverse, const std::string& holder, Bytes& merged, std::vector<Bytes>& made,
                      std::vector<Failure>& overlaps);

// stored_again -- what is stored for merged content in the place of `now`:
// a change's own bytes where they hold it, else `now`'s form: an FLZ0
// file compressed as flz0pack does with the bytes after its stream, or the
// content itself
Outcome stored_again(const std::string& name, std::span<const std::uint8_t> now, const Bytes& merged,
                     const std::vector<Bytes>& made, Bytes& out);
