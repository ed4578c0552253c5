#include "bundle_input.hpp"

#include "messages.hpp"
#include "text.hpp"

Outcome BundleInput::read_at(std::uint64_t at, ByteString& out)
{
    platform::Result<std::size_t> r = read_full_at(in_.fs(), in_.handle(), at, out);
    if (r.error)
        return system_failure(Fault::read_failed, in_.path(), r.error);
    if (r.value != out.size())  // it shrank since it was looked at
        return tool_failure(Fault::read_failed, in_.path(),
                            format_text(msg::kEndedAfterFormat, static_cast<unsigned long long>(at + r.value),
                                        static_cast<unsigned long long>(size_)));
    return {};
}

Outcome BundleInput::open()
{
    if (in_.error())
        return system_failure(Fault::cannot_open, in_.path(), in_.error());
    platform::Result<platform::FileInfo> info = in_.fs().info(in_.handle());
    if (info.error)
        return system_failure(Fault::cannot_open, in_.path(), info.error);
    size_ = info.value.size;
    if (size_ < kTableSize)
        return tool_failure(Fault::bad_piece, in_.path(), msg::kNoTableToPatch);
    ByteString table(kTableSize);
    if (Outcome f = read_at(0, table))
        return f;
    std::copy(table.begin(), table.end(), frame_.table.begin());
    pieces_ = enumerate_pieces(frame_.table, kMaxPieces);
    if (pieces_.empty() || pieces_.front().start < kTableSize || pieces_.back().end > size_)
        return tool_failure(Fault::bad_piece, in_.path(), msg::kNotPiecewise);
    frame_.head.resize(pieces_.front().start - kTableSize);
    frame_.tail.resize(static_cast<std::size_t>(size_ - pieces_.back().end));
    if (Outcome f = read_at(kTableSize, frame_.head))
        return f;
    return read_at(pieces_.back().end, frame_.tail);
}

Outcome BundleInput::piece(std::size_t k, ByteString& out)
{
    out.clear();
    if (k >= pieces_.size())
        return {};
    out.resize(pieces_[k].size());
    return read_at(pieces_[k].start, out);
}

Outcome BundleInput::next_piece(ByteString& out, Sha256* whole)
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

Side side_of(std::span<const std::uint8_t> bytes)
{
    return Side{true, bytes.size(), sha256(bytes)};
}
