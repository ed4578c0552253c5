// The entry of a program on POSIX: the arguments as given, in the
// locale's bytes.
#include "command.hpp"
#include "platform.hpp"

int main(int argc, char** argv)
{
    platform::prepare_process();
    return tool_main(Args(argv, argv + argc));
}
