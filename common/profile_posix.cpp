// Profile (INI) files for the POSIX build, following the Windows rules: the
// first matching section and key win, names compare without regard to case,
// values lose surrounding blanks and one pair of enclosing quotes, lines that
// start with ';' are comments. Files are read whole and rewritten whole.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/platform.h"

namespace flt {
namespace {

std::string trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool read_lines(const char *file, std::vector<std::string> *lines, bool *crlf) {
    FILE *f = std::fopen(file, "rb");
    if (!f) return false;
    std::string all;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) all.append(chunk, n);
    std::fclose(f);
    *crlf = all.find("\r\n") != std::string::npos || all.empty();
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines->push_back(line);
        start = end + 1;
    }
    return true;
}

// Section name of a "[name]" line, or false.
bool section_of(const std::string &line, std::string *name) {
    std::string t = trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    *name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// Key and value of a "key=value" line, or false for blanks and comments.
bool entry_of(const std::string &line, std::string *key, std::string *value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = trim(t.substr(0, eq));
    *value = trim(t.substr(eq + 1));
    return true;
}

bool same_name(const std::string &a, const char *b) {
    return strcasecmp(a.c_str(), b) == 0;
}

std::string unquote(const std::string &v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        return v.substr(1, v.size() - 2);
    return v;
}

// Index range [first, end) of the lines of the first section named `section`
// (first is the header line), or false.
bool find_section(const std::vector<std::string> &lines, const char *section, size_t *first,
                  size_t *end) {
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!section_of(lines[i], &name) || !same_name(name, section)) continue;
        size_t j = i + 1;
        while (j < lines.size() && !section_of(lines[j], &name)) ++j;
        *first = i;
        *end = j;
        return true;
    }
    return false;
}

bool find_key(const std::vector<std::string> &lines, size_t first, size_t end, const char *key,
              size_t *at, std::string *value) {
    std::string k, v;
    for (size_t i = first + 1; i < end; ++i) {
        if (entry_of(lines[i], &k, &v) && same_name(k, key)) {
            *at = i;
            *value = v;
            return true;
        }
    }
    return false;
}

uint32_t copy_out(const std::string &s, char *buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    size_t n = s.size() < size - 1 ? s.size() : size - 1;
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

// The NUL-separated, double-NUL-ended list form for a null key.
uint32_t copy_list(const std::vector<std::string> &names, char *buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    uint32_t pos = 0;
    for (const std::string &n : names) {
        if (pos + n.size() + 1 > size - 1) {
            // Truncated: keep what fits, end with two NULs, report size - 2.
            size_t room = size - 2 - pos;
            std::memcpy(buffer + pos, n.data(), room);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + pos, n.c_str(), n.size() + 1);
        pos += static_cast<uint32_t>(n.size() + 1);
    }
    buffer[pos] = '\0';
    return pos;
}

bool lookup(const char *section, const char *key, const char *file, std::string *value) {
    std::vector<std::string> lines;
    bool crlf = false;
    if (!section || !key || !file || !read_lines(file, &lines, &crlf)) return false;
    size_t first, end, at;
    if (!find_section(lines, section, &first, &end)) return false;
    if (!find_key(lines, first, end, key, &at, value)) return false;
    *value = unquote(*value);
    return true;
}

uint32_t key_list(const char *section, const char *file, char *buffer, uint32_t size) {
    std::vector<std::string> lines, names;
    bool crlf = false;
    size_t first, end;
    if (file && read_lines(file, &lines, &crlf) && find_section(lines, section, &first, &end)) {
        std::string k, v;
        for (size_t i = first + 1; i < end; ++i)
            if (entry_of(lines[i], &k, &v)) names.push_back(k);
    }
    return copy_list(names, buffer, size);
}

// Integer parsing of the profile: blanks, a sign, an optional 0x / 0o / 0b
// prefix, then digits up to the first character that is not one.
int32_t parse_profile_int(const std::string &s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned base = 10;
    if (i + 1 < s.size() && s[i] == '0') {
        char p = static_cast<char>(s[i + 1] | 0x20);
        if (p == 'x') base = 16;
        if (p == 'o') base = 8;
        if (p == 'b') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t value = 0;
    for (; i < s.size(); ++i) {
        char c = static_cast<char>(s[i] | 0x20);
        unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                         : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                                : 99u;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

bool write_lines(const char *file, const std::vector<std::string> &lines, bool crlf) {
    FILE *f = std::fopen(file, "wb");
    if (!f) return false;
    const char *eol = crlf ? "\r\n" : "\n";
    bool ok = true;
    for (const std::string &l : lines)
        ok = ok && std::fputs(l.c_str(), f) >= 0 && std::fputs(eol, f) >= 0;
    return std::fclose(f) == 0 && ok;
}

void set_entry(std::vector<std::string> *lines, const char *section, const char *key,
               const char *value) {
    size_t first, end, at;
    std::string old;
    if (!find_section(*lines, section, &first, &end)) {
        if (!key || !value) return;
        if (!lines->empty() && !trim(lines->back()).empty()) lines->push_back("");
        lines->push_back(std::string("[") + section + "]");
        lines->push_back(std::string(key) + "=" + value);
        return;
    }
    if (!key) {
        lines->erase(lines->begin() + static_cast<long>(first),
                     lines->begin() + static_cast<long>(end));
        return;
    }
    if (find_key(*lines, first, end, key, &at, &old)) {
        if (value)
            (*lines)[at] = std::string(key) + "=" + value;
        else
            lines->erase(lines->begin() + static_cast<long>(at));
        return;
    }
    if (!value) return;
    size_t insert = end;
    while (insert > first + 1 && trim((*lines)[insert - 1]).empty()) --insert;
    lines->insert(lines->begin() + static_cast<long>(insert), std::string(key) + "=" + value);
}

}  // namespace

int32_t platform_profile_int(const char *section, const char *key, int32_t def, const char *file) {
    try {
        std::string value;
        if (!lookup(section, key, file, &value) || value.empty()) return def;
        return parse_profile_int(value);
    } catch (const std::bad_alloc &) {
        return def;
    }
}

uint32_t platform_profile_string(const char *section, const char *key, const char *def,
                                 char *buffer, uint32_t size, const char *file) {
    try {
        if (section && !key) return key_list(section, file, buffer, size);
        std::string value;
        if (!lookup(section, key, file, &value)) value = trim(def ? def : "");
        return copy_out(value, buffer, size);
    } catch (const std::bad_alloc &) {
        return copy_out("", buffer, size);
    }
}

bool platform_profile_write(const char *section, const char *key, const char *value,
                            const char *file) {
    if (!section || !file) return false;
    try {
        std::vector<std::string> lines;
        bool crlf = true;  // new files get Windows line ends, as the Windows build writes them
        read_lines(file, &lines, &crlf);
        set_entry(&lines, section, key, value);
        return write_lines(file, lines, crlf);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

}  // namespace flt
