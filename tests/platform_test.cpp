// The platform layer's promises, tested on real files.
#include "platform.hpp"

#include "inplace.hpp"
#include "support.hpp"

namespace {

using Platform = ScratchTest;

std::string p(const fs::path& path)
{
    return path.string();
}

}  // namespace

TEST_F(Platform, RenamesNeverReplaceAnExistingFile)
{
    for (platform::RenameFn rename : {platform::rename_noreplace, platform::rename_by_link}) {
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

int renames_seen = 0;

// Lets every rename through but the second.
bool second_rename_fails(const std::string& from, const std::string& to)
{
    return ++renames_seen != 2 && platform::rename_noreplace(from, to);
}

}  // namespace

TEST_F(Platform, FailedSecondMovePutsTheInputBack)
{
    write_file(dir / "N", "compressed");
    write_file(dir / "N.$$$", "decoded");
    renames_seen = 0;
    EXPECT_FALSE(swap_in(p(dir / "N"), p(dir / "N.$$$"), p(dir / "N.BAK"), second_rename_fails));
    EXPECT_EQ(renames_seen, 3);
    EXPECT_EQ(read_file(dir / "N"), "compressed");
    EXPECT_EQ(read_file(dir / "N.$$$"), "decoded");
    EXPECT_FALSE(fs::exists(dir / "N.BAK"));

    EXPECT_TRUE(swap_in(p(dir / "N"), p(dir / "N.$$$"), p(dir / "N.BAK"), platform::rename_noreplace));
    EXPECT_EQ(read_file(dir / "N"), "decoded");
    EXPECT_EQ(read_file(dir / "N.BAK"), "compressed");
}
