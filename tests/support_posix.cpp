#include "support.hpp"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void exec_child(const std::string& exe, std::vector<std::string> argv,
                             const fs::path& cwd, int out_fd, int err_fd,
                             const RunOptions& options)
{
    if (::chdir(cwd.c_str()) != 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0)
        ::_exit(127);
    ::setenv("LC_ALL", options.locale.c_str(), 1);
    if (options.file_size_limit) {
        // Ignored, a write past the limit fails with EFBIG instead of
        // killing the process.
        std::signal(SIGXFSZ, options.die_at_limit ? SIG_DFL : SIG_IGN);
        rlimit lim{options.file_size_limit, options.file_size_limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    if (options.memory_limit) {
        rlimit lim{options.memory_limit, options.memory_limit};
        ::setrlimit(RLIMIT_AS, &lim);
    }
    std::vector<char*> ptrs;
    for (std::string& a : argv)
        ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    ::execv(exe.c_str(), ptrs.data());
    ::_exit(127);
}

int open_capture(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

}  // namespace

int open_descriptors()
{
    std::error_code ec;
    int n = 0;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return ec ? -1 : n;
}

int spawn_and_wait(const std::string& exe, const std::string& name, const std::vector<std::string>& args,
                   const fs::path& cwd, const std::string& out_path, const std::string& err_path,
                   const RunOptions& options)
{
    // Merged streams share one open file, and so one position in it.
    int out_fd = open_capture(out_path);
    int err_fd = err_path == out_path ? ::dup(out_fd) : open_capture(err_path);
    std::vector<std::string> argv{name};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = ::fork();
    if (pid == 0)
        exec_child(exe, argv, cwd, out_fd, err_fd, options);
    ::close(out_fd);
    ::close(err_fd);
    int wstatus = 0;
    if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        return WEXITSTATUS(wstatus);
    return -1;
}

void* hold_open(const fs::path&)
{
    return nullptr;
}

void let_go(void*) {}
