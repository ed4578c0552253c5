// Making a patch: the pieces two bundles hold, compared a piece at a time.
#pragma once

#include <string>

#include "failure.hpp"
#include "patch.hpp"
#include "platform.hpp"

// diff_bundles -- the patch that turns the bundle at old_path into the one
// at new_path: an entry for each piece whose stored bytes differ, or that
// one of them lacks, and one for the frame where the layout a join keeps
// does not give either one's frame from the other's; no_change where the
// two are the same. Made one way, it holds no way back from NEW to OLD.
Outcome diff_bundles(platform::FileSystem& fs, const std::string& old_path, const std::string& new_path, Patch& patch,
                     bool one_way = false);
