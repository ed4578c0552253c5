#include "long_paths.hpp"

namespace {

constexpr std::u16string_view kExtended = u"\\\\?\\";
constexpr std::u16string_view kDevice = u"\\\\.\\";
constexpr std::u16string_view kServer = u"\\\\";
constexpr std::u16string_view kExtendedServer = u"\\\\?\\UNC\\";

bool drive_path(std::u16string_view p)
{
    const bool letter = p.size() >= 3 && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
    return letter && p[1] == u':' && p[2] == u'\\';
}

}  // namespace

bool is_extended(std::u16string_view path)
{
    return path.starts_with(kExtended) || path.starts_with(kDevice);
}

std::u16string extended_path(std::u16string_view full)
{
    if (is_extended(full))
        return std::u16string(full);
    if (drive_path(full))
        return std::u16string(kExtended) + std::u16string(full);
    if (full.starts_with(kServer))
        return std::u16string(kExtendedServer) + std::u16string(full.substr(kServer.size()));
    return std::u16string(full);
}

std::u16string system_form(std::u16string_view name, std::u16string_view full)
{
    if (is_extended(name) || full.size() < kLongPath)
        return std::u16string(name);
    return extended_path(full);
}
