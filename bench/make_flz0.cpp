// make_flz0 -- encode a file (its first 65,535 bytes) as FLZ0 with the test encoder
//
//     make_flz0 input output
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "flz0.hpp"
#include "flz0_encoder.hpp"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_flz0 input output\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    data.resize(std::min(data.size(), kMaxOriginalSize));
    std::string file = flz0_encode(data);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!in || !out) {
        std::fprintf(stderr, "make_flz0: cannot read %s or write %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
