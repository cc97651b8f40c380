// A strict host for the fuzz targets: drives one linked module through
// FilterEntry the way a host application does and aborts as soon as the
// module breaks the contract (a bad row call, success without a full image,
// an unknown error code, a leaked block).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/filter.h"

namespace fuzz {

// Aborts with `what` when `ok` is false; the fuzzer records the input.
void check(bool ok, const char *what);

// Splits an input into the file in front and a block of `count` parameter
// bytes at its end (fewer when the input is shorter), read front to back;
// reads past the block give 0. Seeds are a real file with the block appended.
class Tail {
  public:
    Tail(const uint8_t *data, size_t size, size_t count);
    uint8_t u8() { return pos_ < count_ ? params_[pos_++] : 0; }
    uint16_t u16();
    int16_t i16() { return static_cast<int16_t>(u16()); }
    uint32_t u32();
    // The bytes in front of the parameter block.
    const uint8_t *data() const { return data_; }
    size_t remaining() const { return size_; }

  private:
    const uint8_t *data_;
    size_t size_;
    const uint8_t *params_;
    size_t count_;
    size_t pos_ = 0;
};

// The choices of one import, taken from the tail of the input.
struct ImportRequest {
    FilterRect region{};
    uint32_t requestFlags = 0;
    int32_t imageIndex = 1;
    bool identifyFirst = true;
    int refuseHeader = 0;  // 1: the header call is refused
    int refuseRowAt = 0;   // k-th row call refused (0: never)
    int refuseProgressAt = 0;
    bool storeCancel = false;
};
// The import parameter block: flags (0x01 fit, 0x02 fit through bit 0x800,
// 0x04 no identify first, 0x08 host stores FERR_CANCELLED when refusing,
// 0x10 refuse the header call, 0x20 all-zero region), imageIndex (signed),
// the row call to refuse, the progress call to refuse, then left, top,
// right, bottom as little-endian int16, then one reserved byte.
constexpr size_t kImportTail = 13;
ImportRequest read_import_request(Tail &tail);

// A zeroed record over `file` inside a larger block, as a host's would be,
// for the side calls a target makes next to its main run.
class ScratchRecord {
  public:
    explicit ScratchRecord(const std::vector<uint8_t> &file);
    FilterRecord &operator*() { return *reinterpret_cast<FilterRecord *>(storage_.data()); }
    FilterRecord *operator->() { return &**this; }

  private:
    std::vector<uint8_t> storage_;
};

// The record fields and host behaviour a writer target takes from its
// parameter block; a target's own request extends it.
struct ExportRequest {
    int32_t width = 0, height = 0, bits = 0;
    int refuseWriteAt = 0;
    bool storeCancel = false;
};

// One FilterRecord with checking callbacks. The record sits in a larger
// zeroed block, as a real host's would, and is reset for every run.
class Host {
  public:
    explicit Host(FilterEntryProc entry);
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    FilterRecord &record() { return *record_; }
    int32_t call(uint32_t operation);

    // identify (when asked), import, then `end_operation`; checks every row
    // call, the result and the code, then releases what the module left in
    // the record and checks that no block of the module heap is left.
    void run_import(const uint8_t *file, size_t size, const ImportRequest &request,
                    uint32_t end_operation = FE_END_IMPORT);
    // A module whose format lets a stream end before the last row (PNG) may
    // succeed with only the top rows delivered; set for such a module.
    bool topRowsSucceed = false;

    // Starts an export session on a fresh record: dataProc takes the write
    // form; getRowsProc serves rows from `pixels`, repeated as needed.
    void begin_export(const uint8_t *pixels, size_t size);
    // The same, then the size and depth of `request` into the record and
    // its refusal into the host.
    FilterRecord &begin_export(const uint8_t *pixels, size_t size, const ExportRequest &request);
    // Serves other pixels from now on, as for a second plane.
    void set_export_pixels(const uint8_t *pixels, size_t size) {
        pixels_ = pixels;
        pixel_size_ = size;
    }
    int refuseWriteAt = 0;
    bool storeCancel = false;
    // Checks one FE_EXPORT call made by the target (result and code).
    void check_export_result(int32_t result);
    size_t written() const { return written_; }
    // The bytes the host took, in order (the file an export wrote).
    const std::vector<uint8_t> &output() const { return output_; }
    // Releases what the module left hanging in the record after an export
    // and checks the module heap is back where it started.
    void finish_export();

    // Callback bodies.
    int32_t on_data(const void *data, int32_t y, int32_t x, int32_t rowCount, int32_t width,
                    int32_t byteCount, int32_t percent);
    int32_t on_write(const void *bytes, FilterRecord *record, int32_t count, int32_t percent);
    void on_get_rows(void *destination, int32_t x, int32_t y, int32_t pixelCount, int32_t rowCount,
                     FilterRecord *record);
    int32_t on_progress(int32_t percent);

  private:
    void reset();
    void check_import_result(int32_t result, const ImportRequest &request);
    void release_record_blocks(bool import);

    FilterEntryProc entry_;
    std::vector<uint8_t> storage_;
    FilterRecord *record_;
    long baseline_blocks_ = 0;
    // Import bookkeeping.
    ImportRequest request_{};
    bool header_seen_ = false;
    int header_calls_ = 0;
    int row_calls_ = 0;
    int progress_calls_ = 0;
    int32_t row_width_ = -1;
    std::vector<uint8_t> seen_y_;
    // Export bookkeeping.
    const uint8_t *pixels_ = nullptr;
    size_t pixel_size_ = 0;
    int write_calls_ = 0;
    size_t written_ = 0;
    std::vector<uint8_t> output_;
};

// An exactly sized copy of a byte range, so that a read one byte past it is
// caught by the address sanitizer (the fuzzer's own buffer goes on into the
// parameter tail).
std::vector<uint8_t> exact_copy(const uint8_t *data, size_t size);

// Pixel x of a row at 1, 4, 8 or 24 bits (24: blue | green << 8 | red << 16).
inline uint32_t pixel_at(const uint8_t *row, int32_t x, int32_t bits) {
    switch (bits) {
        case 1:
            return row[x / 8] >> (7 - x % 8) & 1;
        case 4:
            return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        case 8:
            return row[x];
        default:
            return row[3 * x] | row[3 * x + 1] << 8 | static_cast<uint32_t>(row[3 * x + 2]) << 16;
    }
}

// The whole of an import target: the parameter block from the tail, the file
// in front of it, then Host::run_import on one host kept across runs.
void run_import_input(FilterEntryProc entry, const uint8_t *data, size_t size);

}  // namespace fuzz
