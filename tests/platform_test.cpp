// The platform layer's promises, and the swap built on it, tested on real
// files. The swap's calls go through a seam, so that any one of them can
// fail, or stop the run as a crash would.
#include "platform.hpp"

#include "replace.hpp"
#include "support.hpp"

namespace {

using Platform = ScratchTest;

std::string p(const fs::path& path)
{
    return path.string();
}

using RenameFn = bool (*)(const std::string& from, const std::string& to);

}  // namespace

TEST_F(Platform, RenamesNeverReplaceAnExistingFile)
{
    for (RenameFn rename : {platform::rename_noreplace, platform::rename_by_link}) {
        write_file(dir / "a", "A");
        ASSERT_TRUE(rename(p(dir / "a"), p(dir / "b")));
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"b"});
        EXPECT_EQ(read_file(dir / "b"), "A");

        write_file(dir / "c", "C");
        EXPECT_FALSE(rename(p(dir / "c"), p(dir / "b")));
        EXPECT_EQ(read_file(dir / "b"), "A");
        EXPECT_EQ(read_file(dir / "c"), "C");

        EXPECT_FALSE(rename(p(dir / "missing"), p(dir / "d")));
        EXPECT_FALSE(fs::exists(dir / "d"));
        fs::remove(dir / "b");
        fs::remove(dir / "c");
    }
}

TEST_F(Platform, MakeDirCreatesReusesOrRefuses)
{
    EXPECT_EQ(platform::make_dir(p(dir / "d")), platform::DirResult::created);
    EXPECT_EQ(platform::make_dir(p(dir / "d")), platform::DirResult::existed);
    write_file(dir / "f", "file");
    EXPECT_EQ(platform::make_dir(p(dir / "f")), platform::DirResult::failed);
    EXPECT_EQ(platform::make_dir(p(dir / "no" / "such")), platform::DirResult::failed);
    EXPECT_EQ(read_file(dir / "f"), "file");
}

namespace {

// A seam around the system's calls: the call numbered `stop_at` (counting
// from 0) is not made, and the run ends there, as in a crash; the one
// numbered `fail_at` fails; links can be refused as on FAT.
struct Seam {
    int calls = 0;
    int stop_at = -1;
    int fail_at = -1;
    bool no_links = false;
};
Seam seam;

struct Stopped {};

// made -- count a call: false if it is to fail; throws where the run stops
bool made()
{
    int n = seam.calls++;
    if (n == seam.stop_at)
        throw Stopped{};
    return n != seam.fail_at;
}

const SwapCalls kSeamCalls = {
    [](const std::string& from, const std::string& to) {
        if (!made())
            return platform::LinkResult::failed;
        return seam.no_links ? platform::LinkResult::unsupported : platform::link_file(from, to);
    },
    [](const std::string& from, const std::string& to) { return made() && platform::rename_over(from, to); },
    [](const std::string& from, const std::string& to) { return made() && platform::rename_noreplace(from, to); },
    [](const std::string& path) { return made() && platform::remove_file(path); },
    [](const std::string& path) { return made() && platform::sync_dir(path); },
};

class Swap : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        seam = Seam{};
    }
    void start()
    {
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        write_file(dir / "N", "old");
        write_file(dir / "N.$$$", "new");
        seam.calls = 0;
    }
    // swap -- the swap with a backup kept; false when it stopped part-way
    bool swap(SwapStatus expected)
    {
        try {
            SwapResult r = swap_in(p(dir / "N"), p(dir / "N.$$$"), OldFile::keep_as_backup, Durable::yes, kSeamCalls);
            EXPECT_EQ(r.status, expected);
            return true;
        } catch (const Stopped&) {
            return false;
        }
    }
};

}  // namespace

TEST_F(Swap, StoppedAtAnyCallTheNameHoldsAWholeFileAndTheOldOneSurvives)
{
    for (int stop = 0; stop < 4; ++stop) {
        start();
        seam.stop_at = stop;
        bool finished = swap(SwapStatus::done);
        EXPECT_EQ(finished, stop >= 3) << "stopped at call " << stop;  // link, rename, sync
        std::optional<std::string> now = read_file(dir / "N");
        EXPECT_TRUE(now == "old" || now == "new") << "stopped at call " << stop;
        EXPECT_TRUE(now == "old" || read_file(dir / "N.BAK") == "old") << "stopped at call " << stop;
    }
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"N", "N.BAK"}));
    EXPECT_EQ(read_file(dir / "N"), "new");
}

TEST_F(Swap, FailureAtAnyCallLeavesThingsAsTheyWereOrFinal)
{
    const struct {
        const char* what;
        bool no_links;
        int fail_at;
        SwapStatus status;
        std::vector<std::string> names;
        const char* now;
    } cases[] = {
        {"link refused", false, 0, SwapStatus::rename_failed, {"N", "N.$$$"}, "old"},
        {"rename refused: the link is taken back", false, 1, SwapStatus::rename_failed, {"N", "N.$$$"}, "old"},
        {"directory sync failed: names are final", false, 2, SwapStatus::sync_failed, {"N", "N.BAK"}, "new"},
        {"no links: two renames", true, -1, SwapStatus::done, {"N", "N.BAK"}, "new"},
        {"no links, first rename refused", true, 1, SwapStatus::rename_failed, {"N", "N.$$$"}, "old"},
        {"no links, second rename refused: moved back", true, 2, SwapStatus::rename_failed, {"N", "N.$$$"}, "old"},
    };
    for (const auto& c : cases) {
        start();
        seam.no_links = c.no_links;
        seam.fail_at = c.fail_at;
        ASSERT_TRUE(swap(c.status)) << c.what;
        EXPECT_EQ(file_names(dir), c.names) << c.what;
        EXPECT_EQ(read_file(dir / "N"), c.now) << c.what;
    }
}

TEST_F(Swap, ABackupThatAppearedMeanwhileIsNeverReplaced)
{
    for (bool no_links : {false, true}) {
        start();
        write_file(dir / "N.BAK", "precious");
        seam.no_links = no_links;
        ASSERT_TRUE(swap(SwapStatus::rename_failed));
        EXPECT_EQ(read_file(dir / "N.BAK"), "precious") << no_links;
        EXPECT_EQ(read_file(dir / "N"), "old") << no_links;
        EXPECT_EQ(read_file(dir / "N.$$$"), "new") << no_links;
    }
}
