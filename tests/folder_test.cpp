// Folder patches: made from two folders, applied all or nothing under a
// journal, refused for any path that would leave the folder, and a commit
// stopped at any call finished or undone by the next run.
#include <algorithm>

#include "bndtools.hpp"
#include "delta.hpp"
#include "fault_fs.hpp"
#include "flz0_files.hpp"
#include "programs.hpp"
#include "support.hpp"

namespace {

using Files = std::map<std::string, std::string>;

std::string text_lines(int count, const std::string& word)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "Line " + std::to_string(i) + ": the " + word + " text.\n";
    return s;
}

// a_bundle -- bundle k: an FLZ0 text piece, a raw piece, a short piece
std::string a_bundle(int k, const std::string& text)
{
    return make_bundle({flz0_encode(text), random_bytes(3000 + static_cast<std::size_t>(k) * 100, k + 1), "short " + std::to_string(k)});
}

// The game folder before and after a translation: bundles with a text
// edited, loose files edited, one of 0 bytes, one added, one removed.
Files old_folder(int bundles, int loose)
{
    Files f;
    for (int k = 0; k < bundles; ++k)
        f["data/B" + std::to_string(k) + ".BND"] = a_bundle(k, text_lines(200, "old " + std::to_string(k)));
    for (int k = 0; k < loose; ++k)
        f[(k % 2 ? "text/" : "") + std::string("file") + std::to_string(k) + ".txt"] = text_lines(20 + k, "loose");
    f["empty.dat"] = "";
    f["gone.txt"] = "a file the new version lacks\n";
    return f;
}

Files new_folder(int bundles, int loose)
{
    Files f = old_folder(bundles, loose);
    for (int k = 0; k < bundles; ++k)
        f["data/B" + std::to_string(k) + ".BND"] = a_bundle(k, text_lines(200, "new " + std::to_string(k)));
    for (int k = 0; k < loose; k += 3)
        f[(k % 2 ? "text/" : "") + std::string("file") + std::to_string(k) + ".txt"] += "one more line\n";
    f.erase("gone.txt");
    f["added/new.txt"] = "a file the new version adds\n";
    return f;
}

void put_all(MemFs& files, const std::string& dir, const Files& f)
{
    files.make_dirs(dir);
    for (const auto& [name, bytes] : f)
        files.put(dir + "/" + name, bytes);
}

// brief -- each file's size and hash, which a failure shows briefly
Files brief(const Files& f)
{
    Files out;
    for (const auto& [name, bytes] : f)
        out[name] = std::to_string(bytes.size()) + " bytes, " + std::to_string(std::hash<std::string>{}(bytes));
    return out;
}

// held -- the files below dir, backups left out, in brief
Files held(const MemFs& files, const std::string& dir)
{
    Files f;
    files.each_file(dir, [&](const std::string& name, const std::string& bytes) {
        if (!name.ends_with(".BAK"))
            f[name] = bytes;
    });
    return brief(f);
}

RunResult diff(platform::FileSystem& fs, const std::vector<std::string>& args)
{
    return run_over(fs, bnddiff_main, "bnddiff", args);
}

RunResult patch(platform::FileSystem& fs, const std::vector<std::string>& args)
{
    return run_over(fs, bndpatch_main, "bndpatch", args);
}

// A memory file system holding OLD, NEW, the patch P made from them, and
// GAME, a copy of `game`.
struct Game {
    MemFs files;
    Files before;
    Files after;
    Files was;  // in brief
    Files now;

    Game(int bundles, int loose, bool game_is_new = false)
        : before(old_folder(bundles, loose)), after(new_folder(bundles, loose))
    {
        put_all(files, "OLD", before);
        put_all(files, "NEW", after);
        was = brief(before);
        now = brief(after);
        const RunResult r = diff(files, {"-r", "OLD", "NEW", "P"});
        EXPECT_EQ(r.status, 0) << r.err;
        put_all(files, "GAME", game_is_new ? after : before);
        if (game_is_new)  // as the patch left it: the file it removed kept
            files.put("GAME/gone.txt.BAK", before["gone.txt"]);
    }
};

