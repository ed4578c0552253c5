// A libFuzzer entry around one check from checks.hpp; FUZZ_CHECK names it.
#include <cstdio>
#include <cstdlib>

#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string failure = FUZZ_CHECK(FuzzData(data, size));
    if (!failure.empty()) {
        std::fprintf(stderr, "check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
