// The one way an output is written, through the seam: every rule for the
// old file, a failure or a crash at every call, the syncs a durable output
// makes and where, and the fallbacks where the system refuses a call.
#include "output.hpp"
#include "render.hpp"

#include <algorithm>
#include <memory>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#include "fault_fs.hpp"
#include "support.hpp"

namespace {

std::span<const std::uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct Rule {
    const char* what;
    OldFile old;
    bool old_exists;
};

const Rule kRules[] = {
    {"replace an old file", OldFile::replace, true},
    {"replace where there is none", OldFile::replace, false},
    {"keep the old file as N.BAK", OldFile::keep_as_backup, true},
    {"a name that must be free", OldFile::must_not_exist, false},
};

class OutputTest : public ScratchTest {
protected:
    std::string n() const { return (dir / "N").string(); }
    void start(const Rule& rule)
    {
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        if (rule.old_exists)
            write_file(dir / "N", "old");
    }
    // write -- the output "new" at N, through fs; what it came to
    Outcome write(platform::FileSystem& fs, const Rule& rule, Durability durability = Durability::durable)
    {
        Output out(fs, n(), rule.old, durability);
        if (Outcome f = out.create())
            return f;
        if (Outcome f = out.write(bytes("new")))
            return f;
        return out.commit();
    }
    // final -- the names a rule leaves once the output is committed
    std::vector<std::string> final_names(const Rule& rule) const
    {
        if (rule.old == OldFile::keep_as_backup)
            return {"N", "N.BAK"};
        return {"N"};
    }
    std::vector<std::string> first_names(const Rule& rule) const
    {
        return rule.old_exists ? std::vector<std::string>{"N"} : std::vector<std::string>{};
    }
};

// kind -- the kind of a logged call: its first word
std::string kind(const std::string& call)
{
    return call.substr(0, call.find(' '));
}

}  // namespace

TEST_F(OutputTest, EachRuleGivesTheNewFileTheName)
{
    for (const Rule& rule : kRules) {
        start(rule);
        FaultyFs fs(dir.string());
        EXPECT_FALSE(write(fs, rule)) << rule.what;
        EXPECT_EQ(file_names(dir), final_names(rule)) << rule.what;
        EXPECT_EQ(read_file(dir / "N"), "new") << rule.what;
        if (rule.old == OldFile::keep_as_backup) {
            EXPECT_EQ(read_file(dir / "N.BAK"), "old") << rule.what;
        }
    }
}

TEST_F(OutputTest, AFailureAtAnyCallLeavesEverythingAsItWasOrFinal)
{
    for (const Rule& rule : kRules) {
        for (int k = 0;; ++k) {
            start(rule);
            FaultyFs fs(dir.string());
            fs.fail_at = k;
            const Outcome r = write(fs, rule);
            EXPECT_EQ(fs.open_handles(), std::vector<std::string>{}) << rule.what << ", call " << k << " failing";
            if (fs.calls() <= k) {
                EXPECT_FALSE(r) << rule.what;
                break;
            }
            const std::string call = fs.log[static_cast<std::size_t>(k)];
            const std::string what = std::string(rule.what) + ", " + call + " failing";
            if (!r || kind(call) == "sync_dir") {
                // Nothing lost, or only the directory's sync: the names are final.
                if (r) {
                    EXPECT_EQ(r->fault, Fault::write_failed) << what;
                }
                EXPECT_EQ(read_file(dir / "N"), "new") << what;
                std::vector<std::string> names = file_names(dir);
                // A failed removal after the exchange leaves the old file
                // under the temporary name, for the next output to remove.
                std::erase(names, "N.$$$");
                EXPECT_EQ(names, final_names(rule)) << what;
                continue;
            }
            // Where the system has no rename that refuses to replace, a
            // link and a removal stand for it: that removal is naming too.
            const std::string k0 = kind(call);
            const bool naming = k0 == "link" || k0.starts_with("rename") ||
                                (k0 == "remove" && k > 0 && kind(fs.log[static_cast<std::size_t>(k - 1)]) == "link");
            const Fault expected = naming ? Fault::cannot_rename : Fault::write_failed;
            EXPECT_EQ(r->fault, expected) << what;
            EXPECT_EQ(file_names(dir), first_names(rule)) << what;
            if (rule.old_exists) {
                EXPECT_EQ(read_file(dir / "N"), "old") << what;
            }
        }
    }
}

