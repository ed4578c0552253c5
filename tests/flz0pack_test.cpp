// End-to-end tests of the built flz0pack: the files it writes, read back by
// varnix and by a decoder that runs the last group to its end, and what it
// refuses.
#include "fault_fs.hpp"
#include "flz0.hpp"
#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "messages.hpp"
#include "file_plans.hpp"
#include "support.hpp"

namespace {

std::span<const std::uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class Flz0pack : public ScratchTest {
protected:
    RunResult pack(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return run_tool(FLZ0PACK_EXE, "flz0pack", args, dir, options);
    }
};

}  // namespace

TEST_F(Flz0pack, PacksInPlaceAndVarnixGivesTheFileBack)
{
    const struct {
        const char* what;
        std::string data;
    } cases[] = {
        {"text", text_of(30000)},
        {"largest text", text_of(kMaxOriginalSize)},
        {"bytes a text stream would alter", std::string("\r\n\x1a\0\xff", 5)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        write_file(dir / "F", c.data);
        RunResult r = pack({"F"});
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        const std::string file = read_file(dir / "F").value_or("");
        std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(bytes(file));
        EXPECT_TRUE(back && std::string(back->begin(), back->end()) == c.data) << c.what;
        EXPECT_EQ(r.out, console("original = " + std::to_string(c.data.size()) +
                                 " -> compressed = " + std::to_string(file.size() - 8) + "\n"))
            << c.what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"F"}) << c.what;
        ASSERT_EQ(run_tool(VARNIX_EXE, "varnix", {"F"}, dir).status, 0) << c.what;
        EXPECT_TRUE(read_file(dir / "F") == c.data) << c.what;
    }
    EXPECT_EQ(flz0_encode(""), std::string("FLZ0\0\0\0\0", 8));
}

TEST_F(Flz0pack, ADecoderThatRunsTheLastGroupToItsEndReadsExactlyTheText)
{
    const std::string text = text_of(40001);
    write_file(dir / "T", text);
    ASSERT_EQ(pack({"T"}).status, 0);
    std::vector<std::uint8_t> to_end = flz0_group_end_decode(bytes(read_file(dir / "T").value_or("")));
    EXPECT_TRUE(std::string(to_end.begin(), to_end.end()) == text);
}

TEST_F(Flz0pack, RefusalsLeaveTheFileAsItWas)
{
    const std::string flz0 = flz0_encode("already packed");
    fs::create_directory(dir / "D");
    std::vector<std::string> gone = {"D", "MISSING"};
    const struct {
        const char* name;
        std::string data;
        const msg::Text* text;
        int status;
        const char* reason;
    } cases[] = {
        {"BIG", text_of(kMaxOriginalSize + 1), &msg::kTooLarge, 1, "longer than the 65535 bytes an FLZ0 file holds"},
        {"NOISE", random_bytes(60000, 9), &msg::kTooLarge, 1, "compressed, longer than the 65536 bytes readers take"},
        {"PACKED", flz0, &msg::kAlreadyFlz0, 1, "starts with \"FLZ0\""},
        {"MAGIC", "FLZ0", &msg::kAlreadyFlz0, 1, "starts with \"FLZ0\""},
    };
    for (const auto& c : cases) {
        write_file(dir / c.name, c.data);
        RunResult r = pack({c.name});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_TRUE(is_failure(r.err, *c.text, "flz0pack", c.name, c.reason)) << c.name;
        EXPECT_TRUE(read_file(dir / c.name) == c.data) << c.name;
    }
    for (const std::string& name : gone) {
        EXPECT_TRUE(fails_as(pack({name}), 1, msg::kCannotOpen, "flz0pack", name)) << name;
    }
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"BIG", "D", "MAGIC", "NOISE", "PACKED"}));
}


