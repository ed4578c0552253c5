// A run of bndpatch on the page, as the page shows it: the same run the
// program makes, over the page's files, its streams captured, and on an
// English page each Japanese headline in English.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform.hpp"

enum class Language { english, japanese };

// What a run printed and returned.
struct PageRun {
    int status = 0;
    std::string out;
    std::string err;
};

// run_bndpatch -- bndpatch with these arguments (its name first) over fs
PageRun run_bndpatch(platform::FileSystem& fs, const std::vector<std::string>& args, Language language);

// in_english -- text with every line that is a Japanese headline (UTF-8)
// put in English
std::string in_english(std::string_view text);
