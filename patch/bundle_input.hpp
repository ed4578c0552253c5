// A bundle read for a patch: its table, its pieces, the bytes outside
// them, and its bytes in order from the table to the end; from a file, or
// from a bundle only planned (the one bnddiff -d compares).
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
    explicit BundleInput(ByteSource& bytes) : bytes_(bytes) {}

    // open -- its table read, its pieces listed and the bytes outside them
    // read; a bundle whose pieces do not all lie after its table and
    // within it cannot be patched a piece at a time
    Outcome open();
    // piece -- piece k's stored bytes, none where the table lists no piece k
    Outcome piece(std::size_t k, Bytes& out);
    // next_piece -- the next piece's stored bytes in order, from piece 0,
    // each byte of the bundle fed to `whole` in order (the table and the
    // head before piece 0, the tail after the last)
    Outcome next_piece(Bytes& out, Sha256* whole);

    const std::string& path() const { return bytes_.name(); }
    std::uint64_t size() const { return bytes_.size(); }
    const Frame& frame() const { return frame_; }
    const std::vector<Piece>& pieces() const { return pieces_; }

private:
    ByteSource& bytes_;
    Frame frame_;
    std::vector<Piece> pieces_;
    std::size_t next_ = 0;  // the piece next_piece gives
};
