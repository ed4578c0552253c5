// WebAssembly side of the platform layer, for the page that applies a
// patch in a browser (web/). The page has no processes, signals, threads
// or console: its standard streams are always captured (capture_streams)
// and shown by the page, and a task that would run on a second thread
// runs on the caller's. Its files are the ones the player picked, which
// the page keeps: system_files() is defined with them (web/page_files.cpp).
#include "platform.hpp"

#include <cerrno>
#include <cstring>

namespace platform {

// The page captures both streams before every run; a write that reaches
// here found no capture, and has nowhere to go.
SysError system_write_stream(Stream, std::string_view)
{
    return SysError{EBADF};
}

bool system_is_console(Stream)
{
    return false;
}

SysError write_console(Stream, std::string_view)
{
    return SysError{kUnsupported};
}

std::string native_text(std::string_view utf8)
{
    return std::string(utf8);
}

std::optional<std::string> locale_codeset()
{
    return std::string("UTF-8");  // a page is UTF-8
}

void prepare_process() {}

// No thread is ever started: start_thread's callers then do the task
// themselves.
struct Thread {};

Thread* start_thread(void (*)(void*), void*)
{
    return nullptr;
}

void join_thread(Thread*) {}

// Nothing interrupts a page's run part-way: a temporary is always removed
// by its own output, and no slot needs keeping.
Result<int> hold_temp(const std::string&)
{
    return {kNoSlot, {}};
}

void release_temp(int) {}

void remove_held_temps() {}

std::vector<std::string> held_temps()
{
    return {};
}

ConsoleState console_state()
{
    return {};
}

void wait_for_key() {}

}  // namespace platform
