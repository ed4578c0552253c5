#include "folder_apply.hpp"

#include <algorithm>
#include <map>
#include <set>

#include "apply.hpp"
#include "delta.hpp"
#include "folder_diff.hpp"
#include "output.hpp"

namespace {

using platform::FileSystem;

// One patch's change of one file.
struct Touch {
    const NamedFolderPatch* from = nullptr;
    const FileChange* change = nullptr;
};

// A folder apply being planned.
struct Planning {
    FileSystem& fs;
    const FolderRequest& rq;
    FolderApply& out;
    std::vector<Failure>& wrong;
    Journal journal{};
    std::vector<int> outputs{};  // each new file's output, in the journal's order
};

Side from_side(const FolderRequest& rq, const FileChange& c)
{
    return rq.reverse ? c.new_side : c.old_side;
}

Side to_side(const FolderRequest& rq, const FileChange& c)
{
    return rq.reverse ? c.old_side : c.new_side;
}

// no_link_on_the_way -- a path whose every name below the folder is a
// directory or, the last, a regular file or nothing: where a symbolic link
// leads can change between this look and the write, so none is passed
Outcome no_link_on_the_way(FileSystem& fs, const std::string& folder, const std::string& path)
{
    for (std::size_t end = path.find('/');; end = path.find('/', end + 1)) {
        const std::string at = in_dir(folder, path.substr(0, end));
        platform::Result<platform::FileInfo> there = fs.look(at, platform::Links::refuse);
        if (there.error)
            return system_failure(Fault::cannot_open, at, there.error);
        const bool last = end == std::string::npos;
        if (there.value.kind == platform::Kind::none)
            return {};
        if (there.value.kind == platform::Kind::other || (last && there.value.kind == platform::Kind::directory) ||
            (!last && there.value.kind != platform::Kind::directory))
            return named_failure(Fault::bad_patch, folder, Why::through_link, path);
        if (last)
            return {};
    }
}

// rule_for -- what becomes of the file a new one replaces: kept once as
// FILE.BAK, where none is there
Outcome rule_for(FileSystem& fs, const std::string& path, bool present, bool in_place, OldFile& old)
{
    old = OldFile::must_not_exist;
    if (!present || !in_place)
        return {};
    return backup_rule(fs, path, old);
}

// where -- the name a file of the folder takes in the result
std::string where(const Planning& p, const std::string& path)
{
    return in_dir(p.out.target, path);
}

// add_new -- a new file the commit writes and the journal names
void add_new(Planning& p, const std::string& path, PlannedOutput out, const Side& to)
{
    out.durability = Durability::durable;
    p.outputs.push_back(p.out.plan.add_output(std::move(out)));
    p.journal.entries.push_back(JournalEntry{.path = path, .old = p.out.plan.outputs.back().old, .size = to.size, .hash = to.hash});
}

// copy_whole -- a file the result holds as the folder does (-o)
Outcome copy_whole(Planning& p, const std::string& path)
{
    const std::string from = in_dir(p.rq.folder, path);
    InputFile in(p.fs, from, platform::Links::refuse);
    platform::FileInfo info;
    if (Outcome f = opened(in, Fault::cannot_open, info))
        return f;
    Side side;
    if (Outcome f = side_of_file(p.fs, from, Fault::cannot_open, side))
        return f;
    const int k = p.out.plan.add_input(input_of(from, platform::Links::refuse, info));
    PlannedOutput out{.path = where(p, path), .attributes_of = k};
    out.parts.push_back(Part{.input = k, .size = info.size});
    out.digest = side.hash;
    add_new(p, path, std::move(out), side);
    return {};
}

// wrong_file -- a file that holds neither side of a change
Failure wrong_file(const std::string& full, const std::string& path, const Side& expected, const Side& found)
{
    Failure f = named_failure(Fault::wrong_bundle, full, Why::wrong_file, path);
    f.detail.expected = expected;
    f.detail.found = found;
    return f;
}

// made_bytes -- what a loose file's change makes of what it holds now:
// taken back from FILE.BAK where the patch holds no way back
Outcome made_bytes(FileSystem& fs, const FolderRequest& rq, const std::string& full, const Touch& t, const Side& now,
                   Bytes& made)
{
    const FileChange& c = *t.change;
    const Side to = to_side(rq, c);
    if (rq.reverse && !c.back) {
        Side kept;
        if (Outcome f = side_of_file(fs, full + kBackupSuffix, Fault::cannot_open, kept))
            return f;
        if (kept != to)
            return named_failure(Fault::bad_patch, t.from->path, Why::no_way_back, full + kBackupSuffix);
        return read_whole(fs, full + kBackupSuffix, platform::Links::refuse, Fault::cannot_open, made);
    }
    Bytes source;
    if (now.present)
        if (Outcome f = read_whole(fs, full, platform::Links::refuse, Fault::cannot_open, source))
            return f;
    const Bytes& delta = rq.reverse ? *c.back : c.forward;
    if (apply_delta(source, delta, static_cast<std::size_t>(to.size), made) != DeltaStatus::ok || side_of(made) != to)
        return named_failure(Fault::bad_patch, t.from->path, Why::result_not_as_recorded, c.path);
    return {};
}

// plan_bytes -- a loose file's change planned: its new bytes held, or its leaving
Outcome plan_bytes(Planning& p, const Touch& t, FileVerdict& v)
{
    const FileChange& c = *t.change;
    const std::string full = in_dir(p.rq.folder, c.path);
    Side now;
    if (Outcome f = side_of_file(p.fs, full, Fault::cannot_open, now))
        return f;
    const Side to = to_side(p.rq, c);
    if (now == to) {
        v.state = FileState::already;
        return {};
    }
    if (now != from_side(p.rq, c)) {
        v.state = FileState::wrong;
        v.why = wrong_file(full, c.path, from_side(p.rq, c), now);
        return {};
    }
    const bool in_place = p.rq.out_dir.empty();
    if (!to.present) {
        if (!in_place)
            return {};
        OldFile old;
        if (Outcome f = rule_for(p.fs, full, true, true, old))
            return f;
        p.journal.entries.push_back(JournalEntry{.path = c.path, .leaves = true, .old = old});
        return {};
    }
    Bytes made;
    if (Outcome f = made_bytes(p.fs, p.rq, full, t, now, made))
        return f;
    PlannedOutput out{.path = where(p, c.path)};
    if (Outcome f = rule_for(p.fs, full, now.present, in_place, out.old))
        return f;
    out.parts.push_back(Part{.bytes = held(std::move(made))});
    out.digest = to.hash;
    out.wrong = named_failure(Fault::bad_patch, t.from->path, Why::result_not_as_recorded, c.path);
    add_new(p, c.path, std::move(out), to);
    return {};
}

// splice -- a bundle's plan made part of the folder's: its inputs and its
// one output, and nothing of its steps
void splice(Planning& p, Plan& sub, const std::string& path, const Side& to)
{
    const int base = static_cast<int>(p.out.plan.inputs.size());
    for (PlannedInput& in : sub.inputs)
        p.out.plan.add_input(std::move(in));
    for (PlannedOutput& out : sub.outputs) {
        for (Part& part : out.parts) {
            if (part.input != kNoInput)
                part.input += base;
            part.told.clear();  // each file is told as it takes its name
        }
        if (out.attributes_of != kNoInput)
            out.attributes_of += base;
        add_new(p, path, std::move(out), to);
    }
}

// planned_side -- the size and SHA-256 of the bundle a plan writes, read
// as it would write it, a block at a time
Outcome planned_side(FileSystem& fs, const Plan& sub, Side& side)
{
    PlannedBytes made(fs, sub, 0);
    Sha256 sum;
    Bytes block;
    for (std::uint64_t at = 0; at < made.size(); at += block.size()) {
        block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, made.size() - at)));
        if (Outcome f = made.read(at, block))
            return f;
        sum.update(block);
    }
    side = Side{.present = true, .size = made.size(), .hash = sum.finish()};
    return {};
}