TEST(FolderPatch, TenBundlesAndTwentyFilesGoOverAndBackInOneCommit)
{
    Game s(10, 20);
    RunResult r = patch(s.files, {"-l", "P"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("data/B3.BND: changed, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("added/new.txt: added, 28 bytes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("gone.txt: removed, 29 bytes; back: from FILE.BAK"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + 10 + 7 + 2) << r.out;

    const Snapshot untouched = snapshot(s.files, "GAME");
    r = patch(s.files, {"-n", "GAME", "P"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(console("GAME/data/B9.BND: the patch applies\n")), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(s.files, "GAME"), untouched);

    r = patch(s.files, {"GAME", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(held(s.files, "GAME"), s.now);
    EXPECT_EQ(s.files.get("GAME/data/B0.BND.BAK"), s.before["data/B0.BND"]);
    EXPECT_EQ(s.files.get("GAME/gone.txt.BAK"), s.before["gone.txt"]);
    EXPECT_FALSE(s.files.get("GAME/" + std::string(kJournalName)));

    const Snapshot applied = snapshot(s.files, "GAME");
    EXPECT_EQ(patch(s.files, {"GAME", "P"}).status, 3);
    EXPECT_EQ(snapshot(s.files, "GAME"), applied);

    r = patch(s.files, {"-R", "GAME", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(held(s.files, "GAME"), s.was);

    r = patch(s.files, {"-o", "OUT", "OLD", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(held(s.files, "OUT"), s.now);
    EXPECT_EQ(held(s.files, "OLD"), s.was);
}

TEST(FolderPatch, AWrongFileOrAConflictIsNamedAndNothingIsWritten)
{
    const struct {
        const char* name;
        std::function<void(Game&)> change;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"a loose file edited",
         [](Game& s) { s.files.put("GAME/file0.txt", "edited by the player\n"); },
         {"GAME", "P"},
         1,
         {"GAME/file0.txt: is not the file the patch was made for: the patch expects "}},
        {"a bundle's piece edited",
         [](Game& s) { s.files.put("GAME/data/B1.BND", a_bundle(1, text_lines(200, "other"))); },
         {"GAME", "P"},
         1,
         {"GAME/data/B1.BND: is not the bundle the patch was made for: in piece 000"}},
        {"two patches change one file otherwise",
         [](Game& s) {
             put_all(s.files, "NEW2", s.before);
             s.files.put("NEW2/file0.txt", "another change\n");
             EXPECT_EQ(diff(s.files, {"-r", "OLD", "NEW2", "P2"}).status, 0);
         },
         {"GAME", "P", "P2"},
         1,
         {"changes this file, which P changes otherwise"}},
        {"no room on the disk",
         [](Game& s) { s.files.disk_size = 1; },
         {"GAME", "P"},
         2,
         {"GAME: needs ", "bytes of disk space for the new files, and 0 are free"}},
        {"a bundle patch for a folder", [](Game& s) { s.files.put("BP", "BNDPATCH\x02"); }, {"GAME", "BP"}, 1,
         {"BP: is a bundle patch: give the bundle it applies to in the folder's place"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Game s(3, 6);
        c.change(s);
        const Snapshot before = snapshot(s.files, "GAME");
        const RunResult r = patch(s.files, c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        for (const std::string& words : c.says)
            EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
        EXPECT_EQ(snapshot(s.files, "GAME"), before);
    }
}

TEST(FolderPatch, PatchesOfDifferentFilesOrPiecesCommitTogether)
{
    Game s(2, 4);
    put_all(s.files, "NEW2", s.before);
    s.files.put("NEW2/text/file1.txt", "a fix of another file\n");
    ASSERT_EQ(diff(s.files, {"-r", "OLD", "NEW2", "P2"}).status, 0);
    // and a third that changes another piece of a bundle the first changes
    put_all(s.files, "NEW3", s.before);
    const std::string b1 = make_bundle({flz0_encode(text_lines(200, "old 1")), random_bytes(3100, 2), "short 1, fixed"});
    s.files.put("NEW3/data/B1.BND", b1);
    ASSERT_EQ(diff(s.files, {"-r", "OLD", "NEW3", "P3"}).status, 0);
    const RunResult r = patch(s.files, {"GAME", "P", "P2", "P3"});
    ASSERT_EQ(r.status, 0) << r.err;
    Files all = s.after;
    all["text/file1.txt"] = "a fix of another file\n";
    all["data/B1.BND"] = make_bundle({flz0_encode(text_lines(200, "new 1")), random_bytes(3100, 2), "short 1, fixed"});
    EXPECT_EQ(held(s.files, "GAME"), brief(all));
    EXPECT_EQ(patch(s.files, {"GAME", "P", "P2", "P3"}).status, 3);
}

// A folder apply (or take back) stopped or failed at every call: the run
// after it leaves the folder as it was or as the patch makes it, no file
// of the one beside one of the other, and no journal or temporary left.
TEST(FolderPatch, StoppedOrFailedAtEveryCallTheNextRunLeavesOneVersionOrTheOther)
{
    const struct {
        const char* name;
        bool reverse;
        bool fail;
        bool interrupted;
    } cases[] = {
        {"stopped", false, false, false},
        {"failed", false, true, false},
        {"interrupted", false, false, true},
        {"taken back, stopped", true, false, false},
        {"taken back, failed", true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int ends = 0;
        for (int k = 0;; ++k) {
            Game s(2, 3, c.reverse);
            const Files& from = c.reverse ? s.now : s.was;
            const Files& to = c.reverse ? s.was : s.now;
            FaultyFs faulty("", s.files);
            (c.fail ? faulty.fail_at : faulty.stop_at) = k;
            faulty.interrupted = c.interrupted;
            std::vector<std::string> args = {"GAME", "P"};
            if (c.reverse)
                args.insert(args.begin(), "-R");
            const RunResult first = patch(faulty, args);
            if (faulty.calls() <= k) {
                EXPECT_EQ(first.status, 0) << first.err;
                break;
            }
            if (first.status == 0) {  // a success is the new version, whole
                EXPECT_EQ(held(s.files, "GAME"), to) << "call " << k;
            }
            Recovered recovered = Recovered::nothing;
            const Outcome next = recover_folder(s.files, "GAME", [](const Event&) { return Outcome{}; }, recovered);
            ASSERT_FALSE(next) << "call " << k << ": " << faulty.log[static_cast<std::size_t>(k)];
            const Files now = held(s.files, "GAME");
            EXPECT_TRUE(now == from || now == to) << "call " << k << ": " << faulty.log[static_cast<std::size_t>(k)];
            ends += now == to;
            s.files.each_file("GAME", [&](const std::string& name, const std::string&) {
                EXPECT_FALSE(name.ends_with(kTempSuffix) || name.ends_with(kJournalName)) << name << ", call " << k;
            });
            const RunResult again = patch(s.files, args);
            EXPECT_TRUE(again.status == 0 || again.status == 3) << again.err;
            EXPECT_EQ(held(s.files, "GAME"), to) << "call " << k;
        }
        EXPECT_GT(ends, 0) << "no stop came after the commit";
    }
}

// The journal is on the disk before the first temporary, says "whole"
// only once every temporary is synced, and goes only once every name is.
TEST(FolderPatch, EachStepOfTheCommitIsOnTheDiskBeforeTheNextDependsOnIt)
{
    Game s(2, 3);
    FaultyFs logged("", s.files);
    ASSERT_EQ(patch(logged, {"GAME", "P"}).status, 0);
    const std::vector<std::string>& log = logged.log;
    auto first = [&](const std::function<bool(const std::string&)>& is) {
        return std::find_if(log.begin(), log.end(), is) - log.begin();
    };
    auto last = [&](const std::function<bool(const std::string&)>& is) {
        return log.rend() - std::find_if(log.rbegin(), log.rend(), is) - 1;
    };
    const std::string journal = "GAME/" + std::string(kJournalName);
    const auto named = [&](const std::string& c) { return c.starts_with("rename_noreplace " + journal + ".$$$"); };
    const auto data_temp = [&](const std::string& c) {
        return c.find(".$$$") != std::string::npos && c.find(kJournalName) == std::string::npos;
    };
    const auto journal_named = first(named);
    const auto journal_whole = first([&](const std::string& c) { return c.starts_with("exchange " + journal + ".$$$"); });
    EXPECT_LT(journal_named, first([&](const std::string& c) { return c.starts_with("create_new") && data_temp(c); }));
    EXPECT_LT(last([&](const std::string& c) { return c.starts_with("sync ") && data_temp(c); }), journal_whole);
    const auto last_name = last([&](const std::string& c) {
        return (c.starts_with("exchange") || c.starts_with("rename") || c.starts_with("link")) && c.find(kJournalName) == std::string::npos;
    });
    const auto gone = first([&](const std::string& c) { return c == "remove " + journal; });
    EXPECT_LT(journal_whole, first([&](const std::string& c) { return c.starts_with("link GAME/data"); }));
    for (const char* dir : {"sync_dir GAME", "sync_dir GAME/data", "sync_dir GAME/added"}) {
        const auto synced = std::find(log.begin() + last_name, log.end(), dir) - log.begin();
        EXPECT_LT(synced, gone) << dir;
    }
    EXPECT_LT(gone, last([&](const std::string& c) { return c == "sync_dir GAME"; }));
}

TEST(FolderPatch, ANextRunSaysItFinishedOrUndidACommitAndOtherToolsStopUntilThen)
{
    for (const bool naming : {false, true}) {
        Game s(1, 2);
        // Stopped at the first rename that names a new file, or at the
        // first temporary written.
        for (int k = 0;; ++k) {
            FaultyFs faulty("", s.files);
            faulty.stop_at = k;
            patch(faulty, {"GAME", "P"});
            ASSERT_LT(k, faulty.calls());
            const std::string& call = faulty.log[static_cast<std::size_t>(k)];
            if (naming ? call.starts_with("exchange GAME/data") || call.starts_with("link GAME/data")
                       : call.starts_with("create_new GAME/data"))
                break;
            recover_folder(s.files, "GAME", [](const Event&) { return Outcome{}; }, *std::make_unique<Recovered>());
            put_all(s.files, "GAME", s.before);
        }
        ASSERT_TRUE(s.files.get("GAME/" + std::string(kJournalName)));
        RunResult r = run_over(s.files, flz0pack_main, "flz0pack", {"GAME/file0.txt"});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is in GAME, where a patch stopped part-way: run bndpatch on that folder"),
                  std::string::npos)
            << r.err;
        r = patch(s.files, {"GAME", "P"});
        EXPECT_EQ(r.status, naming ? 3 : 0) << r.err;
        EXPECT_NE(r.out.find(naming ? "GAME: a patch that stopped part-way was finished"
                                    : "GAME: a patch that stopped part-way was undone"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(held(s.files, "GAME"), s.now);
    }
}

TEST(FolderPatch, EveryPathThatCouldLeaveTheFolderIsRefusedWithNothingWritten)
{
    const char* const hostile[] = {
        "../evil.txt", "/etc/evil", "a/../../evil", "C:/evil", "c:evil", "//server/share/evil", "\\\\server\\evil",
        "a\\..\\evil", "CON", "sub/nul.txt", "COM1.BND", "lpt9", "evil.BAK", ".bndpatch-journal", "x.$$$",
        "a:stream", "trailing.", "./evil", "a//b", "",
    };
    for (const char* path : hostile) {
        SCOPED_TRACE(path);
        MemFs files;
        put_all(files, "GAME", {{"keep.txt", "kept"}});
        FolderPatch p;
        p.files.push_back(FileChange{.path = path, .new_side = side_of(bytes_of("evil")), .forward = make_delta({}, bytes_of("evil"))});
        const Bytes bytes = folder_patch_bytes(p);
        files.put("P", std::string(bytes.begin(), bytes.end()));
        const Snapshot before = snapshot(files, "");
        const RunResult r = patch(files, {"GAME", "P"});
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.err.find("P: holds the path"), std::string::npos) << r.err;
        EXPECT_EQ(snapshot(files, ""), before);
        EXPECT_EQ(path_problem(path) == PathProblem::none, false);
    }
    for (const char* fine : {"data/DATA.BND", "a b/c.txt", "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/x", "COM10", "CONFIG.SYS",
                             ".hidden", "x.BAK.txt"})
        EXPECT_EQ(path_problem(fine), PathProblem::none) << fine;
}

// A file of no bytes is a file like any other: it comes, goes, fills and empties.
TEST(FolderPatch, FilesOfNoBytesComeGoFillAndEmpty)
{
    MemFs files;
    const Files before = {{"emptied.txt", "text"}, {"filled.txt", ""}, {"gone.txt", ""}, {"kept.txt", ""}};
    const Files after = {{"emptied.txt", ""}, {"filled.txt", "text"}, {"kept.txt", ""}, {"new.txt", ""}};
    put_all(files, "OLD", before);
    put_all(files, "NEW", after);
    put_all(files, "GAME", before);
    ASSERT_EQ(diff(files, {"-r", "OLD", "NEW", "P"}).status, 0);
    RunResult r = patch(files, {"GAME", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(held(files, "GAME"), brief(after));
    files.put("GAME/gone.txt.BAK", "");
    r = patch(files, {"-R", "GAME", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(held(files, "GAME"), brief(before));
}

TEST(FolderPatch, BackupsAndTemporariesStayOutOfAPatch)
{
    MemFs files;
    put_all(files, "OLD", {{"a.txt", "1"}, {"a.txt.BAK", "0"}});
    put_all(files, "NEW", {{"a.txt", "2"}, {"a.txt.BAK", "1"}, {"b.txt.$$$", "part"}});
    RunResult r = diff(files, {"-r", "OLD", "NEW", "P"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(console("folder patch: 1 files\na.txt: changed, 1 -> 1 bytes, a 4-byte delta\npatch: ")))
        << r.out;
    files.put("NEW/orphan.BAK", "a backup without its file");
    r = diff(files, {"-r", "OLD", "NEW", "P2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds the path \"orphan.BAK\", which names a name the tools keep"), std::string::npos) << r.err;
}

TEST(FolderPatch, TwoNamesThatDifferOnlyByCaseNeverGoIntoAPatch)
{
    MemFs files;
    put_all(files, "OLD", {{"a.txt", "1"}});
    put_all(files, "NEW", {{"a.txt", "2"}, {"A.TXT", "3"}, {"\xC3\x84.txt", "4"}, {"\xC3\xA4.TXT", "5"}});
    const RunResult r = diff(files, {"-r", "OLD", "NEW", "P"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("differ only by case"), std::string::npos) << r.err;
    EXPECT_FALSE(files.get("P"));
    // A patch made elsewhere with both: one file where case is one.
    FolderPatch p;
    for (const char* name : {"A.TXT", "a.txt"})
        p.files.push_back(FileChange{.path = name, .new_side = side_of(bytes_of(name)), .forward = make_delta({}, bytes_of(name))});
    const Bytes both = folder_patch_bytes(p);
    files.put("P", std::string(both.begin(), both.end()));
    files.make_dirs("GAME");
    const RunResult applied = patch(files, {"GAME", "P"});
    EXPECT_EQ(applied.status, kCaseBlindNames ? 1 : 0) << applied.err;
    EXPECT_EQ(files.get("GAME/a.txt").has_value(), !kCaseBlindNames);
    const std::vector<std::string> twins = {"x/\xD0\x94.txt", "x/\xD0\xB4.TXT"};
    EXPECT_TRUE(same_but_case(twins));
    const std::vector<std::string> apart = {"a.txt", "a.txt2", "\xC3\x97", "\xC3\xB7"};
    EXPECT_FALSE(same_but_case(apart));
}

// A journal that cannot be carried out is reported and left, and so is
// every file: a temporary whose bytes are not the new ones never takes a
// name, and a damaged journal is never guessed at.
TEST(Journal, WhatCannotBeFinishedIsLeftAsItIsAndSaid)
{
    const std::string kNew = "the new bytes\n";
    Journal j{.state = JournalState::naming};
    j.entries.push_back(JournalEntry{.path = "a.txt", .old = OldFile::keep_as_backup, .size = kNew.size(),
                                     .hash = sha256(bytes_of(kNew))});
    const Bytes good = journal_bytes(j);
    Bytes damaged = good;
    damaged[kJournalMagic.size() + 4] ^= 1;  // the state
    const struct {
        const char* name;
        Bytes journal;
        std::string temp;
        const char* says;
    } cases[] = {
        {"a temporary of other bytes", good, "other bytes\n", "cannot be finished: the new bytes of GAME/a.txt are gone"},
        {"no temporary", good, "", "cannot be finished: the new bytes of GAME/a.txt are gone"},
        {"a damaged journal", damaged, kNew, "cannot be read as the journal of a patch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemFs files;
        put_all(files, "GAME", {{"a.txt", "old\n"}, {kJournalName, std::string(c.journal.begin(), c.journal.end())}});
        if (!c.temp.empty())
            files.put("GAME/a.txt.$$$", c.temp);
        FolderPatch p;
        p.files.push_back(FileChange{.path = "b.txt", .new_side = side_of(bytes_of("b")), .forward = make_delta({}, bytes_of("b"))});
        const Bytes patch_file = folder_patch_bytes(p);
        files.put("P", std::string(patch_file.begin(), patch_file.end()));
        const Snapshot before = snapshot(files, "GAME");
        const RunResult r = patch(files, {"GAME", "P"});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(snapshot(files, "GAME"), before);
    }
}

TEST(Journal, AJournalThatDoesNotReadWhole)
{
    Journal j{.state = JournalState::naming};
    j.entries.push_back(JournalEntry{.path = "data/B.BND", .old = OldFile::keep_as_backup, .size = 9, .hash = sha256(bytes_of("new"))});
    j.entries.push_back(JournalEntry{.path = "gone.txt", .leaves = true});
    const Bytes good = journal_bytes(j);
    Journal back;
    ASSERT_TRUE(read_journal(good, back));
    EXPECT_EQ(back, j);
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(read_journal(std::span(good).first(n), back)) << n;
        Bytes flipped = good;
        flipped[n] ^= 0x10;
        EXPECT_FALSE(read_journal(flipped, back)) << n;
    }
}

}  // namespace

namespace {

class FolderOnDisk : public ScratchTest {
protected:
    RunResult run(const Program& p, const std::vector<std::string>& args) { return run_tool(p.exe, p.name, args, dir); }
    void lay(const std::string& sub, const Files& files) const
    {
        for (const auto& [name, bytes] : files) {
            fs::create_directories((dir / sub / name).parent_path());
            write_file(dir / sub / name, bytes);
        }
    }
    // on_disk -- the files below a folder, backups left out, in brief
    Files on_disk(const std::string& sub) const
    {
        Files f;
        for (const auto& e : fs::recursive_directory_iterator(dir / sub))
            if (e.is_regular_file() && e.path().extension() != ".BAK")
                f[e.path().lexically_relative(dir / sub).generic_string()] = *read_file(e.path());
        return brief(f);
    }
};

// Windows refuses to rename over a file another program holds open: the
// commit stops with the journal kept, and the next run finishes it.
TEST_F(FolderOnDisk, ACommitHeldUpByAFileInUseIsFinishedByTheNextRun)
{
    lay("OLD", old_folder(2, 3));
    lay("NEW", new_folder(2, 3));
    lay("GAME", old_folder(2, 3));
    ASSERT_EQ(run(kBnddiff, {"-r", "OLD", "NEW", "P"}).status, 0);
    void* held = hold_open(dir / "GAME" / "data" / "B1.BND");
    EXPECT_EQ(held != nullptr, kWindows);
    RunResult r = run(kBndpatch, {"GAME", "P"});
    if (held) {
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.out.find("run bndpatch on this folder again to finish the patch"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(dir / "GAME" / kJournalName));
        EXPECT_EQ(run(kFlz0pack, {"GAME/file0.txt"}).status, 2);
        let_go(held);
        r = run(kBndpatch, {"GAME", "P"});
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_NE(r.out.find("GAME: a patch that stopped part-way was finished"), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(on_disk("GAME"), brief(new_folder(2, 3)));
    EXPECT_FALSE(fs::exists(dir / "GAME" / kJournalName));
}

TEST_F(FolderOnDisk, APathThroughASymbolicLinkIsRefusedAndNothingIsWrittenOnEitherSide)
{
    if (kWindows)
        GTEST_SKIP() << "symbolic links need a privilege on Windows";
    lay("OLD", {{"a.txt", "a"}});
    lay("NEW", {{"a.txt", "a"}, {"link/x.txt", "written through the link"}});
    lay("GAME", {{"a.txt", "a"}});
    fs::create_directories(dir / "OUTSIDE");
    fs::create_directory_symlink("../OUTSIDE", dir / "GAME" / "link");
    ASSERT_EQ(run(kBnddiff, {"-r", "OLD", "NEW", "P"}).status, 0);
    const Snapshot before = snapshot(dir);
    const RunResult r = run(kBndpatch, {"GAME", "P"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("GAME: reaches \"link/x.txt\" through a symbolic link"), std::string::npos) << r.err;
    EXPECT_EQ(snapshot(dir), before);
}

}  // namespace
