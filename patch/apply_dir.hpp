// Patches applied to a piece directory in the bundle's place (bndpatch
// -d): a colleague's patch, made against the original bundle, merged into
// the pieces a translator is editing, so that the next join carries both.
#pragma once

#include <span>
#include <vector>

#include "apply.hpp"
#include "failure.hpp"
#include "plan.hpp"
#include "platform.hpp"

// plan_apply_to_pieces -- the plan that merges the patches (request.reverse:
// takes them back out) into the piece files of request.dir, all or none.
// The directory's split record names the bundle beside it; the original
// the pieces were first cut from is that bundle where it is the original,
// else its .BAK (no_original_to_merge). For each piece the patches change,
// the original's piece is the base each change must be made from
// (wrong_bundle, naming it), and each change of its content is merged in
// turn into the piece file's content: the file itself where the split
// wrote the piece decoded, else the content of its stored bytes. Each file
// whose content changes is replaced in the form it had (Tell::patching_file
// as it is written); every overlap is added to `overlaps` (Why::overlapping,
// naming the piece file) and nothing is planned; where no file changes,
// already_applied. A patch that adds or removes pieces, or changes the
// table, is not_combinable. Nothing else in the directory, nor the bundle,
// is touched.
Outcome plan_apply_to_pieces(platform::FileSystem& fs, const ApplyRequest& request, std::span<const NamedPatch> patches,
                             Plan& plan, std::vector<Failure>& overlaps);
