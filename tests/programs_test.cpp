// What every program does alike, as tables over the four: the usage, each
// file on its own, a lost standard output, permissions kept, a temporary
// in the way, a full disk, and no memory. Each row runs the built program.
#include <functional>
#include <map>

#include "alloc_seam.hpp"
#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "messages.hpp"
#include "record.hpp"
#include "support.hpp"

namespace {


const std::string kText = text_of(3000);

// How a row meets a program: what to make for it, and what a run that
// worked leaves behind.
struct Tool {
    const Program& program;
    bool many;        // takes FILE...
    bool keeps_mode;  // the new file has the old one's permission bits
    // input -- a file the program takes, named after base; the argument for it
    std::function<std::string(const fs::path& dir, const std::string& base)> input;
    // refused -- an input it refuses with exit status 1; the argument for it
    std::function<std::string(const fs::path& dir, const std::string& base)> refused;
    // done -- whether what input made has been done
    std::function<testing::AssertionResult(const fs::path& dir, const std::string& base)> done;
    // temp -- the temporary of its output, and the file whose permissions
    // the output keeps, relative to the directory
    std::function<std::string(const std::string& base)> temp;
    std::function<std::string(const std::string& base)> replaced;
};

testing::AssertionResult holds(const fs::path& path, const std::string& bytes)
{
    if (read_file(path) == bytes)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << path << " does not hold the expected bytes";
}

testing::AssertionResult both(testing::AssertionResult a, testing::AssertionResult b)
{
    return !a ? a : b;
}

const std::vector<std::string> kPieces = {kText, "second piece"};

const Tool kTools[] = {
    {kBndsplit, false, false,
     [](const fs::path& d, const std::string& b) {
         write_file(d / (b + ".BND"), make_bundle(kPieces));
         return b + ".BND";
     },
     [](const fs::path& d, const std::string& b) {
         fs::create_directory(d / (b + ".BND"));
         return b + ".BND";
     },
     [](const fs::path& d, const std::string& b) {
         return both(holds(d / b / "000", kPieces[0]), holds(d / b / "001", kPieces[1]));
     },
     [](const std::string& b) { return b + "/000.$$$"; }, [](const std::string& b) { return b + ".BND"; }},
    {kBndjoin, true, true,
     [](const fs::path& d, const std::string& b) {
         fs::create_directory(d / b);
         write_file(d / b / "000", kPieces[0]);
         write_file(d / b / "001", kPieces[1]);
         write_file(d / (b + ".BND"), make_bundle({"old one", "old two"}));
         return b + ".BND";
     },
     [](const fs::path&, const std::string& b) { return b + ".BND"; },  // no piece directory
     [](const fs::path& d, const std::string& b) {
         return both(holds(d / (b + ".BND"), make_bundle(kPieces)), holds(d / (b + ".BND.BAK"), make_bundle({"old one", "old two"})));
     },
     [](const std::string& b) { return b + ".BND.$$$"; }, [](const std::string& b) { return b + ".BND"; }},
    {kVarnix, true, true,
     [](const fs::path& d, const std::string& b) {
         write_file(d / b, flz0_literals(kText));
         return b;
     },
     [](const fs::path& d, const std::string& b) {
         write_file(d / b, "not FLZ0");
         return b;
     },
     [](const fs::path& d, const std::string& b) {
         return both(holds(d / b, kText), holds(d / (b + ".BAK"), flz0_literals(kText)));
     },
     [](const std::string& b) { return b + ".$$$"; }, [](const std::string& b) { return b; }},
    {kFlz0pack, true, true,
     [](const fs::path& d, const std::string& b) {
         write_file(d / b, kText);
         return b;
     },
     [](const fs::path& d, const std::string& b) {
         write_file(d / b, "FLZ0 already");
         return b;
     },
     [](const fs::path& d, const std::string& b) {
         std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(bytes_of(read_file(d / b).value_or("")));
         if (back && std::string(back->begin(), back->end()) == kText)
             return testing::AssertionSuccess();
         return testing::AssertionFailure() << b << " does not decode to the text";
     },
     [](const std::string& b) { return b + ".$$$"; }, [](const std::string& b) { return b; }},
};


class Programs : public ScratchTest {
protected:
    RunResult run(const Tool& t, const std::vector<std::string>& args, const RunOptions& options = {})
    {
        RunOptions as_process = options;
        as_process.process = true;  // this table is about what only a process shows
        return run_tool(t.program.exe, t.program.name, args, dir, as_process);
    }
};

}  // namespace

