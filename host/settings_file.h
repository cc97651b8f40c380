// Edits of a settings file (the INI file named by iniPath) that filterhost
// makes around a save: one section replaced as a whole, the rest of the file
// kept as it was.
#pragma once

#include <string>
#include <vector>

namespace filterhost {

// The section plughost reads a run's plug-in settings from, on top of the
// settings it stored for the plug-in.
constexpr char kPluginRunSection[] = "Plug-in Settings For This Run";

// `text` with every section named `section` (without regard to case)
// removed and, when `lines` is not empty, the section with those
// "key=value" lines added at the end. Line ends follow the text's (CRLF for
// a new file).
std::string with_section(const std::string &text, const std::string &section,
                         const std::vector<std::string> &lines);

// with_section applied to the file at `path` (a missing file is empty).
bool set_section(const std::string &path, const std::string &section,
                 const std::vector<std::string> &lines);

}  // namespace filterhost
