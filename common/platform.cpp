// The parts of the platform layer that are the same on every system.
#include "platform.hpp"

#include <algorithm>

namespace platform {

ReadResult read_full(Handle h, std::span<std::uint8_t> buf)
{
    ReadResult r;
    while (r.count < buf.size()) {
        std::ptrdiff_t n = read_some(h, buf.data() + r.count, buf.size() - r.count);
        if (n < 0)
            r.error = true;
        if (n <= 0)
            break;
        r.count += static_cast<std::size_t>(n);
    }
    return r;
}

bool write_all(Handle h, std::span<const std::uint8_t> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        std::ptrdiff_t n = write_some(h, data.data() + done, data.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

CopyResult copy_exactly(Handle in, Handle out, std::uint64_t size, std::span<std::uint8_t> buf)
{
    std::uint64_t copied = 0;
    while (copied < size) {
        std::span<std::uint8_t> block = buf.first(static_cast<std::size_t>(std::min<std::uint64_t>(size - copied, buf.size())));
        ReadResult r = read_full(in, block);
        if (r.error)
            return {CopyStatus::read_error, copied};
        if (r.count != block.size())
            return {CopyStatus::ended, copied + r.count};
        if (!write_all(out, block))
            return {CopyStatus::write_error, copied};
        copied += block.size();
    }
    return {CopyStatus::done, copied};
}

}  // namespace platform
