#include "support.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "bundle.hpp"
#include "programs.hpp"
#include "platform.hpp"

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

std::string message(const msg::Text& text)
{
    return console(kWindows ? text.sjis : text.utf8);
}

testing::AssertionResult is_failure(const std::string& err, const msg::Text& text, const std::string& program,
                                    const std::string& file, const std::string& reason)
{
    const std::string head = message(text) + program + ": " + file + ": ";
    const std::string eol = console("\n");
    bool ok = err.starts_with(head) && err.ends_with(eol) && err.size() > head.size() + eol.size();
    std::string got = ok ? err.substr(head.size(), err.size() - head.size() - eol.size()) : "";
    if (ok && (got.find('\n') != std::string::npos || (!reason.empty() && got != reason)))
        ok = false;
    if (ok)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "standard error is \"" << err << "\"; expected the message, then \""
                                       << program << ": " << file << ": " << (reason.empty() ? "..." : reason) << "\"";
}

testing::AssertionResult fails_as(const RunResult& r, int status, const msg::Text& text, const std::string& program,
                                  const std::string& file, const std::string& reason)
{
    if (r.status != status)
        return testing::AssertionFailure() << "the status is " << r.status << ", not " << status << "; standard error is \""
                                           << r.err << "\"";
    return is_failure(r.err, text, program, file, reason);
}

const Program kPrograms[6] = {
    {"bndsplit", BNDSPLIT_EXE, "Usage: bndsplit [-l] [-x] [-f] [-d DIR] [.BND type file] [maxfiles]\n", "MISSING", {"-l, --list", "-d, --directory=DIR"}, {}},
    {"bndjoin", BNDJOIN_EXE, "Usage: bndjoin [-n] [-d DIR] [--as-is] [--align N] [.BND type file]...\n", "MISSING.d", {"-d, --directory=DIR"}, {}},
    {"varnix", VARNIX_EXE, "Usage: varnix (FLZ0 File)\n", "MISSING", {"-c, --stdout", "-t, --test"}, {}},
    {"flz0pack", FLZ0PACK_EXE, "Usage: flz0pack (File)\n", "MISSING", {"-c, --stdout"}, {}},
    {"bnddiff", BNDDIFF_EXE, "Usage: bnddiff [-d DIR [--original FILE]] [--one-way | --both-ways] OLD [NEW] PATCH\n"
                                 "       bnddiff -r [--one-way | --both-ways] OLDDIR NEWDIR PATCH\n"
                                 "       bnddiff --kit KIT [--kit-files DIR] [-r | -d DIR [--original FILE]] [--one-way | --both-ways] OLD [NEW]\n",
     "MISSING", {"-d, --directory=DIR", "--one-way", "--both-ways", "--original=FILE", "--kit=KIT", "--kit-files=DIR"}, {"NEW", "P"}},
    {"bndpatch", BNDPATCH_EXE,
     "Usage: bndpatch [-R] [-n | -o OUT] BUNDLE PATCH... | bndpatch [-R] [-n] -d DIR PATCH... | bndpatch -l PATCH\n"
     "       bndpatch [-R] [-n | -o OUTDIR] FOLDER PATCH...\n", "MISSING",
     {"-R, --reverse", "-o, --output=OUT", "-d, --directory=DIR", "-l, --list"}, {"P"}},
};

std::vector<std::string> operands(const Program& p, const std::vector<std::string>& named)
{
    std::vector<std::string> all = named;
    all.insert(all.end(), p.others.begin(), p.others.end());
    return all;
}