// plan_bundle -- a bundle's changes planned by the bundle patches' own rules
Outcome plan_bundle(Planning& p, const std::vector<Touch>& touches, FileVerdict& v)
{
    const FileChange& c = *touches.front().change;
    const std::string full = in_dir(p.rq.folder, c.path);
    const ApplyRequest a{.bundle = full,
                         .patch = touches.front().from->path,
                         .reverse = p.rq.reverse,
                         .out = p.rq.out_dir.empty() ? std::string() : where(p, c.path)};
    std::vector<NamedPatch> patches;
    for (const Touch& t : touches)
        patches.push_back(NamedPatch{.path = t.from->path, .patch = t.change->bundle});
    Plan sub;
    std::vector<Failure> overlaps;
    Outcome f = plan_apply_all(p.fs, a, patches, sub, overlaps);
    for (Failure& o : overlaps)
        p.wrong.push_back(std::move(o));
    if (f && f->fault == Fault::already_applied) {
        v.state = FileState::already;
        return {};
    }
    if (f && (f->fault == Fault::wrong_bundle || f->detail.why == Why::overlapping)) {
        v.state = FileState::wrong;
        v.why = std::move(f);
        return {};
    }
    if (f)
        return f;
    // Several patches merged make a bundle no one of them records.
    if (touches.size() > 1)
        sub.outputs.front().digest.reset();
    Side to = to_side(p.rq, c);
    if (touches.size() > 1)
        if (Outcome g = planned_side(p.fs, sub, to))
            return g;
    splice(p, sub, c.path, to);
    return {};
}

