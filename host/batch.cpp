// Runs of filterhost over many files and the progress bar they share.
#include "host/batch.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

namespace filterhost {
namespace {

constexpr int kBarWidth = 20;

// One file's work: the failure's reason (empty on success) and what to print
// on stdout for it.
using Job = std::function<std::string(const std::string &file, std::string *text)>;

// Runs the job over every file and prints, on stderr, each failure's reason
// and the summary: "N <done>, M failed".
int run_all(const std::vector<std::string> &files, Options &o, bool show_bar, const char *done,
            const Job &job) {
    ProgressBar bar(files.size());
    if (show_bar) o.on_percent = [&bar](int32_t percent) { bar.show(percent); };
    std::vector<std::string> failures;
    for (size_t i = 0; i < files.size(); ++i) {
        if (show_bar) bar.start_file(i);
        std::string text;
        std::string error = job(files[i], &text);
        if (!error.empty()) failures.push_back(error);
        if (text.empty()) continue;
        if (show_bar) bar.clear();
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
    if (show_bar) {
        bar.start_file(files.size());
        bar.end();
    }
    for (const std::string &reason : failures)
        std::fprintf(stderr, "filterhost: %s\n", reason.c_str());
    const std::string summary = std::to_string(files.size() - failures.size()) + " " + done + ", " +
                                std::to_string(failures.size()) + " failed";
    std::fprintf(stderr, "filterhost: %s\n", summary.c_str());
    return failures.empty() ? 0 : 1;
}

}  // namespace

void ProgressBar::start_file(size_t index) {
    index_ = index;
    show(0);
}

void ProgressBar::show(int32_t percent) {
    if (percent < 0 || percent > 100) return;
    const int32_t overall =
        static_cast<int32_t>((index_ * 100 + static_cast<size_t>(percent)) / files_);
    if (overall < last_ || (overall == last_ && drawn_ && index_ == drawn_index_)) return;
    last_ = overall;
    draw(overall);
}

void ProgressBar::draw(int32_t overall) {
    const int filled = overall * kBarWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "####################", kBarWidth - filled,
                 "", overall);
    if (files_ > 1) {
        const std::string count =
            std::to_string(index_ < files_ ? index_ + 1 : files_) + "/" + std::to_string(files_);
        std::fprintf(stderr, " %s", count.c_str());
    }
    std::fflush(stderr);
    drawn_ = true;
    drawn_index_ = index_;
}

void ProgressBar::clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 30, "");
    drawn_ = false;
}

void ProgressBar::end() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}

int convert_all(const Modules &modules, Options o, const std::vector<std::string> &files,
                const std::string &to, const std::string &dir, bool bar) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "filterhost: cannot create %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    // Output path -> the input it was written from, so that two inputs of one
    // base name (a/x.png, b/x.mac) do not silently leave only the last.
    std::map<std::string, std::string> written;
    auto job = [&](const std::string &in, std::string *) -> std::string {
        const std::string out = (fs::path(dir) / fs::path(in).stem()).string() + "." + to;
        auto earlier = written.find(out);
        if (earlier != written.end()) return out + ": already written from " + earlier->second;
        std::error_code ignored;
        if (fs::equivalent(in, out, ignored)) return out + ": would replace its input";
        std::string reason = convert_file(modules, o, in, out);
        if (reason.empty()) written[out] = in;
        return reason;
    };
    return run_all(files, o, bar, "converted", job);
}

int describe_all(const Modules &modules, Options o, const std::vector<std::string> &files,
                 bool bar) {
    bool first = true;
    auto job = [&](const std::string &path, std::string *text) -> std::string {
        std::string block = (first ? "" : "\n") + std::string("file: ") + path + "\n";
        std::string reason = describe_file(modules, o, path, &block);
        if (!reason.empty()) return reason;
        first = false;
        *text = block;
        return "";
    };
    return run_all(files, o, bar, "described", job);
}

}  // namespace filterhost
