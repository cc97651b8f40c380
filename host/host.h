// A small host for filter modules: loads a module, owns its FilterRecord and
// implements the callbacks a host application provides. filterhost and the
// tests drive every module through it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/filter.h"

namespace host {

// A decoded image: rows top to bottom, each row_bytes() long, unpadded;
// palette entries blue, green, red.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t xResolution = 0;
    int32_t yResolution = 0;
    std::vector<uint8_t> palette;
    std::string comment;
    std::vector<uint8_t> pixels;

    size_t row_bytes() const;
    uint8_t *row(int32_t top_index) { return pixels.data() + row_bytes() * top_index; }
    const uint8_t *row(int32_t top_index) const { return pixels.data() + row_bytes() * top_index; }
    int32_t palette_count() const { return static_cast<int32_t>(palette.size() / 3); }
    void allocate() { pixels.assign(row_bytes() * static_cast<size_t>(height), 0); }
};

// The parsed "IEFLT" descriptor of a module.
struct Compression {
    std::string entry;  // the entry's bytes after its code byte, as stored
    uint8_t code = 0;
};
struct Descriptor {
    std::vector<uint8_t> bytes;
    std::string tag;
    uint32_t number = 0;
    std::string name;
    std::vector<std::string> extensions;  // "*.PNG" -> "PNG"
    uint32_t wordA = 0, wordB = 0, wordC = 0;
    std::vector<Compression> compressions;
};
bool parse_descriptor(const uint8_t *bytes, size_t size, Descriptor *out);

class Module {
  public:
    // Loads build/modules/<name>.so (or any path); nullptr with *error set.
    static std::unique_ptr<Module> load(const std::string &path, std::string *error);
    // Wraps a FilterEntry linked into the program (tests link a module's core
    // to reach its heap hooks); the descriptor is parsed from the given bytes.
    static std::unique_ptr<Module> linked(FilterEntryProc entry, const std::string &name,
                                          const void *descriptor = nullptr,
                                          size_t descriptor_size = 0);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    int32_t call(uint32_t operation, FilterRecord *record) const {
        return entry_(operation, record);
    }
    const Descriptor &descriptor() const { return descriptor_; }
    const std::string &path() const { return path_; }
    // The module's file name without directory and suffix ("pngxchg").
    std::string name() const;
    bool handles_extension(const std::string &extension) const;

  private:
    Module() = default;
    void *library_ = nullptr;
    FilterEntryProc entry_ = nullptr;
    Descriptor descriptor_;
    std::string path_;
};

// Directory that holds the module libraries: next to the running program
// (../modules from build/bin) unless overridden.
std::string default_module_dir();
// Loads every module found in dir, in the order png, macpaint, gem, plughost, rsrc.
std::vector<std::unique_ptr<Module>> load_all_modules(const std::string &dir, std::string *error);

// One row call as the host saw it.
struct RowCall {
    int32_t y, x, rowCount, width, byteCount, percent;
};
// One export write call.
struct WriteCall {
    size_t offset, count;
    int32_t percent;
};

// A FilterRecord with its host: callbacks, the file bytes, what was delivered.
// Tests script refusals and inspect every call.
class Session {
  public:
    explicit Session(const Module &module);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    FilterRecord &record() { return *record_; }
    const Module &module() const { return module_; }

    // The file handed over on identify and import (kept alive by the session).
    void set_file(std::vector<uint8_t> bytes);
    const std::vector<uint8_t> &file() const { return file_; }
    // Hands a file over as a host application does for plughost: mapped into
    // memory for fileData/fileSize and open for fileHandle (the plug-in reads
    // through the handle; plughost releases the mapping and clears fileData).
    bool map_file(const std::string &path);
    // Creates (truncates) path and puts its handle in fileHandle: plughost's
    // plug-ins write the file themselves.
    bool open_output(const std::string &path);
    // Unmaps what the module left mapped and closes the handle.
    void close_files();

    int32_t call(uint32_t operation);  // raw FilterEntry call on the record
    bool identify() { return call(FE_IDENTIFY) != 0; }
    // Imports with the record as it stands (imageIndex, region, requestFlags).
    bool import_image() { return call(FE_IMPORT) != 0; }
    bool end_import() { return call(FE_END_IMPORT) != 0; }
    // Exports one plane: fills the record's description from `image` and sets
    // imageCount/imageIndex, then FE_EXPORT. Written bytes go to output().
    bool export_plane(const Image &image, int32_t image_count, int32_t image_index);
    bool end_export() { return call(FE_END_EXPORT) != 0; }

