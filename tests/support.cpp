#include "support.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

std::string console(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (kWindows && c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

RunResult run_tool(const std::string& exe, const std::string& name,
                   const std::vector<std::string>& args, const fs::path& cwd,
                   const RunOptions& options)
{
    // The captures live outside cwd, so they never show up among the outputs.
    const std::string base = (cwd.parent_path() / (cwd.filename().string() + ".run")).string();
    const std::string out_path = options.stdout_path.empty() ? base + ".out" : options.stdout_path;
    const std::string err_path = base + ".err";
    RunResult r;
    r.status = spawn_and_wait(exe, name, args, cwd, out_path, err_path, options);
    if (options.stdout_path.empty())
        r.out = read_file(out_path).value_or("");
    r.err = read_file(err_path).value_or("");
    fs::remove(base + ".out");
    fs::remove(err_path);
    return r;
}

void write_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good()) << path;
}

void append_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::app);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good()) << path;
}

std::optional<std::string> read_file(const fs::path& path)
{
    if (!fs::is_regular_file(path))
        return std::nullopt;
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<std::string> file_names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void ScratchTest::SetUp()
{
    std::random_device random;
    fs::path base;
    do
        base = fs::temp_directory_path() / ("bndtools-test-" + std::to_string(random()));
    while (!fs::create_directory(base));
    dir = base / "work";
    fs::create_directory(dir);
}

void ScratchTest::TearDown()
{
    std::error_code ec;
    fs::remove_all(dir.parent_path(), ec);
}
