// bnddiff --kit's plan over a file system in memory: the kit folder it
// takes its files from, and a file it lacks refused with nothing written.
// The zip, the readme's hashes, the scripts and what is replaced are
// checked from outside, by kit_check.py.
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

// put_kit_folder -- a kit folder whose files each say where they are; the
// one named "x86-less" lacks x86/bndpatch.exe
void put_kit_folder(MemFs& files, const std::string& folder)
{
    files.make_dirs(folder + "/x64");
    files.make_dirs(folder + "/x86");
    files.put(folder + "/bndpatch.html", "page in " + folder);
    files.put(folder + "/x64/bndpatch.exe", "x64 in " + folder);
    if (!folder.ends_with("x86-less"))
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
        {"a file missing", {"/k/x86-less", kBeside}, "/k/x86-less", kProgramDir, "", Why::no_kit_file,
         "/k/x86-less/x86/bndpatch.exe"},
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
            EXPECT_EQ(snapshot(files, "/out"), Snapshot{});
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

}  // namespace
