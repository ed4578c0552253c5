// Building a bundle again from a piece directory that holds a split
// record: every byte the record says of comes back as it was, and only
// what the user changed, and the offsets after it, moves.
#pragma once

#include <cstdint>
#include <string>

#include "failure.hpp"
#include "join.hpp"
#include "platform.hpp"
#include "record.hpp"

// plan_rebuild -- the bundle from the pieces in the request's directory
// and their record. Each listed piece is stored as the bundle held it
// where it is unchanged (by hash), taken from NNN.BAK or from the bundle
// it was cut from; an FLZ0 piece that changed is stored again as
// store_again says; a raw one is stored as it stands; a missing one comes
// from the bundle it was cut from where that still holds it, else is
// refused. The pieces after the last listed one are appended. Where the
// pieces are on a grid (see grid_of), a piece whose size changed is
// padded to keep every later one on it. The bundle that has the name is
// replaced only where it is one of the record's loop: the bundle first
// split (kept as BUNDLE.BAK, unless that is already there and the same)
// or one a join from here wrote; the record then says what this join
// wrote, before the bundle takes its name.
Outcome plan_rebuild(platform::FileSystem& fs, const JoinRequest& request, const SplitRecord& record, JoinPlan& join);

// The smallest grid a rebuild keeps pieces on, and the largest it finds.
inline constexpr std::uint32_t kMinGrid = 16;
inline constexpr std::uint32_t kMaxGrid = 1u << 20;

// grid_of -- the grid every listed piece starts on: the largest power of
// two (kMinGrid to kMaxGrid) that divides every start; 1 where there is none
std::uint32_t grid_of(const SplitRecord& record);

// padding_to_grid -- how many bytes a piece of `size` bytes at `start`
// needs after it to end on the grid; none where that would make it larger
// than a piece may be
std::size_t padding_to_grid(std::uint64_t start, std::uint64_t size, std::uint32_t grid);