    // What import delivered: an image sized by the rows seen (width of the
    // first row, height max y + 1), described by the record at the header call.
    const Image &image() const;
    const std::vector<RowCall> &rows() const { return rows_; }
    int header_calls() const { return header_calls_; }
    int stretch_calls() const { return stretch_calls_; }
    const std::vector<uint8_t> &output() const { return output_; }
    const std::vector<WriteCall> &writes() const { return writes_; }
    const std::vector<int32_t> &progress() const { return progress_; }
    // The y of every getRowsProc call of the exports so far.
    const std::vector<int32_t> &fetches() const { return fetches_; }
    std::vector<std::string> &help_calls() { return help_calls_; }
    void clear_results();

    // Scripting. The k-th (1-based) call of the kind returns 0; with
    // store_cancel the host puts FERR_CANCELLED in errorCode first.
    int refuse_header = 0;       // 1: refuse the header call
    int refuse_row_at = 0;       // k-th row call
    int refuse_write_at = 0;     // k-th write call
    int refuse_progress_at = 0;  // k-th hostProgressProc call
    bool store_cancel = false;
    // Whether row calls and writes keep their bytes for image() and output();
    // a run that only counts the calls switches it off.
    bool keep_data = true;
    // Export passes an empty comment (not null) when the image has none.
    bool export_empty_comment = false;
    // Directory returned by getDirectory and the help path of getHelpPath.
    std::string directory;
    std::string help_path;
    // Optional observer of each row call (after it was recorded).
    std::function<void(const RowCall &, const uint8_t *)> on_row;

    // Callback bodies (public so the C trampolines can reach them).
    int32_t on_data(const void *data, int32_t y, int32_t x, int32_t rowCount, int32_t width,
                    int32_t byteCount, int32_t percent);
    int32_t on_write(const void *bytes, int32_t count, int32_t percent);
    void on_get_rows(void *destination, int32_t x, int32_t y, int32_t pixelCount);
    int32_t on_progress(int32_t percent);
    void count_stretch() { ++stretch_calls_; }

  private:
    void take_header();
    bool refuse(int at, int count);

    const Module &module_;
    void *mapping_ = nullptr;
    size_t mapping_size_ = 0;
    int handle_ = -1;
    std::unique_ptr<uint8_t[]> storage_;
    FilterRecord *record_ = nullptr;
    HostServices services_{};
    std::vector<uint8_t> file_;
    mutable Image image_;
    mutable bool assembled_ = false;
    std::map<int32_t, std::vector<uint8_t>> received_;
    std::vector<RowCall> rows_;
    std::vector<uint8_t> output_;
    std::vector<WriteCall> writes_;
    std::vector<int32_t> progress_;
    std::vector<int32_t> fetches_;
    std::vector<std::string> help_calls_;
    const Image *export_source_ = nullptr;
    int header_calls_ = 0;
    int stretch_calls_ = 0;
    bool import_open_ = false;  // identify or import made, end not yet
    bool export_open_ = false;
    uint32_t id_ = 0;
};

// Nearest-neighbour horizontal resampling, the host's stretchProc: pixel i of
// the destination is pixel i * sourceCount / destinationCount of the source.
void FE_STDCALL stretch_row(const void *source, void *destination, int32_t source_count,
                            int32_t destination_count, int32_t bits_per_pixel);

// "FERR_CORRUPT: the file is damaged" style message for a code.
std::string error_message(uint32_t code);

// Netpbm files (PBM/PGM/PPM raw and plain, PAM) read and written by the host
// itself. 1-bit images use palette {black, white}; grey images an 8-bit grey
// ramp; colour 24-bit BGR. PAM with alpha yields the alpha plane too.
bool read_netpbm(const std::vector<uint8_t> &bytes, Image *image, Image *alpha, std::string *error);
bool is_netpbm(const std::vector<uint8_t> &bytes);
// Writes the image as PBM (1 bit, two-entry palette black/white), PGM (8-bit
// grey ramp palette) or PPM (anything else, expanded through the palette).
std::vector<uint8_t> write_netpbm(const Image &image);

// The image brought to a depth that a module writes, from the depth bits in
// the low byte of its descriptor's word B (0x01 1 bit, 0x02 4, 0x04 8, 0x10
// 24): unchanged when its depth is listed; else expanded to 24 bits, or
// thresholded to 1 bit when that is all the module writes (then always on the
// palette black, white).
Image adapt_for_export(const Image &image, uint32_t word_b);

bool read_file(const std::string &path, std::vector<uint8_t> *bytes);
bool write_file(const std::string &path, const std::vector<uint8_t> &bytes);

}  // namespace host