TEST_F(Flz0pack, StdoutOptionWritesTheFlz0FileThereAndTouchesNoFile)
{
    const std::string text = text_of(5000);
    write_file(dir / "F", text);
    write_file(dir / "G", "a second, shorter file; a second, shorter file");
    const Snapshot before = snapshot(dir);
    RunResult r = pack({"-c", "F"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(bytes(r.out));
    EXPECT_TRUE(back && std::string(back->begin(), back->end()) == text);
    EXPECT_EQ(snapshot(dir), before);

    // Two files: the two FLZ0 files end to end, and no line between them.
    RunResult both = pack({"--stdout", "F", "G"});
    EXPECT_EQ(both.status, 0);
    ASSERT_GT(both.out.size(), r.out.size());
    EXPECT_EQ(both.out.substr(0, r.out.size()), r.out);
    back = flz0_reference_decode(bytes(both.out.substr(r.out.size())));
    EXPECT_TRUE(back && std::string(back->begin(), back->end()) == "a second, shorter file; a second, shorter file");
    EXPECT_EQ(snapshot(dir), before);
}

TEST_F(Flz0pack, AFileVarnixDecodedGetsItsOwnFlz0FileBack)
{
    // An FLZ0 file of another encoder's making (literals only), so that
    // getting it back is not the same as compressing again.
    const std::string text = text_of(4000);
    const std::string theirs = flz0_literals(text);
    const struct {
        const char* what;
        std::string backup;  // what FILE.BAK holds after varnix, or is made to hold
        std::string edit;    // appended to FILE before flz0pack
        bool back;           // FILE.BAK takes the name back
        std::size_t cut = 0; // bytes cut off the end of FILE before that
    } cases[] = {
        {"unchanged: the FLZ0 file comes back", theirs, "", true},
        {"edited: compressed again, FILE.BAK left alone", theirs, "an edit", false},
        {"a FILE.BAK that is not FLZ0 is left alone", "the user's own backup", "", false},
        {"a FILE.BAK that decodes to other bytes is left alone", flz0_literals(text_of(3999) + "!"), "", false},
        {"cut short: compressed again, though what is left starts as FILE.BAK does", theirs, "", false, 1},
    };
    for (const auto& c : cases) {
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        write_file(dir / "F", theirs);
        ASSERT_EQ(run_tool(VARNIX_EXE, "varnix", {"F"}, dir).status, 0) << c.what;
        write_file(dir / "F.BAK", c.backup);
        fs::resize_file(dir / "F", text.size() - c.cut);
        append_file(dir / "F", c.edit);
        RunResult r = pack({"F"});
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
        if (c.back) {
            EXPECT_TRUE(read_file(dir / "F") == theirs) << c.what;
            EXPECT_EQ(file_names(dir), std::vector<std::string>{"F"}) << c.what;
            EXPECT_EQ(r.out, console("original = 4000 -> compressed = " + std::to_string(theirs.size() - 8) + "\n"));
        } else {
            std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(bytes(read_file(dir / "F").value_or("")));
            EXPECT_TRUE(back && std::string(back->begin(), back->end()) == text.substr(0, text.size() - c.cut) + c.edit)
                << c.what;
            EXPECT_TRUE(read_file(dir / "F.BAK") == c.backup) << c.what;
        }
    }
}

TEST_F(Flz0pack, NoSizeLineWhenTheNewFileCannotBeMade)
{
    // The size line says a new file is ready: where its temporary cannot
    // be made, or written, there is none to tell of.
    for (const char* call : {"create_new", "write"}) {
        write_file(dir / "F", text_of(3000));
        FaultyFs fs(dir.string());
        fs.refuse[call] = kInjected;
        bool told = false;
        Plan plan;
        Outcome r = plan_pack(fs, (dir / "F").string(), plan);
        if (!r)
            r = commit(fs, plan, [&](const Event& e) {
                told = told || e.what == Tell::packed;
                return Outcome{};
            });
        ASSERT_TRUE(r) << call;
        EXPECT_EQ(r->fault, Fault::write_failed) << call;
        EXPECT_FALSE(told) << call;
        EXPECT_EQ(read_file(dir / "F"), text_of(3000)) << call;
    }
}
