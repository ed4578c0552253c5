// Applying a patch to a bundle, or taking it back out: every byte it
// changes checked before anything is written, every piece it makes
// checked against its hash, and the bundle replaced in one step.
#pragma once

#include <functional>
#include <string>

#include "failure.hpp"
#include "patch.hpp"
#include "platform.hpp"

struct ApplyOptions {
    bool reverse = false;  // take the patch back out: NEW to OLD
    std::string out;       // the new bundle's name; empty: the bundle's own
    std::string patch_path;  // where the patch came from, for the messages
};

// What an applied patch did to a piece: made it (its place in the new
// bundle), or removed it.
struct Patched {
    Piece place;
    bool removed = false;
};

// load_patch -- the patch in a file, checked whole
Outcome load_patch(platform::FileSystem& fs, const std::string& path, Patch& patch);

// apply_patch -- the patch applied to the bundle: where the bundle holds,
// in every piece the patch touches, what the patch was made from, the new
// bundle takes its name (or options.out); a bundle that holds what it
// makes is already_applied, any other wrong_bundle, and nothing is written
Outcome apply_patch(platform::FileSystem& fs, const std::string& bundle, const Patch& patch,
                    const ApplyOptions& options, const std::function<Outcome(const Patched&)>& patched);
