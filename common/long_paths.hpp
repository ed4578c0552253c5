// Paths past the old length limit of Windows. A name of 260 characters or
// more (248 for a directory, which must leave room for a short 8.3 name)
// reaches the system only as a full path with the `\\?\` prefix, which
// the system takes as it is: no `.` or `..` resolved, no `/` read as `\`.
// So the full path is made first, by the system, and the prefix put on it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// From this length on, a path is given in its extended form. The lower
// limit, a directory's, serves every name: the prefix is right for any.
inline constexpr std::size_t kLongPath = 248;

// is_extended -- whether a path already bypasses the limit: `\\?\`
// (extended) or `\\.\` (a device)
bool is_extended(std::u16string_view path);

// extended_path -- a full path (`C:\...`, or `\\server\share\...`) in
// extended form: `\\?\C:\...`, `\\?\UNC\server\share\...`; any other as
// it is
std::u16string extended_path(std::u16string_view full);

// system_form -- the form a name takes at a call, given the full path the
// system makes of it: where that is long, the full path in extended form;
// else the name as given, so that the system reads a short name exactly
// as every other program's
std::u16string system_form(std::u16string_view name, std::u16string_view full);