TEST_F(Programs, WrongArgumentsGiveTheUsageAloneAndTouchNothing)
{
    for (const Tool& t : kTools) {
        clear();
        t.input(dir, "A");
        const auto before = snapshot(dir);
        std::vector<std::vector<std::string>> wrong = {{}};
        if (!t.many)
            wrong.push_back({"A.BND", "1", "2", "3"});
        if (std::string(t.program.name) == "bndjoin")  // a grid that is no power of two, or too large (2^64 + 16 too)
            for (const char* n : {"3", "0", "x", "", "2097152", "18446744073709551632"})
                wrong.push_back({"--align", n, "A.BND"});
        for (const auto& args : wrong) {
            RunResult r = run(t, args);
            EXPECT_EQ(r.status, 1) << t.program.name;
            EXPECT_EQ(r.out, "") << t.program.name;
            EXPECT_EQ(r.err, console(t.program.usage)) << t.program.name;
            EXPECT_EQ(snapshot(dir), before) << t.program.name;
        }
        // Only bndsplit names itself as it was started; the others by a fixed word.
        RunResult r = run_tool(t.program.exe, "/opt/tools/x", {}, dir, kAsProcess);
        EXPECT_EQ(r.err, console(t.many ? t.program.usage : "Usage: /opt/tools/x [-l] [-x] [-f] [-d DIR] [.BND type file] [maxfiles]\n")) << t.program.name;
    }
}

TEST_F(Programs, EachFileIsHandledOnItsOwnAndTheHighestStatusWins)
{
    for (const Tool& t : kTools) {
        if (!t.many)
            continue;
        clear();
        const std::vector<std::string> args = {t.input(dir, "A"), t.refused(dir, "B"), t.input(dir, "C")};
        const auto refused = read_file(dir / args[1]);
        RunResult r = run(t, args);
        EXPECT_EQ(r.status, 1) << t.program.name;
        EXPECT_TRUE(t.done(dir, "A")) << t.program.name;
        EXPECT_TRUE(t.done(dir, "C")) << t.program.name;
        EXPECT_EQ(read_file(dir / args[1]), refused) << t.program.name;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << t.program.name << ": " << r.err;
        EXPECT_NE(r.err.find(std::string(t.program.name) + ": B:"), std::string::npos) << t.program.name << ": " << r.err;
        // Each file's lines follow a line naming it; none when there is one file.
        for (const std::string& name : args)
            EXPECT_NE(r.out.find(console("==> " + name + " <==\n")), std::string::npos) << t.program.name << ": " << r.out;
        EXPECT_TRUE(r.out.starts_with("==> ")) << t.program.name;
        clear();
        RunResult one = run(t, {t.input(dir, "A")});
        EXPECT_EQ(one.out.find("==>"), std::string::npos) << t.program.name;
    }
}

TEST_F(Programs, LostStandardOutputIsAWriteFailureAndChangesNothing)
{
    for (const Tool& t : kTools) {
        clear();
        const std::string arg = t.input(dir, "A");
        const auto before = snapshot(dir);
        RunOptions lost;
        lost.stdout_path = kFullDevice;
        RunResult r = run(t, {arg}, lost);
        EXPECT_TRUE(fails_as(r, 2, msg::kWriteFailed, t.program.name, "standard output")) << t.program.name;
        EXPECT_EQ(snapshot(dir), before) << t.program.name;
        // --version and --help are output too.
        for (const char* answer : {"--version", "--help"}) {
            r = run(t, {answer}, lost);
            EXPECT_TRUE(fails_as(r, 2, msg::kWriteFailed, t.program.name, "standard output")) << t.program.name << " " << answer;
        }
    }
    // flz0pack giving FILE.BAK back tells its sizes first: lost, nothing moves.
    clear();
    write_file(dir / "F", kText);
    write_file(dir / "F.BAK", flz0_literals(kText));
    const auto before = snapshot(dir);
    RunOptions lost;
    lost.stdout_path = kFullDevice;
    RunResult r = run_tool(FLZ0PACK_EXE, "flz0pack", {"F"}, dir, lost);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(snapshot(dir), before);
}

