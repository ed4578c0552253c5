#include "page_run.hpp"

#include "messages.hpp"
#include "programs.hpp"

PageRun run_bndpatch(platform::FileSystem& fs, const std::vector<std::string>& args, Language language)
{
    platform::StreamCapture capture;
    platform::capture_streams(&capture);
    const int status = bndpatch_main(args, fs);
    platform::capture_streams(nullptr);
    if (language == Language::english)
        capture.err = in_english(capture.err);
    return PageRun{status, std::move(capture.out), std::move(capture.err)};
}

std::string in_english(std::string_view text)
{
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(0, next);
        std::string_view english = line;
        for (const msg::EnglishHeadline& h : msg::kEnglishHeadlines)
            if (line == h.text->utf8)
                english = h.english;
        out += english;
        text.remove_prefix(next);
    }
    return out;
}