TEST_F(OutputTest, StoppedAtAnyCallTheNameHoldsAWholeFileAndTheOldOneSurvives)
{
    for (const Rule& rule : kRules) {
        for (int k = 0;; ++k) {
            start(rule);
            bool stopped = false;
            {
                FaultyFs fs(dir.string());
                fs.stop_at = k;
                write(fs, rule);
                stopped = fs.stopped();
            }
            const std::string what = std::string(rule.what) + ", stopped at call " + std::to_string(k);
            const std::optional<std::string> now = read_file(dir / "N");
            if (rule.old_exists) {
                EXPECT_TRUE(now == "old" || now == "new") << what;
            } else {
                EXPECT_TRUE(!now || now == "new") << what;
            }
            if (rule.old == OldFile::keep_as_backup) {
                EXPECT_TRUE(now == "old" || read_file(dir / "N.BAK") == "old") << what;
            }
            if (!stopped)
                break;
        }
    }
}

TEST_F(OutputTest, ADurableOutputIsSyncedBeforeItTakesTheNameAndItsDirectoryAfter)
{
    for (const Rule& rule : kRules) {
        start(rule);
        FaultyFs fs(dir.string());
        ASSERT_FALSE(write(fs, rule, Durability::durable)) << rule.what;
        const auto at = [&](auto is) {
            return std::find_if(fs.log.begin(), fs.log.end(), is) - fs.log.begin();
        };
        const auto synced = at([](const std::string& c) { return c == "sync N.$$$"; });
        const auto named = at([](const std::string& c) {
            return (c.starts_with("rename") || c.starts_with("exchange")) && c.find(" N.$$$ N") != std::string::npos;
        });
        const auto dir_synced = at([](const std::string& c) { return c == "sync_dir ."; });
        const auto end = static_cast<std::ptrdiff_t>(fs.log.size());
        EXPECT_LT(synced, named) << rule.what;
        EXPECT_LT(named, dir_synced) << rule.what;
        EXPECT_LT(dir_synced, end) << rule.what;

        start(rule);
        FaultyFs cached(dir.string());
        ASSERT_FALSE(write(cached, rule, Durability::cached)) << rule.what;
        EXPECT_TRUE(std::none_of(cached.log.begin(), cached.log.end(),
                                 [](const std::string& c) { return c.starts_with("sync"); }))
            << rule.what;
    }
    // An output in a directory below syncs that directory, not the one above.
    fs::create_directory(dir / "sub");
    FaultyFs below(dir.string());
    Output out(below, (dir / "sub" / "M").string(), OldFile::replace, Durability::durable);
    ASSERT_FALSE(out.create() || out.write(bytes("new")) || out.commit());
    EXPECT_EQ(std::count(below.log.begin(), below.log.end(), "sync_dir sub"), 1);
    EXPECT_EQ(std::count(below.log.begin(), below.log.end(), "sync_dir ."), 0);
}

TEST_F(OutputTest, ALargeDurableOutputStartsItsWritebackAsItGoesAndAHintRefusedCostsNothing)
{
    // Written in blocks of 3 MiB, 10 MiB in all: one hint, after the first
    // 8 MiB or more, for a durable output; none for a cached one.
    const std::string block(3u << 20, 'b');
    for (const bool refused : {false, true}) {
        for (const Durability d : {Durability::durable, Durability::cached}) {
            start(kRules[1]);
            FaultyFs fs(dir.string());
            if (refused)
                fs.refuse["start_writeback"] = kInjected;
            Output out(fs, n(), OldFile::replace, d);
            ASSERT_FALSE(out.create());
            for (int i = 0; i < 3; ++i)
                ASSERT_FALSE(out.write(bytes(block)));
            ASSERT_FALSE(out.write(bytes(std::string(1u << 20, 'c'))));
            ASSERT_FALSE(out.commit()) << refused;
            EXPECT_EQ(std::count_if(fs.log.begin(), fs.log.end(), [](const std::string& c) { return kind(c) == "start_writeback"; }),
                      d == Durability::durable ? 1 : 0);
            EXPECT_EQ(read_file(dir / "N").value_or("").size(), 10u << 20);
        }
    }
}