TEST_F(Programs, TheNewFileKeepsThePermissionBits)
{
    if (kWindows)
        GTEST_SKIP() << "Windows files have no POSIX permission bits";
    // The set-user-ID, set-group-ID and sticky bits too.
    const fs::perms modes[] = {fs::perms(0600),  fs::perms(0755),  fs::perms(0640),
                               fs::perms(04755), fs::perms(02750), fs::perms(01644)};
    for (const Tool& t : kTools) {
        if (!t.keeps_mode)
            continue;
        for (fs::perms mode : modes) {
            clear();
            const std::string arg = t.input(dir, "A");
            fs::permissions(dir / t.replaced("A"), mode);
            ASSERT_EQ(run(t, {arg}).status, 0) << t.program.name;
            EXPECT_EQ(fs::status(dir / t.replaced("A")).permissions(), mode) << t.program.name;
        }
    }
    // bndpatch applying a patch in place: the bundle it replaces gives them.
    clear();
    write_file(dir / "OLD.BND", make_bundle(kPieces));
    write_file(dir / "NEW.BND", make_bundle({kText, "another second piece"}));
    ASSERT_EQ(run_tool(kBnddiff.exe, kBnddiff.name, {"OLD.BND", "NEW.BND", "P"}, dir, kAsProcess).status, 0);
    for (fs::perms mode : modes) {
        fs::remove(dir / "A.BND.BAK");
        fs::copy_file(dir / "OLD.BND", dir / "A.BND", fs::copy_options::overwrite_existing);
        fs::permissions(dir / "A.BND", mode);
        ASSERT_EQ(run_tool(kBndpatch.exe, kBndpatch.name, {"A.BND", "P"}, dir, kAsProcess).status, 0);
        EXPECT_EQ(fs::status(dir / "A.BND").permissions(), mode) << "bndpatch";
    }
    // bndjoin rebuilding from the split record: the bundle it replaces gives them.
    clear();
    write_file(dir / "R.BND", make_bundle(kPieces));
    ASSERT_EQ(run_tool(kBndsplit.exe, kBndsplit.name, {"R.BND"}, dir, kAsProcess).status, 0);
    for (fs::perms mode : modes) {
        fs::permissions(dir / "R.BND", mode);
        ASSERT_EQ(run_tool(kBndjoin.exe, kBndjoin.name, {"R.BND"}, dir, kAsProcess).status, 0);
        EXPECT_EQ(fs::status(dir / "R.BND").permissions(), mode) << "bndjoin from the record";
    }
}

TEST_F(Programs, WhateverHasTheTemporaryNameIsRemovedNeverWrittenThrough)
{
    enum class Blocker { file, link, directory };
    for (const Tool& t : kTools) {
        for (Blocker b : {Blocker::file, Blocker::link, Blocker::directory}) {
            if (b == Blocker::link && kWindows)
                continue;  // a Windows program cannot make the symbolic link
            clear();
            const std::string arg = t.input(dir, "A");
            const fs::path temp = dir / t.temp("A");
            fs::create_directories(temp.parent_path());
            write_file(dir / "target", "must stay");
            if (b == Blocker::file)
                write_file(temp, std::string(5000, 's'));
            else if (b == Blocker::link)
                fs::create_symlink(dir / "target", temp);
            else
                fs::create_directory(temp);
            const auto before = snapshot(dir);
            RunResult r = run(t, {arg});
            EXPECT_EQ(read_file(dir / "target"), "must stay") << t.program.name;
            if (b == Blocker::directory) {
                EXPECT_TRUE(fails_as(r, 2, msg::kWriteFailed, t.program.name, t.temp("A"))) << t.program.name;
                EXPECT_EQ(snapshot(dir), before) << t.program.name;
                EXPECT_TRUE(fs::is_directory(temp)) << t.program.name;
            } else {
                EXPECT_EQ(r.status, 0) << t.program.name << ": " << r.err;
                EXPECT_TRUE(t.done(dir, "A")) << t.program.name;
                EXPECT_FALSE(fs::exists(fs::symlink_status(temp))) << t.program.name;
            }
        }
    }
}

