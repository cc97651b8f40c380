#include "host/settings_file.h"

#include <cctype>
#include <filesystem>
#include <sstream>

#include "host/host.h"

namespace filterhost {
namespace {

std::string trimmed(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

bool same_name(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The name of a "[name]" line, or false.
bool section_line(const std::string &line, std::string *name) {
    std::string t = trimmed(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    *name = trimmed(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

}  // namespace

std::string with_section(const std::string &text, const std::string &section,
                         const std::vector<std::string> &lines) {
    const std::string eol = text.empty() || text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string out, line, name;
    std::istringstream in(text);
    bool dropping = false, last_blank = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (section_line(line, &name)) dropping = same_name(name, section);
        if (dropping) continue;
        out += line + eol;
        last_blank = trimmed(line).empty();
    }
    if (lines.empty()) return out;
    if (!last_blank) out += eol;
    out += "[" + section + "]" + eol;
    for (const std::string &l : lines) out += l + eol;
    return out;
}

bool set_section(const std::string &path, const std::string &section,
                 const std::vector<std::string> &lines) {
    std::vector<uint8_t> bytes;
    std::error_code ignored;
    // A file that is there but cannot be read is not replaced.
    if (!host::read_file(path, &bytes) && std::filesystem::exists(path, ignored)) return false;
    const std::string text = with_section(std::string(bytes.begin(), bytes.end()), section, lines);
    return host::write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace filterhost
