// What decoding a file in place and packing one share: a buffer the size
// of what it holds, read from an open file, and a new file written beside
// the one it replaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "failure.hpp"
#include "files.hpp"
#include "output.hpp"

// A buffer whose bytes are left as they are, since every one that is used
// is written first: an image by the read, an output by the decoder.
struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::span<std::uint8_t> span() const { return {bytes.get(), size}; }
};

// allocate -- a buffer of the given size; a failure that names what it was for
Outcome allocate(Buffer& buf, std::size_t size, const std::string& path, const char* what);

// opened -- a failure when the input could not be opened
Outcome opened(const InputFile& in);

// read_input -- as much of the open file as buf holds; buf's size becomes
// what was read
Outcome read_input(const InputFile& in, Buffer& buf);

// write_beside -- data into the output, with the permissions of the file it replaces
Outcome write_beside(Output& out, const InputFile& in, std::span<const std::uint8_t> data);
