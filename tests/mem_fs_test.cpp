// The in-memory file system answers as the system's layer does: each row's
// calls are made on a real directory and on a MemFs that hold the same
// files, and what every call gave, and the files after, must be the same.
#include <algorithm>

#include "support.hpp"

namespace {

using platform::FileSystem;
using Said = std::vector<std::string>;

// code -- an error as a row says it
std::string code(platform::SysError e)
{
    return std::to_string(e.code);
}

// opened -- what open_regular gives, or with `create` create_new, the file
// closed again if it opened
std::string opened(FileSystem& fs, const std::string& path, bool create = false)
{
    platform::Result<platform::Handle> h = create ? fs.create_new(path) : fs.open_regular(path, platform::Links::refuse);
    if (!h.error)
        fs.close(h.value);
    return code(h.error);
}

// looked -- the kind a name holds and the error look gives
std::string looked(FileSystem& fs, const std::string& path)
{
    platform::Result<platform::FileInfo> r = fs.look(path, platform::Links::refuse);
    return std::to_string(static_cast<int>(r.value.kind)) + " " + code(r.error);
}

// listed -- the names list_dir gives, sorted, or its error
std::string listed(FileSystem& fs, const std::string& path)
{
    platform::Result<std::vector<std::string>> r = fs.list_dir(path);
    std::sort(r.value.begin(), r.value.end());
    std::string names = code(r.error);
    for (const std::string& name : r.value)
        names += " " + name;
    return names;
}

// one_file -- whether two names reach one file
std::string one_file(FileSystem& fs, const std::string& a, const std::string& b)
{
    return fs.look(a, platform::Links::refuse).value.id == fs.look(b, platform::Links::refuse).value.id ? "one" : "two";
}

struct Row {
    const char* what;
    std::function<Said(FileSystem& fs, const std::string& d)> calls;
};

const Row kRows[] = {
    {"create_new of a taken name, a directory's, in a missing directory, past a file",
     [](FileSystem& fs, const std::string& d) {
         return Said{opened(fs, d + "/F", true), opened(fs, d + "/D", true), opened(fs, d + "/M/x", true),
                     opened(fs, d + "/F/x", true)};
     }},
    {"open_regular and look of a directory, a missing name, a name past a file",
     [](FileSystem& fs, const std::string& d) {
         return Said{opened(fs, d + "/D"), opened(fs, d + "/M"), opened(fs, d + "/F/x"),
                     looked(fs, d + "/D"), looked(fs, d + "/M"), looked(fs, d + "/F/x")};
     }},
    {"remove of a directory, a missing name, a name in a missing directory",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.remove(d + "/D")), code(fs.remove(d + "/M")), code(fs.remove(d + "/M/x"))};
     }},
    {"make_dir where a file is, where a directory is, in a missing directory; list_dir",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.make_dir(d + "/F")), code(fs.make_dir(d + "/D")), code(fs.make_dir(d + "/M/x")),
                     code(fs.make_dir(d + "/E")), listed(fs, d), listed(fs, d + "/F"), listed(fs, d + "/M")};
     }},
    {"link to a taken name, of a directory; a link is the file under a second name",
     [](FileSystem& fs, const std::string& d) {
         Said said{code(fs.link(d + "/F", d + "/D/G")), code(fs.link(d + "/D", d + "/L")),
                   code(fs.link(d + "/F", d + "/L")), one_file(fs, d + "/F", d + "/L"), one_file(fs, d + "/F", d + "/D/G")};
         said.push_back(code(fs.remove(d + "/F")));
         return said;
     }},
    {"rename_noreplace onto a taken name, then to a free one",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.rename_noreplace(d + "/F", d + "/D/G")), code(fs.rename_noreplace(d + "/F", d + "/N"))};
     }},
    // (No directory renamed: the tools never rename one, and wine lets one
    // replace a file, where Windows does not.)
    {"rename_replace over a directory, a file over a file, of a missing name",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.rename_replace(d + "/F", d + "/D")), code(fs.rename_replace(d + "/D/G", d + "/F")),
                     code(fs.rename_replace(d + "/M", d + "/F"))};
     }},
    {"rename_replace onto another name of the same file",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.link(d + "/F", d + "/L")), code(fs.rename_replace(d + "/F", d + "/L"))};
     }},
    {"exchange of two files, and with a missing name",
     [](FileSystem& fs, const std::string& d) {
         return Said{code(fs.exchange(d + "/F", d + "/D/G")), code(fs.exchange(d + "/F", d + "/M"))};
     }},
    {"a file written past a seek, read while open for writing; one removed while open reads on",
     [](FileSystem& fs, const std::string& d) {
         const std::string abc = "abc", x = "X", y = "Y";
         platform::Result<platform::Handle> w = fs.create_new(d + "/N");
         Said said{code(w.error), code(fs.write(w.value, bytes_of(abc)).error), code(fs.seek(w.value, 5)),
                   code(fs.write(w.value, bytes_of(x)).error)};
         std::uint8_t buf[16];
         said.push_back(code(fs.read(w.value, buf).error));
         said.push_back(std::to_string(fs.info(w.value).value.size));
         said.push_back(code(fs.close(w.value)));
         platform::Result<platform::Handle> r = fs.open_regular(d + "/F", platform::Links::refuse);
         said.push_back(code(fs.remove(d + "/F")));
         platform::Result<std::size_t> got = fs.read(r.value, buf);
         said.push_back(std::string(reinterpret_cast<const char*>(buf), got.value) + " " + code(got.error));
         said.push_back(code(fs.write(r.value, bytes_of(y)).error));
         said.push_back(code(fs.close(r.value)));
         return said;
     }},
};

using MemFsTest = ScratchTest;

}  // namespace

TEST_F(MemFsTest, AnswersEveryCallAsTheSystemsLayerDoes)
{
    for (const Row& row : kRows) {
        const fs::path real = dir / "real";
        fs::remove_all(real);
        fs::create_directories(real / "D");
        write_file(real / "F", "file");
        write_file(real / "D" / "G", "in D");
        MemFs files;
        const std::string mem = (dir / "mem").string();
        files.put(mem + "/F", "file");
        files.put(mem + "/D/G", "in D");
        const Said on_disk = row.calls(platform::system_files(), real.string());
        const Said in_memory = row.calls(files, mem);
        EXPECT_EQ(in_memory, on_disk) << row.what;
        EXPECT_EQ(snapshot(files, mem), snapshot(real)) << row.what;
        EXPECT_EQ(listed(files, mem), listed(platform::system_files(), real.string())) << row.what;
        EXPECT_EQ(files.open_handles(), 0u) << row.what;
    }
}