TEST_F(Programs, AFullDiskIsReportedAndLeavesEveryFileAsItWas)
{
    if (kWindows)
        GTEST_SKIP() << "Windows has no file size limit; standard output on the full device is tested instead";
    for (const Tool& t : kTools) {
        // Whether a write past the limit would kill the process (SIGXFSZ)
        // is the caller's to choose; the programs ignore it, so the write
        // fails and is reported.
        for (bool would_kill : {false, true}) {
            clear();
            const std::string arg = t.input(dir, "A");
            const auto before = snapshot(dir);
            RunOptions limited;
            limited.file_size_limit = 200;
            limited.die_at_limit = would_kill;
            RunResult r = run(t, {arg}, limited);
            EXPECT_EQ(r.status, 2) << t.program.name;
            // bndsplit writes the record that says a split runs before any piece.
            const std::string first = t.program.name == std::string("bndsplit") ? std::string("A/") + kRecordName + ".$$$" : t.temp("A");
            EXPECT_TRUE(is_failure(r.err, msg::kWriteFailed, t.program.name, first, "File too large")) << t.program.name;
            EXPECT_EQ(snapshot(dir), before) << t.program.name;
        }
    }
}

TEST_F(Programs, NoMemoryEndsThatFileOnlyAndLeavesItAsItWas)
{
    if (!allocation_seam_works())
        GTEST_SKIP() << "the sanitizer reserves more address space than any limit here allows";
    if (kWindows)
        GTEST_SKIP() << "Windows has no limit on a process's address space";
    // Where the limit lies depends on the system's libraries, so each
    // limit from one the program cannot start under to one it runs under
    // is tried. Under the lowest it cannot even be loaded, or its first
    // allocation (of the argument list) fails where not even the failure
    // can be allocated; from the first run that gets going on, each must
    // work, or report no memory for the large file, ideally with the small
    // one after it still done.
    const Tool& pack = kTools[3];
    bool reported = false;
    bool started = false;
    for (std::uint64_t limit = 1024 * 1024; limit <= 16 * 1024 * 1024; limit += 128 * 1024) {
        clear();
        const std::string big = text_of(60000);
        write_file(dir / "BIG", big);
        write_file(dir / "SMALL", "small");
        RunOptions options;
        options.memory_limit = limit;
        RunResult r = run(pack, {"BIG", "SMALL"}, options);
        started = started || r.status == 0 || r.status == 1;
        if (!started) {
            EXPECT_EQ(read_file(dir / "BIG"), big) << "limit " << limit;
            continue;
        }
        ASSERT_TRUE(r.status == 0 || r.status == 1) << "limit " << limit << ": status " << r.status << r.err;
        if (r.status == 1) {
            const std::string head = message(msg::kNoMemory) + "flz0pack: BIG: ";
            EXPECT_TRUE(r.err.starts_with(head)) << "limit " << limit << ": " << r.err;
            EXPECT_EQ(read_file(dir / "BIG"), big) << "limit " << limit;
            EXPECT_EQ(file_names(dir), (std::vector<std::string>{"BIG", "SMALL"})) << "limit " << limit;
            const bool one_failure = std::count(r.err.begin(), r.err.end(), '\n') == 2;
            reported = reported || (one_failure && read_file(dir / "SMALL") != "small");
        }
        if (r.status == 0)
            break;
    }
    EXPECT_TRUE(reported) << "no limit made the large file fail and the small one work";
}
