// filterhost: lists the modules' formats, identifies files and converts
// between formats by driving the modules as a host application does.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "filters_version.h"
#include "host/batch.h"
#include "host/commands.h"

namespace {

using filterhost::Options;

// What the command line asked for, beyond the options every file shares.
struct Request {
    bool quiet = false;
    std::vector<std::string> files;
    std::string to;
    std::string out_dir;
    std::string plugins_dir;
};

int fail(const std::string &message, int status) {
    std::fprintf(stderr, "filterhost: %s\n", message.c_str());
    return status;
}

// "N" or "N,N,..." in base 10, exactly `count` numbers.
bool parse_ints(const std::string &text, int count, int32_t *out) {
    const char *at = text.c_str();
    for (int i = 0; i < count; ++i) {
        char *end = nullptr;
        long v = std::strtol(at, &end, 10);
        if (end == at || (i + 1 < count && *end != ',') || (i + 1 == count && *end)) return false;
        if (v < INT32_MIN || v > INT32_MAX) return false;
        out[i] = static_cast<int32_t>(v);
        at = end + 1;
    }
    return true;
}

// An option whose value is `count` comma-separated integers, stored through
// `store` once it parsed.
CLI::Option *add_ints(CLI::App *app, const std::string &name, int count, const std::string &shape,
                      const std::string &help, std::function<bool(const int32_t *)> store) {
    return app
        ->add_option_function<std::string>(
            name,
            [=](const std::string &text) {
                int32_t v[4] = {};
                if (!parse_ints(text, count, v) || !store(v))
                    throw CLI::ValidationError(name, "expects " + shape + ", not " + text);
            },
            help)
        ->type_name(shape);
}

// "KEY=N" (a four-character key, a 32-bit integer in base 10) becomes the
// settings file's "KEY=long:N"; anything else is the error text.
std::string plugin_setting_line(std::string &text) {
    const std::string bad = "expects KEY=N (a four-character key, an integer), not " + text;
    if (text.size() < 6 || text[4] != '=') return bad;
    for (int i = 0; i < 4; ++i) {
        const char c = text[i];
        if (c <= ' ' || c > '~' || std::string("=;[]:\\\"'").find(c) != std::string::npos)
            return bad;
    }
    int32_t value;
    if (!parse_ints(text.substr(5), 1, &value)) return bad;
    text = text.substr(0, 4) + "=long:" + std::to_string(value);
    return "";
}

// The options that say how a file is read, shared by info and convert.
void add_reading_options(CLI::App *cmd, Options *o) {
    add_ints(cmd, "--index", 1, "N", "image of a multi-image file (a PNG's alpha plane is 2)",
             [o](const int32_t *v) {
                 o->index = v[0];
                 return true;
             });
    cmd->add_option("--plugin", o->plugin,
                    "offer the file to this plug-in first (through plughost)")
        ->type_name("LIB");
    cmd->add_option("--plugin-dir", o->plugin_dir,
                    "directory of the plug-in's PLGENTRY.INI (default: the plug-in's)")
        ->type_name("DIR");
    cmd->add_option("--filter-id", o->filter_id, "the key looked up in PLGENTRY.INI")
        ->type_name("N");
    cmd->add_option("--ini", o->ini, "the settings file the modules read and write")
        ->type_name("FILE");
}

void add_convert_options(CLI::App *convert, Options *o, Request *r) {
    convert->add_option("FILES", r->files, "IN OUT, or with --to the files to convert")->required();
    // "png" and ".png" name the same extension; an empty one names none.
    const CLI::Validator extension(
        [](std::string &ext) {
            if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
            return ext.empty() ? std::string("an extension is needed") : std::string();
        },
        "");
    auto *to = convert->add_option("--to", r->to, "convert every FILE to this extension")
                   ->type_name("EXT")
                   ->transform(extension);
    auto *out =
        convert->add_option("--out", r->out_dir, "directory the converted files go to")
            ->type_name("DIR")
            ->check(CLI::Validator(
                [](const std::string &dir) {
                    return dir.empty() ? std::string("a directory is needed") : std::string();
                },
                ""));
    to->needs(out);
    out->needs(to);
    add_reading_options(convert, o);
    auto *region = add_ints(convert, "--region", 4, "L,T,R,B",
                            "crop to this inclusive pixel rectangle", [o](const int32_t *v) {
                                o->region = {v[0], v[1], v[2], v[3]};
                                return true;
                            });
    auto *fit = add_ints(convert, "--fit", 2, "W,H", "scale the whole image to W x H",
                         [o](const int32_t *v) {
                             o->region = {0, 0, v[0] - 1, v[1] - 1};
                             o->fit = true;
                             return v[0] > 0 && v[1] > 0;
                         });
    region->excludes(fit);
    convert->add_flag("--interlace", o->interlace, "write an interlaced (Adam7) PNG");
    convert
        ->add_option("--plugin-setting", o->plugin_settings,
                     "a setting for the plug-in that saves: a four-character key and an integer "
                     "(repeatable)")
        ->type_name("KEY=N")
        ->transform(CLI::Validator(plugin_setting_line, ""));
    convert->footer(
        "IN is read by the module that recognises it (netpbm files by filterhost itself),\n"
        "OUT written by the module of its extension (.pbm, .pgm, .ppm by filterhost).\n"
        "Files no module recognises go to the plug-ins of the plug-in folder (those\n"
        "that claim IN's extension first), and so does an OUT extension that only a\n"
        "plug-in writes.\n"
        "With --to EXT --out DIR every FILE becomes DIR/<its base name>.EXT; the run goes\n"
        "on past files that fail, reports each failure and a summary, and ends with\n"
        "status 1 when any failed.");
}

int run_convert(const filterhost::Modules &modules, Options o, const Request &r) {
    const bool bar = !r.quiet && isatty(2);
    if (!r.to.empty()) return filterhost::convert_all(modules, o, r.files, r.to, r.out_dir, bar);
    if (r.files.size() != 2)
        return fail("convert takes IN OUT, or --to EXT --out DIR FILE... (see convert --help)", 2);
    filterhost::ProgressBar progress(1);
    if (bar) o.on_percent = [&progress](int32_t percent) { progress.show(percent); };
    std::string error = filterhost::convert_file(modules, o, r.files[0], r.files[1]);
    progress.end();
    return error.empty() ? 0 : fail(error, 1);
}

int run_info(const filterhost::Modules &modules, const Options &o, const Request &r) {
    if (r.files.size() > 1)
        return filterhost::describe_all(modules, o, r.files, !r.quiet && isatty(2));
    std::string text;
    std::string error = filterhost::describe_file(modules, o, r.files[0], &text);
    std::fputs(text.c_str(), stdout);
    return error.empty() ? 0 : fail(error, 1);
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    Request r;
    CLI::App app("Lists the filter modules' formats, describes image files and converts them.",
                 "filterhost");
    app.set_version_flag("--version", "filterhost " FILTERS_VERSION_STRING,
                         "print filterhost's version and exit");
    app.require_subcommand(1);
    // Options of the whole program stand before or after the command.
    app.fallthrough();
    app.add_option("--modules", o.modules_dir,
                   "directory of the module libraries (default: ../modules next to filterhost)")
        ->type_name("DIR");
    app.add_option("--plugins", r.plugins_dir,
                   "folder of file-format plug-ins run through plughost (default: plugins "
                   "beside the modules' directory)")
        ->type_name("DIR");
    app.add_flag("--quiet", r.quiet, "no progress bar (it shows only when stderr is a terminal)");
    CLI::App *formats = app.add_subcommand("formats", "list each module's format and extensions");
    CLI::App *info = app.add_subcommand("info", "describe files: size, depth, images, palette");
    info->add_option("FILE", r.files, "the files to describe")->required();
    add_reading_options(info, &o);
    CLI::App *convert = app.add_subcommand("convert", "convert files between formats");
    add_convert_options(convert, &o, &r);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
        return fail(std::string(e.what()) + " (see --help)", 2);
    }
    if (o.modules_dir.empty()) o.modules_dir = host::default_module_dir();
    // The modules open the settings file by the name they are given, and
    // Windows takes a name without a full path to be in its own directory.
    std::error_code path_error;
    const std::filesystem::path ini = std::filesystem::absolute(o.ini, path_error);
    if (!o.ini.empty() && !path_error) o.ini = ini.string();
    filterhost::Modules modules = filterhost::load_modules(o.modules_dir);
    // A plug-in named with --plugin is the only one; otherwise the folder's.
    if (o.plugin.empty()) {
        const bool named = !r.plugins_dir.empty();
        std::string error = filterhost::load_plugins(
            &modules, named ? r.plugins_dir : host::default_plugin_dir(o.modules_dir), named);
        if (!error.empty()) return fail(error, 1);
    }
    if (formats->parsed()) {
        std::string error = filterhost::list_formats(modules);
        return error.empty() ? 0 : fail(error, 1);
    }
    if (info->parsed()) return run_info(modules, o, r);
    return run_convert(modules, o, r);
}
