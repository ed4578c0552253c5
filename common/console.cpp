#include "console.hpp"

void say(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void complain(std::string_view text)
{
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

int fail(std::string_view text, int status)
{
    complain(text);
    return status;
}

bool finish_stdout()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
