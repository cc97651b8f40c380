// filterhost's runs over many files: one progress bar over all of them, the
// failures and a summary at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/commands.h"

namespace filterhost {

// A bar on stderr for a run of `files` files, each file's share filled as
// its rows arrive. With one file it shows that file's percent alone.
class ProgressBar {
  public:
    explicit ProgressBar(size_t files) : files_(files == 0 ? 1 : files) {}
    void start_file(size_t index);
    // Percent of the current file; the bar only moves forward (a file with a
    // transparency plane is imported twice).
    void show(int32_t percent);
    // Erases the bar, so that other output can take the line.
    void clear();
    // Ends the bar's line, leaving the bar as it stands.
    void end();

  private:
    void draw(int32_t overall);
    size_t files_;
    size_t index_ = 0;
    size_t drawn_index_ = 0;
    int32_t last_ = -1;
    bool drawn_ = false;
};

// Converts every file to DIR/<its base name>.<to>, going on past files that
// fail. 0 when all were converted, 1 when any failed or DIR cannot be made.
int convert_all(const Modules &modules, Options o, const std::vector<std::string> &files,
                const std::string &to, const std::string &dir, bool bar);

// Describes every file as `info` does, one block per file, going on past
// files that fail. 0 when all were described, 1 when any failed.
int describe_all(const Modules &modules, Options o, const std::vector<std::string> &files,
                 bool bar);

}  // namespace filterhost
