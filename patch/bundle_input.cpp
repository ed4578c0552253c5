#include "bundle_input.hpp"

#include "bundle_file.hpp"

Outcome BundleInput::open()
{
    if (size() < kTableSize)
        return tool_failure(Fault::bad_piece, path(), Why::no_table_to_patch);
    if (Outcome f = read_table(bytes_, frame_.table))
        return f;
    pieces_ = enumerate_pieces(frame_.table, kMaxPieces);
    if (pieces_.empty() || pieces_.front().start < kTableSize || pieces_.back().end > size())
        return tool_failure(Fault::bad_piece, path(), Why::not_piecewise);
    frame_.head.resize(pieces_.front().start - kTableSize);
    frame_.tail.resize(static_cast<std::size_t>(size() - pieces_.back().end));
    if (Outcome f = bytes_.read(kTableSize, frame_.head))
        return f;
    return bytes_.read(pieces_.back().end, frame_.tail);
}

Outcome BundleInput::piece(std::size_t k, Bytes& out)
{
    out.clear();
    if (k >= pieces_.size())
        return {};
    out.resize(pieces_[k].size());
    return bytes_.read(pieces_[k].start, out);
}

Outcome BundleInput::next_piece(Bytes& out, Sha256* whole)
{
    const std::size_t k = next_++;
    if (whole && k == 0) {
        whole->update(frame_.table);
        whole->update(frame_.head);
    }
    if (Outcome f = piece(k, out))
        return f;
    if (whole) {
        whole->update(out);
        if (k + 1 == pieces_.size())
            whole->update(frame_.tail);
    }
    return {};
}