TEST_F(OutputTest, AnOutputNeverCommittedLeavesNoTemporary)
{
    for (const Rule& rule : kRules) {
        start(rule);
        {
            Output out(platform::system_files(), n(), rule.old, Durability::durable);
            ASSERT_FALSE(out.create());
            ASSERT_FALSE(out.write(bytes("new")));
        }
        EXPECT_EQ(file_names(dir), first_names(rule)) << rule.what;
    }
}

namespace {

#ifdef _WIN32
const platform::SysError kLinkRefusals[] = {{ERROR_INVALID_FUNCTION}, {ERROR_NOT_SUPPORTED}, {ERROR_NOT_SAME_DEVICE},
                                            {ERROR_TOO_MANY_LINKS}, {ERROR_ACCESS_DENIED}};
const platform::SysError kNoReplaceRefusals[] = {{platform::kUnsupported}};
#else
const platform::SysError kLinkRefusals[] = {{EPERM}, {EXDEV}, {EMLINK}, {ENOTSUP}, {EOPNOTSUPP}};
const platform::SysError kNoReplaceRefusals[] = {{platform::kUnsupported}, {EINVAL}, {ENOSYS}, {ENOTSUP}};
#endif

}  // namespace

TEST_F(OutputTest, WithoutLinksTheOldFileMovesAsideByRenamesThatNeverReplace)
{
    const Rule keep = kRules[2];
    if (platform::noreplace_refused(platform::system_files().rename_noreplace(n() + "x", n() + "y"))) {
        // Without either, nothing can keep the old file without a moment
        // in which a rename could replace another: the output is refused.
        start(keep);
        FaultyFs fs(dir.string());
        fs.refuse["link"] = kLinkRefusals[0];
        Outcome r = write(fs, keep);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->fault, Fault::cannot_rename);
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"N"});
        GTEST_SKIP() << "this build has no rename that refuses to replace";
    }
    for (platform::SysError refusal : kLinkRefusals) {
        const std::string what = "link refused with " + error_words(refusal);
        // Moved aside, then the new file in.
        start(keep);
        FaultyFs fs(dir.string());
        fs.refuse["link"] = refusal;
        EXPECT_FALSE(write(fs, keep)) << what;
        EXPECT_EQ(file_names(dir), (std::vector<std::string>{"N", "N.BAK"})) << what;
        EXPECT_EQ(read_file(dir / "N"), "new") << what;
        EXPECT_EQ(read_file(dir / "N.BAK"), "old") << what;

        // A backup that appeared meanwhile is never replaced.
        start(keep);
        write_file(dir / "N.BAK", "precious");
        FaultyFs appeared(dir.string());
        appeared.refuse["link"] = refusal;
        Outcome r = write(appeared, keep);
        ASSERT_TRUE(r) << what;
        EXPECT_EQ(r->fault, Fault::cannot_rename) << what;
        EXPECT_EQ(read_file(dir / "N.BAK"), "precious") << what;
        EXPECT_EQ(read_file(dir / "N"), "old") << what;
        EXPECT_EQ(file_names(dir), (std::vector<std::string>{"N", "N.BAK"})) << what;

        // The second rename refused: the first is undone.
        start(keep);
        FaultyFs second(dir.string());
        second.refuse["link"] = refusal;
        ASSERT_FALSE(write(second, keep));
        int last_rename = -1;
        for (int i = 0; i < second.calls(); ++i)
            if (second.log[static_cast<std::size_t>(i)].starts_with("rename_noreplace N.$$$ N"))
                last_rename = i;
        ASSERT_GE(last_rename, 0) << what;
        start(keep);
        FaultyFs undone(dir.string());
        undone.refuse["link"] = refusal;
        undone.fail_at = last_rename;
        r = write(undone, keep);
        ASSERT_TRUE(r) << what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"N"}) << what;
        EXPECT_EQ(read_file(dir / "N"), "old") << what;
    }
}

