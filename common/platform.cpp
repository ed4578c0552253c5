// The parts of the platform layer that are the same on every system.
#include "platform.hpp"

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

}  // namespace platform
