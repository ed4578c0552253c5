// The system's own calls keep their promises, on real files.
#include "platform.hpp"

#include "output.hpp"
#include "support.hpp"

namespace {

using Platform = ScratchTest;

std::string p(const fs::path& path)
{
    return path.string();
}

platform::FileSystem& sys()
{
    return platform::system_files();
}

}  // namespace

TEST_F(Platform, RenamesThatMustNotReplaceNeverDo)
{
    // The system's call where it has one, and the mechanism's, which falls
    // back to a link where it has none.
    using Rename = std::function<platform::SysError(const std::string&, const std::string&)>;
    const Rename renames[] = {
        [](const std::string& a, const std::string& b) { return sys().rename_noreplace(a, b); },
        [](const std::string& a, const std::string& b) { return rename_noreplace(sys(), a, b); },
    };
    for (const Rename& rename : renames) {
        write_file(dir / "a", "A");
        platform::SysError e = rename(p(dir / "a"), p(dir / "b"));
        if (e.code == platform::kUnsupported)
            continue;  // a build without the call: the second row covers it
        ASSERT_FALSE(e) << platform::error_text(e);
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"b"});
        EXPECT_EQ(read_file(dir / "b"), "A");

        write_file(dir / "c", "C");
        EXPECT_TRUE(rename(p(dir / "c"), p(dir / "b")));
        EXPECT_EQ(read_file(dir / "b"), "A");
        EXPECT_EQ(read_file(dir / "c"), "C");

        EXPECT_TRUE(rename(p(dir / "missing"), p(dir / "d")));
        EXPECT_FALSE(fs::exists(dir / "d"));
        fs::remove(dir / "b");
        fs::remove(dir / "c");
    }
}

TEST_F(Platform, ExchangeSwapsTwoFilesOrSaysItCannot)
{
    write_file(dir / "a", "A");
    write_file(dir / "b", "B");
    platform::SysError e = sys().exchange(p(dir / "a"), p(dir / "b"));
    if (e.code == platform::kUnsupported) {
        EXPECT_EQ(read_file(dir / "a"), "A");
        GTEST_SKIP() << "this build has no exchange";
    }
    ASSERT_FALSE(e) << platform::error_text(e);
    EXPECT_EQ(read_file(dir / "a"), "B");
    EXPECT_EQ(read_file(dir / "b"), "A");
}

TEST_F(Platform, MakeDirCreatesReusesOrRefuses)
{
    EXPECT_FALSE(sys().make_dir(p(dir / "d")));
    EXPECT_FALSE(sys().make_dir(p(dir / "d")));
    write_file(dir / "f", "file");
    EXPECT_TRUE(sys().make_dir(p(dir / "f")));
    EXPECT_TRUE(sys().make_dir(p(dir / "no" / "such")));
    EXPECT_EQ(read_file(dir / "f"), "file");
}

TEST_F(Platform, LookTellsWhatANameHoldsAndNothingIsNoError)
{
    write_file(dir / "f", "12345");
    fs::create_directory(dir / "d");
    const struct {
        std::string name;
        platform::Kind kind;
    } cases[] = {
        {"f", platform::Kind::regular},
        {"d", platform::Kind::directory},
        {"missing", platform::Kind::none},
        {"missing/below", platform::Kind::none},
        {"f/below", platform::Kind::none},
    };
    for (const auto& c : cases) {
        platform::Result<platform::FileInfo> r = sys().look(p(dir / c.name), platform::Links::refuse);
        EXPECT_FALSE(r.error) << c.name << ": " << platform::error_text(r.error);
        EXPECT_EQ(r.value.kind, c.kind) << c.name;
    }
    EXPECT_EQ(sys().look(p(dir / "f"), platform::Links::follow).value.size, 5u);
    if (!kWindows) {
        fs::create_symlink("f", dir / "link");
        EXPECT_EQ(sys().look(p(dir / "link"), platform::Links::refuse).value.kind, platform::Kind::other);
        EXPECT_EQ(sys().look(p(dir / "link"), platform::Links::follow).value.kind, platform::Kind::regular);
    }
}

TEST_F(Platform, ParentDirKeepsARootButNoOtherSeparator)
{
    const struct {
        const char* path;
        const char* parent;
        bool windows_only;
    } cases[] = {
        {"N", ".", false},         {"d/N", "d", false},       {"/N", "/", false},        {"a/b/N", "a/b", false},
        {"C:N", "C:", true},       {"C:\\N", "C:\\", true},   {"d\\N", "d", true},
    };
    for (const auto& c : cases) {
        if (kWindows || !c.windows_only) {
            EXPECT_EQ(platform::parent_dir(c.path), c.parent) << c.path;
        }
    }
}
