// The system's own calls keep their promises, on real files.
#include "platform.hpp"

#include "output.hpp"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include "render.hpp"
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
        ASSERT_FALSE(e) << error_words(e);
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
    ASSERT_FALSE(e) << error_words(e);
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
        EXPECT_FALSE(r.error) << c.name << ": " << error_words(r.error);
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

TEST(PlatformErrors, EachKindOfRefusalIsToldFromAFailure)
{
#ifndef _WIN32
    const struct {
        int code;
        bool link, noreplace, dir_sync;
    } cases[] = {
        {EPERM, true, false, false},   {EXDEV, true, false, false},   {EMLINK, true, false, false},
        {ENOTSUP, true, true, true},   {EINVAL, false, true, true},   {ENOSYS, false, true, false},
        {EIO, false, false, false},    {ENOSPC, false, false, false}, {EEXIST, false, false, false},
        {platform::kUnsupported, false, true, false},
    };
    for (const auto& c : cases) {
        const platform::SysError e{c.code};
        EXPECT_EQ(platform::link_refused(e), c.link) << c.code;
        EXPECT_EQ(platform::noreplace_refused(e), c.noreplace) << c.code;
        EXPECT_EQ(platform::dir_sync_refused(e), c.dir_sync) << c.code;
    }
#else
    GTEST_SKIP() << "the system's codes differ";
#endif
}

TEST(PlatformSync, ADirectoryWhoseFileSystemKeepsNoDirectoryDataSyncsWithoutFailing)
{
#ifndef _WIN32
    // Linux keeps /proc in no storage, and an fsync of a directory there
    // fails with EINVAL: a real refusal, where this system gives one.
    const int d = ::open("/proc", O_RDONLY | O_DIRECTORY);
    if (d < 0)
        GTEST_SKIP() << "no /proc here";
    const bool refused = ::fsync(d) != 0 && (errno == EINVAL || errno == ENOTSUP);
    ::close(d);
    if (!refused)
        GTEST_SKIP() << "a directory sync in /proc is not refused here";
    const platform::SysError e = sys().sync_dir("/proc");
    EXPECT_FALSE(e) << error_words(e);
#else
    GTEST_SKIP() << "Windows syncs no directory apart";
#endif
}

#ifndef _WIN32
TEST_F(Platform, CreateNewNeverOpensWhatHasTheNameAndAFifoIsNeverOpened)
{
    write_file(dir / "f", "kept");
    fs::create_symlink("f", dir / "link");
    fs::create_symlink("nowhere", dir / "dangling");
    for (const char* name : {"f", "link", "dangling"}) {
        platform::Result<platform::Handle> r = sys().create_new(p(dir / name));
        EXPECT_EQ(r.error.code, EEXIST) << name;
    }
    EXPECT_EQ(read_file(dir / "f"), "kept");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));

    // A FIFO with a writer waiting: opening it would let the writer go on.
    ASSERT_EQ(::mkfifo(p(dir / "fifo").c_str(), 0600), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int fd = ::open(p(dir / "fifo").c_str(), O_WRONLY);  // waits for a reader
        ::_exit(fd < 0 ? 3 : 4);
    }
    ::usleep(50000);
    for (platform::Links links : {platform::Links::follow, platform::Links::refuse}) {
        platform::Result<platform::Handle> r = sys().open_regular(p(dir / "fifo"), links);
        EXPECT_EQ(r.error.code, platform::kNotRegular);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(writer, &status, WNOHANG), 0) << "the writer went on: the FIFO was opened";
    ::kill(writer, SIGKILL);
    ::waitpid(writer, &status, 0);
}
#endif