TEST_F(OutputTest, WithoutANoReplaceRenameALinkTakesTheNameAndIsTakenBackOnFailure)
{
    const Rule free_name = kRules[3];
    for (platform::SysError refusal : kNoReplaceRefusals) {
        const std::string what = "rename refused with " + error_words(refusal);
        start(free_name);
        FaultyFs fs(dir.string());
        fs.refuse["rename_noreplace"] = refusal;
        EXPECT_FALSE(write(fs, free_name)) << what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"N"}) << what;
        EXPECT_EQ(read_file(dir / "N"), "new") << what;

        // A file that took the name meanwhile is never replaced.
        start(free_name);
        FaultyFs taken(dir.string());
        taken.refuse["rename_noreplace"] = refusal;
        Output out(taken, n(), OldFile::must_not_exist, Durability::durable);
        ASSERT_FALSE(out.create());
        ASSERT_FALSE(out.write(bytes("new")));
        write_file(dir / "N", "precious");
        Outcome r = out.commit();
        ASSERT_TRUE(r) << what;
        EXPECT_EQ(r->fault, Fault::cannot_rename) << what;
        EXPECT_EQ(read_file(dir / "N"), "precious") << what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"N"}) << what;

        // The old name cannot be removed: the link is taken back.
        start(free_name);
        FaultyFs probe(dir.string());
        probe.refuse["rename_noreplace"] = refusal;
        ASSERT_FALSE(write(probe, free_name));
        const auto linked = std::find(probe.log.begin(), probe.log.end(), "link N.$$$ N");
        ASSERT_NE(linked, probe.log.end()) << what;
        ASSERT_EQ(*(linked + 1), "remove N.$$$") << what;
        start(free_name);
        FaultyFs stuck(dir.string());
        stuck.refuse["rename_noreplace"] = refusal;
        stuck.fail_at = static_cast<int>(linked + 1 - probe.log.begin());
        r = write(stuck, free_name);
        ASSERT_TRUE(r) << what;
        EXPECT_EQ(r->fault, Fault::cannot_rename) << what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{}) << what;
    }
}

TEST_F(OutputTest, MoreOutputsThanTheHandlerCanHoldAreRefusedNotLeftUnguarded)
{
    std::vector<std::unique_ptr<Output>> open;
    for (int k = 0; k < platform::kMaxHeldTemps; ++k) {
        open.push_back(std::make_unique<Output>(platform::system_files(), (dir / std::to_string(k)).string(),
                                                OldFile::must_not_exist, Durability::cached));
        ASSERT_FALSE(open.back()->create()) << k;
    }
    Output extra(platform::system_files(), n(), OldFile::must_not_exist, Durability::cached);
    Outcome r = extra.create();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->fault, Fault::write_failed);
    EXPECT_FALSE(fs::exists(dir / "N.$$$"));
    open.pop_back();  // one slot given back is free again
    EXPECT_FALSE(extra.create());
}

#ifndef _WIN32
TEST_F(OutputTest, AnInterruptRemovesTheTemporaryAndEndsTheProcessByTheSignal)
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        write_file(dir / "N", "old");
        const pid_t pid = ::fork();
        if (pid == 0) {
            platform::prepare_process();
            // Two outputs open at once, as bndsplit -x has: the one still
            // open is not forgotten when the other commits.
            Output out(platform::system_files(), n(), OldFile::keep_as_backup, Durability::durable);
            Output other(platform::system_files(), (dir / "M").string(), OldFile::must_not_exist, Durability::cached);
            if (out.create() || out.write(bytes("new")) || other.create() || other.commit())
                ::_exit(3);
            ::raise(sig);
            ::_exit(4);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig << ", status " << status;
        EXPECT_EQ(file_names(dir), (std::vector<std::string>{"M", "N"})) << "signal " << sig;
        EXPECT_EQ(read_file(dir / "N"), "old");
        fs::remove(dir / "M");
    }
}

TEST_F(OutputTest, ASignalTheCallerIgnoredStaysIgnored)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
        platform::prepare_process();
        ::raise(SIGHUP);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(OutputTest, ALostPipeOrAFullFileIsAnErrorNotTheEndOfTheProcess)
{
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    ::close(pipe_ends[0]);  // no reader
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::prepare_process();
        ::dup2(pipe_ends[1], STDOUT_FILENO);
        platform::SysError e = platform::write_stream(platform::Stream::out, "lost\n");
        ::_exit(e.code == EPIPE ? 0 : 5);
    }
    ::close(pipe_ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif
