// The module the page runs (WebAssembly): bndpatch over the page's files,
// reached from the page's script (web/worker.js) by the calls exported
// below. The bytes of the files stay in the script, which the module asks
// for them through the three calls it imports.
//
// Strings cross in the module's memory: the script asks for a buffer
// (page_buffer), writes UTF-8 into it and names its length in the next
// call; texts come back as a pointer (page_result) and a size
// (page_result_size), good until the next run.
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "page_files.hpp"
#include "page_run.hpp"

#define PAGE_IMPORT(name) __attribute__((import_module("page"), import_name(name)))
#define PAGE_EXPORT(name) extern "C" __attribute__((export_name(name)))

extern "C" {
// read -- bytes of content `id` from `at` into `to`: how many, or -1 where
// the browser could not read them
PAGE_IMPORT("read") int page_read(std::uint32_t id, double at, std::uint8_t* to, std::uint32_t size);
// append -- bytes after the end of content `id`: 0, or -1 where the
// browser could not keep them
PAGE_IMPORT("append") int page_append(std::uint32_t id, const std::uint8_t* from, std::uint32_t size);
// drop -- content `id` is no longer needed
PAGE_IMPORT("drop") void page_drop(std::uint32_t id);
}

namespace {

// What page_result gives.
enum Result { kOut, kErr, kListing };

// The page's contents, kept by its script.
class ScriptStore final : public ContentStore {
public:
    platform::Result<std::size_t> read(std::uint32_t id, std::uint64_t at, std::span<std::uint8_t> out) override
    {
        const int got = page_read(id, static_cast<double>(at), out.data(), static_cast<std::uint32_t>(out.size()));
        if (got < 0)
            return {0, platform::SysError{EIO}};
        return {static_cast<std::size_t>(got), {}};
    }

    platform::SysError append(std::uint32_t id, std::span<const std::uint8_t> data) override
    {
        if (page_append(id, data.data(), static_cast<std::uint32_t>(data.size())) != 0)
            return platform::SysError{ENOMEM};
        return {};
    }

    void drop(std::uint32_t id) override { page_drop(id); }
};

ScriptStore g_store;
PageFiles g_files(g_store);
std::vector<std::uint8_t> g_buffer;
std::string g_results[3];

// listing -- every file the page holds, a line each: content, size, name
std::string listing()
{
    std::string text;
    for (const PageFile& f : g_files.listing())
        text += std::to_string(f.content) + '\t' + std::to_string(f.size) + '\t' + f.path + '\n';
    return text;
}

// arguments -- the buffer's first `size` bytes, split at each zero byte
std::vector<std::string> arguments(std::uint32_t size)
{
    std::vector<std::string> args(1);
    for (std::uint32_t k = 0; k < size; ++k) {
        if (g_buffer[k] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(g_buffer[k]);
    }
    return args;
}

}  // namespace

// page_buffer -- room for `size` bytes the script writes
PAGE_EXPORT("page_buffer") std::uint8_t* page_buffer(std::uint32_t size)
{
    g_buffer.resize(size);
    return g_buffer.data();
}

// page_add -- a file the player picked, named by the buffer's first
// `name_size` bytes: its content number, 0 where the name is taken
PAGE_EXPORT("page_add") std::uint32_t page_add(std::uint32_t name_size, double size)
{
    return g_files.add(std::string(g_buffer.begin(), g_buffer.begin() + name_size), static_cast<std::uint64_t>(size));
}

// page_run -- bndpatch with the arguments in the buffer (its name first,
// each ended by a zero byte but the last); its exit status
PAGE_EXPORT("page_run") int page_run(std::uint32_t args_size, int english)
{
    PageRun run = run_bndpatch(g_files, arguments(args_size), english ? Language::english : Language::japanese);
    g_results[kOut] = std::move(run.out);
    g_results[kErr] = std::move(run.err);
    g_results[kListing] = listing();
    return run.status;
}

PAGE_EXPORT("page_result") const char* page_result(int which)
{
    return g_results[which].data();
}

PAGE_EXPORT("page_result_size") std::uint32_t page_result_size(int which)
{
    return static_cast<std::uint32_t>(g_results[which].size());
}

// page_clear -- every file let go, for the next run
PAGE_EXPORT("page_clear") void page_clear()
{
    g_files.clear();
}

// The page's files are the system's files of this build.
platform::FileSystem& platform::system_files()
{
    return g_files;
}
