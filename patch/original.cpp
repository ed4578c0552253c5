#include "original.hpp"

#include "naming.hpp"

using platform::FileSystem;

Outcome in_loop(FileSystem& fs, const std::string& path, const SplitRecord& rec, BundleFile& b, SourceIs& is)
{
    if (Outcome f = open_bundle(fs, path, platform::Links::follow, b))
        return f;
    Identity id;
    std::vector<PartDigest> parts;
    return identify_bundle(b, rec, is, id, parts);
}

Failure loop_refusal(const std::string& file, Why why, const std::string& dir, const SplitRecord& rec)
{
    Failure f = named_failure(Fault::wrong_bundle, file, why, dir);
    f.detail.size = rec.first().size;
    return f;
}

Outcome find_original(FileSystem& fs, const OriginalSearch& search, const SplitRecord& rec, BundleFile& original)
{
    const std::string path = search.given.empty() ? search.bundle + kBackupSuffix : search.given;
    const Failure none = loop_refusal(path, search.missing, search.dir, rec);
    if (search.given.empty()) {  // a backup not there is looked for, not read
        platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
        if (there.error)
            return system_failure(Fault::cannot_open, path, there.error);
        if (there.value.kind == platform::Kind::none)
            return none;
    }
    SourceIs is = SourceIs::unknown;
    if (Outcome f = in_loop(fs, path, rec, original, is))
        return f;
    if (is != SourceIs::original)
        return none;
    return {};
}
