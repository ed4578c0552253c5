// The page's side of bndpatch, natively: its files (web/page_files.*),
// whose bytes stay in a store of their own, and its English headlines.
// The page itself is tested in a browser (page_test.py).
#include <map>

#include "page_files.hpp"
#include "page_run.hpp"
#include "programs.hpp"
#include "support.hpp"

namespace {

// A store that keeps each content's bytes, as the page's script does.
class BytesStore final : public ContentStore {
public:
    platform::Result<std::size_t> read(std::uint32_t id, std::uint64_t at, std::span<std::uint8_t> out) override
    {
        const std::string& bytes = contents[id];
        const std::size_t n = std::min<std::size_t>(out.size(), bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, out.begin());
        return {n, {}};
    }
    platform::SysError append(std::uint32_t id, std::span<const std::uint8_t> data) override
    {
        contents[id].append(data.begin(), data.end());
        return {};
    }
    void drop(std::uint32_t id) override { contents.erase(id); }

    std::map<std::uint32_t, std::string> contents;
};

const std::string kOld = make_bundle({"first piece", "second piece", "third piece"});
const std::string kNew = make_bundle({"first piece", "2nd piece, changed", "third piece"});
const std::string kOther = make_bundle({"first piece", "another version's", "third piece"});

std::string patch_of(const std::string& from, const std::string& to)
{
    MemFs files;
    files.put("A.BND", from);
    files.put("B.BND", to);
    EXPECT_EQ(run_over(files, bnddiff_main, "bnddiff", {"A.BND", "B.BND", "fix.bndpatch"}).status, 0);
    return files.get("fix.bndpatch").value_or("");
}

// The page's files, the bundle and the patch put there as the page's
// script puts them.
struct Page {
    BytesStore store;
    PageFiles files{store};

    void pick(const std::string& path, const std::string& bytes)
    {
        store.contents[files.add(path, bytes.size())] = bytes;
    }
    std::optional<std::string> get(const std::string& path) const
    {
        for (const PageFile& f : files.listing())
            if (f.path == path)
                return store.contents.at(f.content);
        return std::nullopt;
    }
};

TEST(PageFiles, BndpatchSaysAndMakesOnThePageWhatItDoesOnAnyFiles)
{
    const std::string patch = patch_of(kOld, kNew);
    struct Row {
        const char* name;
        const std::string& bundle;
        int status;
    } rows[] = {{"applies", kOld, 0}, {"another version", kOther, 1}, {"already applied", kNew, 3}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemFs files;
        files.put("Game/DATA.BND", row.bundle);
        files.put("fix.bndpatch", patch);
        const RunResult want = run_over(files, bndpatch_main, "bndpatch", {"Game/DATA.BND", "fix.bndpatch"});
        Page page;
        page.pick("Game/DATA.BND", row.bundle);
        page.pick("fix.bndpatch", patch);
        const PageRun got = run_bndpatch(page.files, {"bndpatch", "Game/DATA.BND", "fix.bndpatch"}, Language::japanese);
        EXPECT_EQ(got.status, row.status);
        EXPECT_EQ(got.status, want.status);
        EXPECT_EQ(got.out, want.out);
        EXPECT_EQ(got.err, want.err);
        EXPECT_EQ(page.get("Game/DATA.BND"), files.get("Game/DATA.BND"));
        EXPECT_EQ(page.get("Game/DATA.BND.BAK"), files.get("Game/DATA.BND.BAK"));
        EXPECT_EQ(page.files.listing().size(), row.status == 0 ? 3u : 2u);  // nothing left beside them
    }
}

TEST(PageFiles, ContentGoesWithItsLastNameAndHandle)
{
    Page page;
    page.pick("A", "bytes");
    platform::Result<platform::Handle> h = page.files.open_regular("A", platform::Links::refuse);
    ASSERT_FALSE(h.error);
    EXPECT_FALSE(page.files.link("A", "B"));
    EXPECT_FALSE(page.files.remove("A"));
    EXPECT_FALSE(page.files.rename_replace("B", "C"));
    EXPECT_FALSE(page.files.remove("C"));
    EXPECT_EQ(page.store.contents.size(), 1u);  // still open
    EXPECT_FALSE(page.files.close(h.value));
    EXPECT_TRUE(page.store.contents.empty());
}

TEST(PageRun, EveryJapaneseHeadlineHasItsEnglish)
{
    for (const msg::Text* text : msg::kAllTexts) {
        const std::string detail = "bndpatch: DATA.BND: no such piece\n";
        const std::string english = in_english(std::string(text->utf8) + detail);
        EXPECT_NE(english.substr(0, english.size() - detail.size()), text->utf8);
        EXPECT_TRUE(english.ends_with(detail)) << english;
        for (unsigned char c : english)
            EXPECT_LT(c, 0x80) << english;
    }
}

}  // namespace