// alike -- whether several patches make one loose file alike from the same bytes
bool alike(const FolderRequest& rq, const std::vector<Touch>& touches)
{
    for (const Touch& t : touches)
        if (t.change->how != FileHow::bytes || from_side(rq, *t.change) != from_side(rq, *touches.front().change) ||
            to_side(rq, *t.change) != to_side(rq, *touches.front().change))
            return false;
    return true;
}

// plan_file -- one file's changes planned; its verdict added
Outcome plan_file(Planning& p, const std::vector<Touch>& touches)
{
    const FileChange& c = *touches.front().change;
    FileVerdict v{.path = c.path};
    if (Outcome f = no_link_on_the_way(p.fs, p.rq.folder, c.path))
        return f;
    const bool bundles = std::all_of(touches.begin(), touches.end(),
                                     [](const Touch& t) { return t.change->how == FileHow::bundle; });
    if (touches.size() > 1 && !bundles && !alike(p.rq, touches)) {
        v.state = FileState::wrong;
        v.why = named_failure(Fault::bad_patch, touches[1].from->path, Why::file_twice, touches.front().from->path);
        v.why->detail.file = in_dir(p.rq.folder, c.path);
    } else if (Outcome f = bundles ? plan_bundle(p, touches, v) : plan_bytes(p, touches.front(), v)) {
        return f;
    }
    if (v.why)
        p.wrong.push_back(*v.why);
    if (v.state == FileState::already && !p.rq.out_dir.empty() && to_side(p.rq, c).present)
        if (Outcome f = copy_whole(p, c.path))
            return f;
    p.out.files.push_back(std::move(v));
    return {};
}

// copy_untouched -- every file no patch touches, into the new folder (-o)
Outcome copy_untouched(Planning& p, const std::map<std::string, std::vector<Touch>>& touched)
{
    std::vector<std::string> paths;
    if (Outcome f = folder_files(p.fs, p.rq.folder, paths))
        return f;
    for (const std::string& path : paths)
        if (!touched.count(path))
            if (Outcome f = copy_whole(p, path))
                return f;
    return {};
}

// dirs_needed -- every directory the new files are named in, each after
// the one above it: made where missing
std::vector<std::string> dirs_needed(const Planning& p)
{
    std::set<std::string> dirs;
    for (const JournalEntry& e : p.journal.entries)
        for (std::size_t end = e.path.find('/'); end != std::string::npos; end = e.path.find('/', end + 1))
            dirs.insert(e.path.substr(0, end));
    return {dirs.begin(), dirs.end()};
}

// steps -- the commit: the journal, every new file written and kept, the
// journal again; the names come after it (commit_folder)
Outcome add_steps(Planning& p)
{
    Plan& plan = p.out.plan;
    std::vector<Step> steps;
    if (!p.rq.out_dir.empty())
        steps.push_back(Step{.what = Do::make_dir, .path = p.out.target});
    for (const std::string& d : dirs_needed(p))
        steps.push_back(Step{.what = Do::make_dir, .path = in_dir(p.out.target, d)});
    auto journal = [&](JournalState state, OldFile old) {
        p.journal.state = state;
        PlannedOutput out{.path = journal_path(p.out.target), .old = old, .durability = Durability::durable};
        out.parts.push_back(Part{.bytes = held(journal_bytes(p.journal))});
        return Step{.what = Do::write_and_name, .output = plan.add_output(std::move(out))};
    };
    steps.push_back(journal(JournalState::writing, OldFile::must_not_exist));
    for (int k : p.outputs) {
        steps.push_back(Step{.what = Do::write, .output = k});
        steps.push_back(Step{.what = Do::keep, .output = k});
    }
    steps.push_back(journal(JournalState::naming, OldFile::replace));
    steps.push_back(Step{.what = Do::close_inputs});
    plan.steps = std::move(steps);
    plan.journaled = true;
    p.out.needed = 0;
    for (const PlannedOutput& out : plan.outputs)
        p.out.needed += out.size();
    p.out.needed += plan.outputs.back().size();  // the journal's temporary beside it
    const std::string disk = p.rq.out_dir.empty() ? p.out.target : platform::parent_dir(p.out.target);
    platform::Result<std::uint64_t> free = p.fs.free_space(disk);
    if (free.error)
        return system_failure(Fault::write_failed, disk, free.error);
    p.out.free = free.value;
    if (p.out.needed > p.out.free)
        return tool_failure(Fault::write_failed, p.out.target, Why::no_space, p.out.needed, p.out.free);
    return {};
}

