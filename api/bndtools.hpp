// The one face of the tools' core: a program makes a plan through it,
// shows it, and commits it. Nothing behind it writes a byte, prints a
// line or exits: every failure and every step told comes back as data
// (failure.hpp: a Fault and the fields of its Detail; plan.hpp: each
// Event), which the program renders as it likes. The six programs are
// clients of this header like any other.
//
//   plan_split     bndsplit: a bundle cut into piece files (look_at_bundle: -l)
//   plan_join      bndjoin: a bundle built from its pieces, from the split
//                  record where there is one
//   plan_diff      bnddiff: a patch from one bundle (or a piece directory) to another
//   plan_kit       bnddiff --kit: a patch in a zip with what applies it (make_patch,
//                  make_folder_patch: the patch alone)
//   plan_apply     bndpatch: a patch applied, or taken back out (load_patch: -l;
//                  plan_apply_to_pieces: -d, into a piece directory)
//   plan_decode    varnix: an FLZ0 file decoded in place (decode_file: in memory)
//   plan_pack      flz0pack: a file compressed in place (pack_file: in memory)
//   show           what a plan's commit would tell, with nothing written
//   commit         a plan carried out
#pragma once

#include "apply.hpp"
#include "apply_dir.hpp"
#include "bundle.hpp"
#include "count.hpp"
#include "diff.hpp"
#include "dropped.hpp"
#include "failure.hpp"
#include "file_plans.hpp"
#include "folder.hpp"
#include "folder_apply.hpp"
#include "folder_diff.hpp"
#include "join.hpp"
#include "kit.hpp"
#include "naming.hpp"
#include "patch.hpp"
#include "piece_kind.hpp"
#include "plan.hpp"
#include "rebuild.hpp"
#include "split.hpp"

// show -- every event a commit of the plan would tell, in its order,
// taking no step: a dry run
Outcome show(const Plan& plan, const Observer& observer);
