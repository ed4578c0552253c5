// assemble_page TEMPLATE SCRIPT WORKER MODULE OUT -- the page as one file:
// the template with the page's texts (from messages.hpp, as JSON), its
// script, its worker's script and its module (base64) put in the places
// marked for them, so that the page needs nothing beside it and works
// opened from a file. A build step: it fails, naming the file, where a
// file cannot be read or written.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "messages.hpp"

namespace {

enum Arg { kTemplate = 1, kScript, kWorker, kModule, kOut, kArgs };

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 120;  // base64 characters a line

bool read_file(const char* path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::perror(path);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string base64(std::string_view bytes)
{
    std::string out;
    for (std::size_t k = 0; k < bytes.size(); k += 3) {
        unsigned v = static_cast<unsigned char>(bytes[k]) << 16;
        if (k + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[k + 1]) << 8;
        if (k + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[k + 2]);
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += k + 1 < bytes.size() ? kBase64[(v >> 6) & 63] : '=';
        out += k + 2 < bytes.size() ? kBase64[v & 63] : '=';
        if (out.size() % (kLineLength + 1) == kLineLength)
            out += '\n';
    }
    return out;
}

// json_string -- text as a JSON string that can stand inside a script
// element: '<' escaped, so that no "</script" can end it
std::string json_string(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (c == '\n')
            out += "\\n";
        else if (c == '<')
            out += "\\u003c";
        else
            out += c;
    }
    return out + "\"";
}

// texts -- every page text, by its key: [English, Japanese]
std::string texts()
{
    std::string out = "{";
    for (const msg::PageText& t : msg::kPageTexts)
        out += (out.size() > 1 ? ",\n" : "\n") + json_string(t.key) + ": [" + json_string(t.english) + ", " +
               json_string(t.japanese) + "]";
    return out + "\n}";
}

// fill -- the template's one mark replaced; false where it has none
bool fill(std::string& page, std::string_view mark, const std::string& with)
{
    const std::size_t at = page.find(mark);
    if (at == std::string::npos)
        return false;
    page.replace(at, mark.size(), with);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != kArgs)
        return 2;
    std::string page, script, worker, module;
    if (!read_file(argv[kTemplate], page) || !read_file(argv[kScript], script) || !read_file(argv[kWorker], worker) ||
        !read_file(argv[kModule], module))
        return 1;
    if (!fill(page, "@TEXTS@", texts()) || !fill(page, "@MODULE@", base64(module)) || !fill(page, "@WORKER@", worker) ||
        !fill(page, "@SCRIPT@", script))
        return 1;
    std::ofstream out(argv[kOut], std::ios::binary);
    out << page;
    out.close();
    if (!out) {
        std::perror(argv[kOut]);
        return 1;
    }
    return 0;
}