// touches_of -- every file the patches change, by path, each patch's change in order
Outcome touches_of(const FolderRequest& rq, std::span<const NamedFolderPatch> patches,
                   std::map<std::string, std::vector<Touch>>& touched)
{
    std::vector<std::string> paths;
    for (const NamedFolderPatch& np : patches)
        for (const FileChange& c : np.patch.files) {
            auto& list = touched[c.path];
            if (list.empty())
                paths.push_back(c.path);
            list.push_back(Touch{&np, &c});
        }
    if (kCaseBlindNames)
        if (auto twins = same_but_case(paths))
            return named_failure(Fault::bad_patch, in_dir(rq.folder, paths[twins->second]), Why::same_but_case,
                                 paths[twins->first]);
    return {};
}

}  // namespace

Outcome load_folder_patch(FileSystem& fs, const std::string& path, FolderPatch& patch)
{
    Bytes bytes;
    if (Outcome f = patch_file_bytes(fs, path, bytes))
        return f;
    std::uint64_t version = 0;
    if (const PatchStatus status = read_folder_patch(bytes, patch, version); status != PatchStatus::ok)
        return patch_refusal(path, status, version, kFolderPatchVersion);
    std::vector<std::string> paths;
    for (const FileChange& c : patch.files) {
        if (PathProblem problem = path_problem(c.path); problem != PathProblem::none) {
            Failure f = named_failure(Fault::bad_patch, path, Why::unsafe_path, c.path);
            f.detail.size = static_cast<std::uint64_t>(problem);
            return f;
        }
        paths.push_back(c.path);
    }
    if (kCaseBlindNames)
        if (auto twins = same_but_case(paths))
            return named_failure(Fault::bad_patch, path, Why::same_but_case, paths[twins->first]);
    return {};
}

Outcome plan_folder_apply(FileSystem& fs, const FolderRequest& rq, std::span<const NamedFolderPatch> patches,
                          FolderApply& apply, std::vector<Failure>& wrong)
{
    apply = FolderApply{.target = rq.out_dir.empty() ? rq.folder : rq.out_dir};
    platform::Result<platform::FileInfo> there = fs.look(rq.folder, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, rq.folder, there.error);
    if (there.value.kind != platform::Kind::directory)
        return tool_failure(Fault::cannot_open, rq.folder, Why::not_a_folder);
    if (!rq.out_dir.empty()) {
        platform::Result<platform::FileInfo> out = fs.look(rq.out_dir, platform::Links::refuse);
        if (out.error)
            return system_failure(Fault::cannot_open, rq.out_dir, out.error);
        if (out.value.kind != platform::Kind::none)
            return tool_failure(Fault::cannot_rename, rq.out_dir, Why::already_exists);
    }
    for (const NamedFolderPatch& np : patches)
        if (np.patch.compressor != kCompressorVersion)
            return tool_failure(Fault::bad_patch, np.path, Why::other_compressor, np.patch.compressor, kCompressorVersion);
    std::map<std::string, std::vector<Touch>> touched;
    if (Outcome f = touches_of(rq, patches, touched))
        return f;
    Planning p{.fs = fs, .rq = rq, .out = apply, .wrong = wrong};
    for (const auto& [path, touches] : touched)
        if (Outcome f = plan_file(p, touches))
            return f;
    if (!wrong.empty()) {
        Failure last = wrong.back();
        return last;
    }
    if (p.journal.entries.empty())
        return tool_failure(Fault::already_applied, rq.folder, rq.reverse ? Why::folder_taken_back : Why::folder_already);
    if (!rq.out_dir.empty())
        if (Outcome f = copy_untouched(p, touched))
            return f;
    return add_steps(p);
}

namespace {

// journal_told -- what a journal's files tell, as events
JournalTold journal_told(const Observer& observer)
{
    return [&observer](const std::string& path, bool leaves) {
        return observer(Event{.what = leaves ? Tell::removing : Tell::patching_file, .name = path});
    };
}

}  // namespace

Outcome commit_folder(FileSystem& fs, const FolderApply& apply, const Observer& observer)
{
    const Outcome committed = commit(fs, apply.plan, observer);
    Recovered recovered = Recovered::nothing;
    if (Outcome f = recover(fs, apply.target, journal_told(observer), recovered))
        return f;
    if (committed && recovered != Recovered::finished)
        return committed;
    return {};
}

Outcome recover_folder(FileSystem& fs, const std::string& folder, const Observer& observer, Recovered& recovered)
{
    return recover(fs, folder, journal_told(observer), recovered);
}
