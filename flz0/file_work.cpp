#include "file_work.hpp"

#include <new>

Outcome allocate(Buffer& buf, std::size_t size, const std::string& path, const char* what)
{
    buf.bytes.reset(new (std::nothrow) std::uint8_t[size]);
    buf.size = buf.bytes ? size : 0;
    if (!buf.bytes)
        return tool_failure(Fault::no_memory, path, std::string(msg::kNoMemoryFor) + what);
    return {};
}

Outcome opened(const InputFile& in)
{
    if (in.error())
        return system_failure(Fault::cannot_open, in.path(), in.error());
    return {};
}

Outcome read_input(const InputFile& in, Buffer& buf)
{
    platform::Result<std::size_t> r = read_full(in.fs(), in.handle(), buf.span());
    if (r.error)
        return system_failure(Fault::cannot_open, in.path(), r.error);
    buf.size = r.value;
    return {};
}

Outcome write_beside(Output& out, const InputFile& in, std::span<const std::uint8_t> data)
{
    if (Outcome f = out.create())
        return f;
    if (Outcome f = out.write(data))
        return f;
    return out.copy_attributes_of(in.handle());
}
