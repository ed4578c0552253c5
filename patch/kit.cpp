#include "kit.hpp"

#include "files.hpp"
#include "folder.hpp"
#include "zip.hpp"

namespace {

using platform::FileSystem;

Bytes bytes_of_text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

const char* name_of(KitFile which)
{
    return kKitFileNames[static_cast<std::size_t>(which)];
}

// find_folder -- the kit folder: the one given, else the first of the
// program's that is a folder
Outcome find_folder(FileSystem& fs, const KitRequest& rq, std::string& folder)
{
    if (!rq.files.empty()) {
        platform::Result<platform::FileInfo> there = fs.look(rq.files, platform::Links::follow);
        if (there.error)
            return system_failure(Fault::cannot_open, rq.files, there.error);
        if (there.value.kind != platform::Kind::directory)
            return system_failure(Fault::cannot_open, rq.files,
                                  there.value.kind == platform::Kind::none ? platform::nothing_there()
                                                                           : platform::not_a_directory());
        folder = rq.files;
        return {};
    }
    if (rq.program_dir.empty())
        return tool_failure(Fault::cannot_open, rq.kit, Why::kit_folder_unknown);
    const std::vector<std::string> folders = kit_folders(rq.program_dir);
    for (const std::string& f : folders) {
        platform::Result<platform::FileInfo> there = fs.look(f, platform::Links::follow);
        if (there.error)
            return system_failure(Fault::cannot_open, f, there.error);
        if (there.value.kind == platform::Kind::directory) {
            folder = f;
            return {};
        }
    }
    return named_failure(Fault::cannot_open, folders[0], Why::no_kit_folder, folders[1]);
}

// read_kit_file -- one file of the kit folder, whole
Outcome read_kit_file(FileSystem& fs, const std::string& folder, KitFile which, Bytes& bytes)
{
    const std::string path = in_dir(folder, name_of(which));
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind == platform::Kind::none)
        return tool_failure(Fault::cannot_open, path, Why::no_kit_file, static_cast<std::uint64_t>(which));
    return read_whole(fs, path, platform::Links::follow, Fault::cannot_open, bytes);
}

// old_kit -- what becomes of a file that has the kit's name: a kit is
// replaced; anything else is refused
Outcome old_kit(FileSystem& fs, const std::string& path, OldFile& old)
{
    const auto a_kit = [](const InputFile& in, std::uint64_t size) {
        Bytes tail(kZipEndRecord + kKitMark.size());
        return size >= tail.size() && !read_exact(in, size - tail.size(), tail) && zip_has_comment(tail, kKitMark);
    };
    return replaceable(fs, path, a_kit, Why::not_a_kit_to_replace, old);
}

}  // namespace

std::vector<std::string> kit_folders(const std::string& program_dir)
{
    return {in_dir(program_dir, kBesideProgram), in_dir(platform::parent_dir(program_dir), kInstalled)};
}

Outcome gather_kit(FileSystem& fs, const KitRequest& rq, KitFiles& files)
{
    if (PathProblem problem = path_problem(rq.patch_name); problem != PathProblem::none) {
        Failure f = named_failure(Fault::cannot_open, rq.kit, Why::unsafe_kit_name, rq.patch_name);
        f.detail.size = static_cast<std::uint64_t>(problem);
        return f;
    }
    if (Outcome f = old_kit(fs, rq.kit, files.old))
        return f;
    if (Outcome f = find_folder(fs, rq, files.folder))
        return f;
    for (std::size_t k = 0; k < files.files.size(); ++k) {
        Bytes bytes;
        if (Outcome f = read_kit_file(fs, files.folder, static_cast<KitFile>(k), bytes))
            return f;
        files.files[k] = held(std::move(bytes));
    }
    return {};
}

Outcome plan_kit(const KitRequest& rq, const KitFiles& files, HeldBytes patch, const KitTexts& texts, KitPlan& kit)
{
    const auto file = [&](KitFile which) { return files.files[static_cast<std::size_t>(which)]; };
    const struct {
        std::string name;
        HeldBytes bytes;
        ZipMode mode;
    } held_entries[] = {
        {kKitReadme, held(bytes_of_text(texts.readme)), ZipMode::file},
        {rq.patch_name, std::move(patch), ZipMode::file},
        {name_of(KitFile::page), file(KitFile::page), ZipMode::file},
        {kKitApplyBat, held(bytes_of_text(texts.apply_bat)), ZipMode::file},
        {kKitApplySh, held(bytes_of_text(texts.apply_sh)), ZipMode::program},
        {name_of(KitFile::x64), file(KitFile::x64), ZipMode::file},
        {name_of(KitFile::x86), file(KitFile::x86), ZipMode::file},
    };
    std::vector<ZipEntry> entries;
    std::uint64_t total = 0;
    for (const auto& e : held_entries) {
        entries.push_back(ZipEntry{e.name, *e.bytes, e.mode});
        total += e.bytes->size();
    }
    const std::optional<ZipFrame> frame = zip_frame(entries, kKitMark);
    if (!frame)
        return tool_failure(Fault::too_large, rq.kit, Why::kit_too_large, total, kZipMaxBytes);
    PlannedOutput out{.path = rq.kit, .old = files.old, .durability = Durability::durable};
    for (std::size_t k = 0; k < entries.size(); ++k) {
        out.parts.push_back(Part{.bytes = held(frame->headers[k])});
        out.parts.push_back(Part{.bytes = held_entries[k].bytes});
    }
    out.parts.push_back(Part{.bytes = held(frame->directory)});
    kit.size = out.size();
    kit.plan.then(Step{.what = Do::write_and_name, .output = kit.plan.add_output(std::move(out))});
    return {};
}
