#include "describe.hpp"

#include "messages.hpp"
#include "naming.hpp"
#include "text.hpp"

namespace {

std::string bundle_line(const char* name, const BundleId& id)
{
    return format_text(msg::kPatchBundleFormat, name, static_cast<unsigned long long>(id.size), id.pieces,
                       hex_of(id.hash).c_str());
}

std::string entry_line(const Entry& e)
{
    const std::string name = entry_name(e);
    const int word = !e.old_side.present ? 1 : !e.new_side.present ? 2 : 0;
    const auto old_size = static_cast<unsigned long long>(e.old_side.size);
    const auto new_size = static_cast<unsigned long long>(e.new_side.size);
    const std::string sizes = word == 0 ? format_text(msg::kSizesChangeFormat, old_size, new_size)
                                        : format_text(msg::kSizeFormat, word == 1 ? new_size : old_size);
    std::string how;
    if (e.new_side.present)
        how = format_text(e.forward.how == Remake::flz0 ? msg::kFromContentFormat : msg::kFromStoredFormat,
                          e.forward.delta.size() + e.forward.after.size());
    return format_text(msg::kEntryFormat, name.c_str(), msg::kEntryWords[word], sizes.c_str(), how.c_str());
}

}  // namespace

std::string entry_name(const Entry& e)
{
    return e.piece == kFrame ? std::string(msg::kFrameName)
                             : format_text(msg::kPieceNameFormat, piece_file_name(static_cast<int>(e.piece)).c_str());
}

std::string describe_patch(const Patch& patch)
{
    std::string text = bundle_line(msg::kOldName, patch.old_bundle) + bundle_line(msg::kNewName, patch.new_bundle);
    for (const Entry& e : patch.entries)
        text += entry_line(e);
    if (one_way(patch))
        text += msg::kOneWayLine;
    return text;
}
