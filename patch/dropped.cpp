#include "dropped.hpp"

#include <algorithm>

#include "apply.hpp"
#include "files.hpp"
#include "folder.hpp"
#include "patch.hpp"

namespace {

using platform::FileSystem;

// sides_of -- the two whole bundles a patch is between, as sides
bool either_side(const Patch& p, const Side& s)
{
    const auto is = [&](const BundleId& id) { return s.present && s.size == id.size && s.hash == id.hash; };
    return is(p.old_bundle) || is(p.new_bundle);
}

// in_folder -- the bundle of a patch among a folder's files, where one is
Outcome in_folder(FileSystem& fs, const Patch& p, const std::string& dir, std::string& target)
{
    platform::Result<std::vector<std::string>> names = fs.list_dir(dir);
    if (names.error)
        return {};  // a folder that cannot be listed holds nothing found
    std::sort(names.value.begin(), names.value.end());
    for (const std::string& name : names.value) {
        const std::string path = dir == "." ? name : in_dir(dir, name);
        platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
        if (there.error || there.value.kind != platform::Kind::regular ||
            (there.value.size != p.old_bundle.size && there.value.size != p.new_bundle.size))
            continue;
        Side side;
        if (!side_of_file(fs, path, Fault::cannot_open, side) && either_side(p, side)) {
            target = path;
            return {};
        }
    }
    return {};
}

}  // namespace

bool is_patch(FileSystem& fs, const std::string& path)
{
    InputFile in(fs, path, platform::Links::follow);
    Bytes magic(kPatchMagic.size());
    return !in.error() && !read_exact(in, 0, magic) && std::equal(magic.begin(), magic.end(), kPatchMagic.begin());
}

Outcome target_of(FileSystem& fs, const std::string& patch_path, std::span<const std::string> dirs, std::string& target)
{
    target.clear();
    Patch patch;
    Outcome loaded = load_patch(fs, patch_path, patch);
    if (loaded && loaded->detail.why == Why::folder_patch) {
        target = platform::parent_dir(patch_path);
        return {};
    }
    if (loaded)
        return loaded;
    std::vector<std::string> looked{platform::parent_dir(patch_path)};
    looked.insert(looked.end(), dirs.begin(), dirs.end());
    for (const std::string& dir : looked)
        if (Outcome f = in_folder(fs, patch, dir, target); f || !target.empty())
            return f;
    return tool_failure(Fault::cannot_open, patch_path, Why::no_target, patch.old_bundle.size);
}
