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
    if (options.file_size_limit) {
        // A write past the limit then fails with EFBIG instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{options.file_size_limit, options.file_size_limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    std::vector<char*> ptrs;
    for (std::string& a : argv)
        ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    ::execv(exe.c_str(), ptrs.data());
    ::_exit(127);
}

int open_capture(const fs::path& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

}  // namespace

RunResult run_tool(const std::string& exe, const std::string& name,
                   const std::vector<std::string>& args, const fs::path& cwd,
                   const RunOptions& options)
{
    // The captures live outside cwd, so they never show up among the outputs.
    fs::path base = cwd.parent_path() / (cwd.filename().string() + ".run");
    std::string out_path = options.stdout_path.empty() ? base.string() + ".out" : options.stdout_path;
    int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int err_fd = open_capture(base.string() + ".err");
    std::vector<std::string> argv{name};
    argv.insert(argv.end(), args.begin(), args.end());

    RunResult r;
    pid_t pid = ::fork();
    if (pid == 0)
        exec_child(exe, argv, cwd, out_fd, err_fd, options);
    ::close(out_fd);
    ::close(err_fd);
    int wstatus = 0;
    if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    if (options.stdout_path.empty())
        r.out = read_file(out_path).value_or("");
    r.err = read_file(base.string() + ".err").value_or("");
    fs::remove(base.string() + ".out");
    fs::remove(base.string() + ".err");
    return r;
}
