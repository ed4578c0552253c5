// A bundle read for a patch: its table, its pieces, the bytes outside
// them, and its bytes in order from the table to the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "failure.hpp"
#include "files.hpp"
#include "patch.hpp"
#include "platform.hpp"
#include "sha256.hpp"

class BundleInput {
public:
    BundleInput(platform::FileSystem& fs, const std::string& path, platform::Links links) : in_(fs, path, links) {}

    // open -- the file opened, its table read, its pieces listed and the
    // bytes outside them read; a bundle whose pieces do not all lie after
    // its table and within it cannot be patched a piece at a time
    Outcome open();
    // piece -- piece k's stored bytes, none where the table lists no piece k
    Outcome piece(std::size_t k, ByteString& out);
    // next_piece -- the next piece's stored bytes in order, from piece 0,
    // each byte of the file fed to `whole` in order (the table and the
    // head before piece 0, the tail after the last)
    Outcome next_piece(ByteString& out, Sha256* whole);

    const std::string& path() const { return in_.path(); }
    std::uint64_t size() const { return size_; }
    const Frame& frame() const { return frame_; }
    const std::vector<Piece>& pieces() const { return pieces_; }
    platform::Handle handle() const { return in_.handle(); }
    void close() { in_.close(); }

private:
    Outcome read_at(std::uint64_t at, ByteString& out);

    InputFile in_;
    std::uint64_t size_ = 0;
    Frame frame_;
    std::vector<Piece> pieces_;
    std::size_t next_ = 0;  // the piece next_piece gives
};

// Side of bytes: their size and hash.
Side side_of(std::span<const std::uint8_t> bytes);
