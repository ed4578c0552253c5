// Building a bundle again from a piece directory that holds a split
// record: every byte the record says of comes back as it was, and only
// what the user changed, and the offsets after it, moves.
#pragma once

#include <functional>
#include <string>

#include "failure.hpp"
#include "join.hpp"
#include "platform.hpp"
#include "record.hpp"

// rebuild_bundle -- bundle from the pieces in options.dir and their record.
// Each listed piece is stored as the bundle held it where it is unchanged
// (by hash), taken from NNN.BAK or from the bundle it was cut from; an
// FLZ0 piece that changed is compressed again, its bytes after the stream
// kept; a raw one is stored as it stands; a missing one comes from the
// bundle it was cut from where that still holds it, else is refused. The
// pieces after the last listed one are appended. The bundle that has the
// name is replaced only where it is the one the directory was cut from
// (kept as BUNDLE.BAK, unless that is already there and the same) or the
// one the last join wrote; the record then says what this join wrote.
Outcome rebuild_bundle(platform::FileSystem& fs, const std::string& bundle, const JoinOptions& options,
                       const SplitRecord& record, const std::function<Outcome(const Piece&)>& started, JoinSeen& seen);

// load_record -- the split record in dir, if it holds one
Outcome load_record(platform::FileSystem& fs, const std::string& dir, std::optional<SplitRecord>& record);