namespace {

ProgramMain program_of(const std::string& exe)
{
    const std::pair<const char*, ProgramMain> programs[] = {
        {BNDSPLIT_EXE, bndsplit_main}, {BNDJOIN_EXE, bndjoin_main}, {VARNIX_EXE, varnix_main}, {FLZ0PACK_EXE, flz0pack_main},
        {BNDDIFF_EXE, bnddiff_main}, {BNDPATCH_EXE, bndpatch_main}};
    for (const auto& [path, program] : programs)
        if (exe == path)
            return program;
    return nullptr;
}

bool needs_process(const RunOptions& o)
{
    return o.process || o.file_size_limit || !o.stdout_path.empty() || o.merged || o.die_at_limit ||
           o.locale != "C" || o.memory_limit;
}

RunResult run_in_process(ProgramMain program, const std::string& name, const std::vector<std::string>& args,
                         const fs::path& cwd, const RunOptions& options)
{
    const fs::path was = fs::current_path();
    fs::current_path(cwd);
#ifndef _WIN32
    const char* locale = std::getenv("LC_ALL");
    const std::string kept = locale ? locale : "";
    ::setenv("LC_ALL", options.locale.c_str(), 1);
#else
    (void)options;  // a locale is a process's, and Windows takes none from it
#endif
    RunResult r = run_over(platform::system_files(), program, name, args);
#ifndef _WIN32
    if (locale)
        ::setenv("LC_ALL", kept.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
#endif
    fs::current_path(was);
    return r;
}

}  // namespace

RunResult run_over(platform::FileSystem& fs, ProgramMain program, const std::string& name,
                   const std::vector<std::string>& args)
{
    Args argv{name};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::StreamCapture capture;
    platform::capture_streams(&capture);
    RunResult r;
    r.status = program(argv, fs);
    platform::capture_streams(nullptr);
    r.out = std::move(capture.out);
    r.err = std::move(capture.err);
    return r;
}

RunResult run_tool(const std::string& exe, const std::string& name,
                   const std::vector<std::string>& args, const fs::path& cwd,
                   const RunOptions& options)
{
    if (ProgramMain program = program_of(exe); program && !needs_process(options))
        return run_in_process(program, name, args, cwd, options);
    // The captures live outside cwd, so they never show up among the outputs.
    const std::string base = (cwd.parent_path() / (cwd.filename().string() + ".run")).string();
    const std::string out_path = options.stdout_path.empty() ? base + ".out" : options.stdout_path;
    const std::string err_path = options.merged ? out_path : base + ".err";
    RunResult r;
    r.status = spawn_and_wait(exe, name, args, cwd, out_path, err_path, options);
    if (options.stdout_path.empty())
        r.out = read_file(out_path).value_or("");
    if (!options.merged)
        r.err = read_file(err_path).value_or("");
    fs::remove(base + ".out");
    if (!options.merged)
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

std::string make_bundle(const std::vector<std::string>& pieces)
{
    std::vector<std::uint32_t> offsets = {kTableSize};
    for (const std::string& p : pieces)
        offsets.push_back(offsets.back() + static_cast<std::uint32_t>(p.size()));
    std::string bundle = table_bytes(offsets);
    for (const std::string& p : pieces)
        bundle += p;
    return bundle;
}

std::string table_bytes(const std::vector<std::uint32_t>& entries)
{
    const TableBytes table = make_table(entries);
    return std::string(table.begin(), table.end());
}

std::string laid(std::uint32_t first, const std::vector<std::string>& pieces, const std::string& tail,
                 const std::vector<std::uint32_t>& after)
{
    std::vector<std::uint32_t> entries = {first};
    for (const std::string& p : pieces)
        entries.push_back(entries.back() + static_cast<std::uint32_t>(p.size()));
    entries.insert(entries.end(), after.begin(), after.end());
    std::string b = table_bytes(entries);
    if (first < 512)
        b.resize(first);
    else
        b += std::string(first - 512, 'h');
    for (const std::string& p : pieces)
        b += p;
    return b + tail;
}

std::string cutting(int k, std::uint32_t start, std::uint32_t end)
{
    char line[64];
    std::snprintf(line, sizeof line, "cutting ... %03d          [%08x-%08x]\n", k, start, end);
    return line;
}

std::string progress_for(const std::vector<std::string>& pieces, std::size_t n, const char* verb)
{
    std::string out;
    std::uint32_t offset = 512;
    for (std::size_t k = 0; k < n; ++k) {
        const auto end = offset + static_cast<std::uint32_t>(pieces[k].size());
        char line[64];
        std::snprintf(line, sizeof line, "%s ... %03zu          [%08x-%08x]\n", verb, k, offset, end);
        out += line;
        offset = end;
    }
    return out;
}

std::string text_of(std::size_t n)
{
    std::string s;
    for (int line = 0; s.size() < n; ++line)
        s += "Line " + std::to_string(line) + " of the file, with words that repeat: " +
             std::to_string(line * line % 97) + "\r\n";
    return s.substr(0, n);
}

std::string random_bytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

std::span<const std::uint8_t> bytes_of(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

namespace {

// digest -- a file's bytes in brief: their size and a hash
std::string digest(const std::string& bytes)
{
    return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(std::hash<std::string>{}(bytes));
}

}  // namespace

Snapshot snapshot(const fs::path& dir)
{
    Snapshot files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(e.path(), dir).generic_string();
        if (e.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(e.path()).string();
        } else if (e.is_regular_file()) {
            files[name] = digest(read_file(e.path()).value_or(""));
        }
    }
    return files;
}

Snapshot snapshot(const MemFs& files, const std::string& dir)
{
    Snapshot found;
    files.each_file(dir, [&](const std::string& name, const std::string& bytes) { found[name] = digest(bytes); });
    return found;
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

void ScratchTest::clear() const
{
    fs::remove_all(dir);
    fs::create_directory(dir);
}

void ScratchTest::TearDown()
{
    std::error_code ec;
    fs::remove_all(dir.parent_path(), ec);
}
