// The bundle a piece directory's pieces were first cut from, known by the
// split record's size and digest of it: the bundle a patch from the pieces
// is made against (bnddiff -d), and the one a patch is merged into them
// against (bndpatch -d).
#pragma once

#include <string>

#include "bundle_file.hpp"
#include "failure.hpp"
#include "platform.hpp"
#include "record.hpp"

// Where the original is looked for.
struct OriginalSearch {
    std::string bundle{};            // the bundle of the record's name; its .BAK where no file is given
    std::string given{};             // the file given as the original, where one is
    std::string dir{};               // the piece directory, as a refusal names it
    Why missing = Why::no_original;  // what a refusal says where the original is not there
};

// in_loop -- the bundle at path, open, and what it is to the record
Outcome in_loop(platform::FileSystem& fs, const std::string& path, const SplitRecord& rec, BundleFile& b, SourceIs& is);

// loop_refusal -- a bundle, or the file the original was looked for in,
// refused, naming the piece directory and the original's size
Failure loop_refusal(const std::string& file, Why why, const std::string& dir, const SplitRecord& rec);

// find_original -- the original, where the bundle itself is not the one
// to take: the file given, else BUNDLE.BAK, which the first join kept;
// `missing` where that file is not there or is not the original
Outcome find_original(platform::FileSystem& fs, const OriginalSearch& search, const SplitRecord& rec,
                      BundleFile& original);
