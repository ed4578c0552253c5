// Making a patch: the pieces two bundles hold, compared a piece at a time.
#pragma once

#include <cstdint>
#include <string>

#include "failure.hpp"
#include "files.hpp"
#include "patch.hpp"
#include "plan.hpp"
#include "platform.hpp"

// What a patch holds of the way back, from NEW to OLD.
enum class WayBack {
    rebuilt,  // all but the stored bytes of OLD's FLZ0 pieces no known encoder gives back from their content
    carried,  // all: a patch that travels without the bundle it was applied to
    none,     // nothing: bndpatch -R takes every piece back from that bundle
};

// diff_bundles -- the patch that turns bundle `a` into bundle `b`: an
// entry for each piece whose stored bytes differ, or that one of them
// lacks, and one for the frame where the layout a join keeps does not
// give either one's frame from the other's, with a mark of each of a's
// pieces; no_change where the two are the same.
Outcome diff_bundles(ByteSource& a, ByteSource& b, Patch& patch, WayBack way_back = WayBack::rebuilt);

struct DiffRequest {
    std::string old_bundle{};
    std::string new_bundle{};  // or, where `dir` is given, none:
    std::string dir{};         // the bundle a join would build from this piece directory over OLD
    std::string original{};    // with dir: the bundle the pieces were first cut from, where given
    std::string patch{};       // where the patch goes
    WayBack way_back = WayBack::rebuilt;
};

// A patch made, and the plan that writes it.
struct DiffPlan {
    Plan plan;
    Patch patch;
    std::uint64_t size = 0;  // of the patch's bytes
};

// make_patch -- the patch from OLD to NEW, as plan_diff makes it, with
// no plan to write it
Outcome make_patch(platform::FileSystem& fs, const DiffRequest& request, Patch& patch);

// plan_diff -- the patch from OLD to NEW, and the plan that writes it: an
// existing file of the patch's name is replaced only where it is a patch
// itself. With a piece directory, NEW is the bundle a rebuild from it and
// its split record would build over OLD (planned and never written), and
// the patch is made from the bundle the pieces were first cut from, so
// that it holds every edit since, whatever joins came between: the
// `original` file where given, else OLD, else OLD.BAK. OLD must be that
// bundle or one a join from the directory wrote (not_of_these_pieces),
// and the original found where it looked (no_original).
Outcome plan_diff(platform::FileSystem& fs, const DiffRequest& request, DiffPlan& diff);

// plan_patch_file -- a patch's bytes written under its name: an existing
// file of that name replaced only where it is a patch itself (old_patch)
Outcome plan_patch_file(platform::FileSystem& fs, const std::string& path, Bytes bytes, Plan& plan);

// old_patch -- what becomes of a file that has a patch's name: a patch is
// replaced; anything else is refused
Outcome old_patch(platform::FileSystem& fs, const std::string& path, OldFile& old);
