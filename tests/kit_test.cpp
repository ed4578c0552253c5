// bnddiff --kit's plan over a file system in memory: the kit folder it
// takes its files from, a file it lacks refused with nothing written, and
// a file in the kit's place replaced only where it is a kit. The zip's
// bytes, the readme's hashes and the scripts are checked from outside, by
// kit_check.py.
#include "bndtools.hpp"
#include "console.hpp"
#include "render.hpp"
#include "support.hpp"

namespace {

const std::string kProgramDir = "/opt/bt/bin";
const std::string kBeside = "/opt/bt/bin/kit";
const std::string kInstalled = "/opt/bt/share/bndtools";
const std::string kGiven = "/home/me/unpacked";
const std::string kKit = "/out/K.zip";

// put_kit_folder -- a kit folder whose files each say where they are
void put_kit_folder(MemFs& files, const std::string& folder, bool with_x86 = true)
{
    files.make_dirs(folder + "/x64");
    files.make_dirs(folder + "/x86");
    files.put(folder + "/bndpatch.html", "page in " + folder);
    files.put(folder + "/x64/bndpatch.exe", "x64 in " + folder);
    if (with_x86)
        files.put(folder + "/x86/bndpatch.exe", "x86 in " + folder);
}

// make_kit -- the kit planned and committed; the kit folder taken
Outcome make_kit(MemFs& files, const std::string& given, const std::string& program_dir, std::string& folder)
{
    const KitRequest rq{.kit = kKit, .files = given, .program_dir = program_dir, .patch_name = "DATA.BND.bndpatch"};
    KitFiles found;
    KitPlan kit;
    Outcome f = gather_kit(files, rq, found);
    folder = found.folder;
    if (!f)
        f = plan_kit(rq, found, held(Bytes{'P', 'A', 'T', 'C', 'H'}), {"readme\n", "bat\r\n", "sh\n"}, kit);
    return f ? f : commit(files, kit.plan, tell_nothing);
}

TEST(Kit, TheKitFolderIsTheOneGivenElseBesideTheProgramElseItsInstall)
{
    const struct {
        const char* name;
        std::vector<std::string> folders;  // the kit folders there
        std::string given;
        std::string program_dir;
        std::string taken;    // or, where none is, the failure's
        Why why;
        std::string file;
    } cases[] = {
        {"beside the program", {kBeside}, "", kProgramDir, kBeside, Why::none, ""},
        {"installed", {kInstalled}, "", kProgramDir, kInstalled, Why::none, ""},
        {"beside the program first", {kInstalled, kBeside}, "", kProgramDir, kBeside, Why::none, ""},
        {"the one given alone", {kBeside, kGiven}, kGiven, kProgramDir, kGiven, Why::none, ""},
        {"the one given, with the program's folder unknown", {kGiven}, kGiven, "", kGiven, Why::none, ""},
        {"none", {}, "", kProgramDir, "", Why::no_kit_folder, kBeside},
        {"the program's folder unknown", {kBeside}, "", "", "", Why::kit_folder_unknown, kKit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemFs files;
        files.make_dirs("/out");
        for (const std::string& f : c.folders)
            put_kit_folder(files, f);
        std::string folder;
        const Outcome f = make_kit(files, c.given, c.program_dir, folder);
        if (c.why != Why::none) {
            ASSERT_TRUE(f);
            EXPECT_EQ(f->detail.why, c.why);
            EXPECT_EQ(f->detail.file, c.file);
            EXPECT_FALSE(files.get(kKit));
            continue;
        }
        ASSERT_FALSE(f) << reason_text(f->detail);
        EXPECT_EQ(folder, c.taken);
        const std::optional<std::string> zip = files.get(kKit);
        ASSERT_TRUE(zip);
        for (const char* what : {"page in ", "x64 in ", "x86 in "})
            EXPECT_NE(zip->find(what + c.taken), std::string::npos) << what;
    }
}

TEST(Kit, AKitFolderWithoutAFileMakesNoKit)
{
    MemFs files;
    files.make_dirs("/out");
    put_kit_folder(files, kBeside, false);
    put_kit_folder(files, kInstalled);  // not looked at: the first folder is the kit folder
    const Snapshot before = snapshot(files, "/");
    std::string folder;
    const Outcome f = make_kit(files, "", kProgramDir, folder);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fault, Fault::cannot_open);
    EXPECT_EQ(f->detail.why, Why::no_kit_file);
    EXPECT_EQ(f->detail.file, kBeside + "/x86/bndpatch.exe");
    EXPECT_EQ(reason_text(f->detail),
              "is missing: the 32-bit Windows build makes it (cmake --workflow --preset windows-x86); or give "
              "--kit-files DIR, a folder that holds all three (an unpacked kit is one); nothing was written");
    EXPECT_EQ(snapshot(files, "/"), before);
}

TEST(Kit, OnlyAKitIsReplaced)
{
    const struct {
        const char* name;
        std::string there;  // at the kit's name; "" for a kit made before
        bool replaced;
    } cases[] = {
        {"a kit", "", true},
        {"a zip without the kit's comment", "PK\x05\x06" + std::string(18, '\0'), false},
        {"a file ending in the comment alone", std::string(22, 'x') + "bndtools kit", false},
        {"a file shorter than an end record", "bndtools kit", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemFs files;
        files.make_dirs("/out");
        put_kit_folder(files, kGiven);
        std::string folder;
        if (c.there.empty())
            ASSERT_FALSE(make_kit(files, kGiven, "", folder));
        else
            files.put(kKit, c.there);
        files.put(kGiven + "/bndpatch.html", "a new page");
        const std::optional<std::string> was = files.get(kKit);
        const Outcome f = make_kit(files, kGiven, "", folder);
        if (c.replaced) {
            EXPECT_FALSE(f);
            EXPECT_NE(files.get(kKit)->find("a new page"), std::string::npos);
        } else {
            ASSERT_TRUE(f);
            EXPECT_EQ(f->fault, Fault::cannot_rename);
            EXPECT_EQ(f->detail.why, Why::not_a_kit_to_replace);
            EXPECT_EQ(files.get(kKit), was);
        }
    }
}

}  // namespace
