#include "fuzz/fuzz_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/heap.h"
#include "common/record_blocks.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FUZZ_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define FUZZ_ASAN 1
#endif

#ifdef FUZZ_ASAN
// A 32-bit host cannot serve a request of gigabytes: such requests fail (and
// the module must report FERR_NO_MEMORY) instead of ending the run.
extern "C" const char *__asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=512:detect_leaks=1";
}
#endif

namespace fuzz {
namespace {

Host *g_host = nullptr;
volatile uint8_t g_sink;

// Reads every byte the module hands over, so that the sanitizer sees a row
// or write buffer that is shorter than the module claims.
void touch(const void *data, size_t size) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    uint8_t x = 0;
    for (size_t i = 0; i < size; ++i) x ^= p[i];
    g_sink = x;
}

bool known_code(uint32_t code) {
    switch (code) {
        case FERR_NO_MEMORY:
        case FERR_CANNOT_READ:
        case FERR_TRANSFER:
        case FERR_NOT_FORMAT:
        case FERR_UNSUPPORTED:
        case FERR_CORRUPT:
        case FERR_DECODE:
        case FERR_BAD_IMAGE:
        case FERR_BAD_REQUEST:
        case FERR_FILE_NAME:
        case FERR_CANCELLED:
        case FERR_PLUGIN:
        case FERR_PLUGIN_LOAD:
            return true;
        default:
            return false;
    }
}

size_t row_bytes(int64_t width, int64_t bpp) {
    if (width <= 0 || bpp <= 0) return 0;
    return static_cast<size_t>((width * bpp + 7) / 8);
}

int32_t FE_CDECL data_trampoline(const void *data, int32_t y, int32_t x, int32_t rowCount,
                                 int32_t width, int32_t byteCount, int32_t percent,
                                 uint32_t userData) {
    return g_host->on_data(data, y, x, rowCount, width, byteCount, percent);
}

int32_t FE_CDECL write_trampoline(const void *bytes, FilterRecord *record, int32_t count,
                                  int32_t percent, uint32_t userData) {
    return g_host->on_write(bytes, record, count, percent);
}

int32_t FE_STDCALL get_rows_trampoline(void *destination, int32_t x, int32_t y, int32_t pixelCount,
                                       int32_t rowCount, FilterRecord *record) {
    g_host->on_get_rows(destination, x, y, pixelCount, rowCount, record);
    return 1;
}

int32_t FE_STDCALL progress_trampoline(int32_t percent, uint32_t progressData) {
    return g_host->on_progress(percent);
}

// Nearest-neighbour resampling; writes exactly the destination's pixels.
void FE_STDCALL stretch(const void *source, void *destination, int32_t source_count,
                        int32_t destination_count, int32_t bpp) {
    check(source && destination, "stretchProc: null row");
    check(source_count > 0 && destination_count > 0, "stretchProc: empty row");
    check(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32, "stretchProc: depth");
    const uint8_t *src = static_cast<const uint8_t *>(source);
    uint8_t *dst = static_cast<uint8_t *>(destination);
    touch(src, row_bytes(source_count, bpp));
    std::memset(dst, 0, row_bytes(destination_count, bpp));
    for (int32_t i = 0; i < destination_count; ++i) {
        int64_t s = int64_t{i} * source_count / destination_count;
        if (bpp >= 8) {
            std::memcpy(dst + int64_t{i} * (bpp / 8), src + s * (bpp / 8), bpp / 8);
            continue;
        }
        int64_t sbit = s * bpp, dbit = int64_t{i} * bpp;
        unsigned v = src[sbit / 8] >> (8 - bpp - sbit % 8) & ((1u << bpp) - 1);
        dst[dbit / 8] |= static_cast<uint8_t>(v << (8 - bpp - dbit % 8));
    }
}

}  // namespace

void check(bool ok, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "contract violation: %s\n", what);
    std::abort();
}

Tail::Tail(const uint8_t *data, size_t size, size_t count)
    : data_(data),
      size_(size > count ? size - count : 0),
      params_(data + size_),
      count_(size - size_) {}

uint16_t Tail::u16() {
    uint16_t lo = u8();
    return static_cast<uint16_t>(lo | u8() << 8);
}

uint32_t Tail::u32() {
    uint32_t lo = u16();
    return lo | static_cast<uint32_t>(u16()) << 16;
}

ImportRequest read_import_request(Tail &tail) {
    ImportRequest r;
    const uint8_t flags = tail.u8();
    if (flags & 0x01) r.requestFlags |= (flags & 0x02) ? 0x800u : 0x40u;
    r.identifyFirst = (flags & 0x04) == 0;
    r.storeCancel = (flags & 0x08) != 0;
    r.refuseHeader = (flags & 0x10) ? 1 : 0;
    const bool zero_region = (flags & 0x20) != 0;
    r.imageIndex = static_cast<int8_t>(tail.u8());
    r.refuseRowAt = tail.u8();
    r.refuseProgressAt = tail.u8();
    r.region.left = tail.i16();
    r.region.top = tail.i16();
    r.region.right = tail.i16();
    r.region.bottom = tail.i16();
    if (zero_region) r.region = FilterRect{};
    (void)tail.u8();  // reserved for later choices
    // Fit mode delivers the region's size whatever the file holds; keep the
    // output small enough for a fast run (a host never asks for more than its
    // window anyway).
    if (r.requestFlags & FRI_FIT_MASK) {
        if (int64_t{r.region.right} - r.region.left > 2047) r.region.right = r.region.left + 2047;
        if (int64_t{r.region.bottom} - r.region.top > 2047) r.region.bottom = r.region.top + 2047;
    }
    return r;
}

std::vector<uint8_t> exact_copy(const uint8_t *data, size_t size) {
    return std::vector<uint8_t>(data, data + size);
}

void run_import_input(FilterEntryProc entry, const uint8_t *data, size_t size) {
    Tail tail(data, size, kImportTail);
    const ImportRequest request = read_import_request(tail);
    const std::vector<uint8_t> file = exact_copy(tail.data(), tail.remaining());
    static Host host(entry);
    host.run_import(file.data(), file.size(), request);
}

ScratchRecord::ScratchRecord(const std::vector<uint8_t> &file)
    : storage_(sizeof(FilterRecord) + 256, 0) {
    (**this).fileData = file.empty() ? nullptr : file.data();
    (**this).fileSize = static_cast<uint32_t>(file.size());
}

Host::Host(FilterEntryProc entry)
    : entry_(entry), storage_(sizeof(FilterRecord) + 256), record_(nullptr) {
    g_host = this;
    reset();
}

Host::~Host() {
    g_host = nullptr;
}

void Host::reset() {
    std::fill(storage_.begin(), storage_.end(), 0);
    record_ = reinterpret_cast<FilterRecord *>(storage_.data());
    record_->dataProc = data_trampoline;
    record_->getRowsProc = get_rows_trampoline;
    record_->stretchProc = stretch;
    record_->hostProgressProc = progress_trampoline;
    record_->userData = 0x5eed;
    record_->progressData = 0x5eed;
    baseline_blocks_ = flt::heap_live_blocks();
    header_seen_ = false;
    header_calls_ = row_calls_ = progress_calls_ = write_calls_ = 0;
    row_width_ = -1;
    seen_y_.clear();
    written_ = 0;
    output_.clear();
}

int32_t Host::call(uint32_t operation) {
    g_host = this;
    return entry_(operation, record_);
}

void Host::run_import(const uint8_t *file, size_t size, const ImportRequest &request,
                      uint32_t end_operation) {
    reset();
    request_ = request;
    FilterRecord &r = *record_;
    r.fileData = size ? file : nullptr;
    r.fileSize = static_cast<uint32_t>(size);
    r.imageIndex = request.imageIndex;
    if (request.identifyFirst) {
        int32_t ok = call(FE_IDENTIFY);
        if (!ok && !(r.filterFlags & FRF_IDENTIFY_STRICT))
            check(known_code(r.errorCode), "identify failed with an unknown code");
        if (!ok) {
            call(end_operation);
            release_record_blocks(true);
            return;
        }
        check(r.width > 0 && r.height > 0, "identify succeeded without a size");
        // The host may change its mind about the index after looking.
        r.imageIndex = request.imageIndex;
    }
    r.region = request.region;
    r.requestFlags = request.requestFlags;
    r.errorCode = 0;
    int32_t ok = call(FE_IMPORT);
    check_import_result(ok, request);
    call(end_operation);
    check(r.filterState == nullptr, "filterState left after the end operation");
    release_record_blocks(true);
}

void Host::check_import_result(int32_t result, const ImportRequest &request) {
    const FilterRecord &r = *record_;
    if (!result) {
        check(known_code(r.errorCode), "import failed with an unknown code");
        if (r.errorCode == FERR_CANCELLED)
            check(request.storeCancel, "FERR_CANCELLED without the host storing it");
        return;
    }
    check(header_calls_ == 1, "import succeeded without exactly one header call");
    check(request.refuseHeader == 0, "import succeeded although the header call was refused");
    check(request.refuseRowAt == 0 || request.refuseRowAt > row_calls_,
          "import succeeded although a row call was refused");
    check(row_calls_ > 0, "import succeeded without delivering a row");
    if (topRowsSucceed) {
        // Rows go out from the top (highest y) down: what came must be the
        // top rows, each once.
        check(static_cast<size_t>(row_calls_) <= seen_y_.size(),
              "import succeeded with a row delivered twice");
        const size_t first = seen_y_.size() - static_cast<size_t>(row_calls_);
        for (size_t y = 0; y < seen_y_.size(); ++y)
            check(seen_y_[y] == (y >= first ? 1 : 0),
                  "import succeeded with a gap among the rows delivered");
        return;
    }
    check(static_cast<size_t>(row_calls_) == seen_y_.size(),
          "import succeeded with rows missing or delivered twice");
    for (uint8_t seen : seen_y_) check(seen == 1, "import succeeded with a row missing");
}

void Host::release_record_blocks(bool import) {
    FilterRecord &r = *record_;
    // Blocks the module may keep hanging in the record until its next
    // identify; the host session ends here, so they go back to the heap.
    if (import) flt::release_block(&r.palette);
    flt::release_block(&r.compressionName);
    if (import) flt::release_block(&r.comment);
    flt::release_block(&r.linkedPlanes);
    check(r.filterState == nullptr, "filterState left at the end of the session");
    check(flt::heap_live_blocks() == baseline_blocks_, "module heap blocks leaked");
}

int32_t Host::on_data(const void *data, int32_t y, int32_t x, int32_t rowCount, int32_t width,
                      int32_t byteCount, int32_t percent) {
    if (data == record_ && y == 0 && x == 0 && width == 0 && byteCount == 0) {
        ++header_calls_;
        check(header_calls_ == 1, "more than one header call");
        check(row_calls_ == 0, "header call after a row call");
        if (request_.refuseHeader) {
            if (request_.storeCancel) record_->errorCode = FERR_CANCELLED;
            return 0;
        }
        const FilterRecord &r = *record_;
        check(r.bitsPerPixel == 1 || r.bitsPerPixel == 4 || r.bitsPerPixel == 8 ||
                  r.bitsPerPixel == 24,
              "header call with a depth the host cannot take");
        if (r.bitsPerPixel <= 8 && r.paletteCount > 0) {
            check(r.palette != nullptr, "palette count without a palette");
            check(r.paletteCount <= 256, "palette of more than 256 entries");
            touch(r.palette, static_cast<size_t>(r.paletteCount) * 3);
        }
        header_seen_ = true;
        return 1;
    }
    ++row_calls_;
    check(header_seen_, "row call without an accepted header call");
    check(data != nullptr, "row call without bytes");
    check(x == 0 && rowCount == 1, "row call with x != 0 or rowCount != 1");
    check(width > 0 && width <= (1 << 24), "row call with a bad width");
    check(percent >= 0 && percent <= 100, "row call with a bad percent");
    const size_t need = row_bytes(width, record_->bitsPerPixel);
    check(byteCount >= 0 && static_cast<size_t>(byteCount) >= need,
          "row call with fewer bytes than its pixels need");
    touch(data, static_cast<size_t>(byteCount));
    if (row_width_ < 0) row_width_ = width;
    check(width == row_width_, "rows of different widths");
    check(y >= 0 && y < (1 << 24), "row call with a bad y");
    if (static_cast<size_t>(y) >= seen_y_.size()) seen_y_.resize(static_cast<size_t>(y) + 1, 0);
    if (seen_y_[y] < 2) ++seen_y_[y];
    if (request_.refuseRowAt == row_calls_) {
        if (request_.storeCancel) record_->errorCode = FERR_CANCELLED;
        return 0;
    }
    return 1;
}

int32_t Host::on_progress(int32_t percent) {
    ++progress_calls_;
    if (request_.refuseProgressAt == progress_calls_) {
        if (request_.storeCancel) record_->errorCode = FERR_CANCELLED;
        return 0;
    }
    return 1;
}

void Host::begin_export(const uint8_t *pixels, size_t size) {
    reset();
    record_->dataProc = filter_proc_cast<FilterDataProc>(write_trampoline);
    pixels_ = pixels;
    pixel_size_ = size;
}

FilterRecord &Host::begin_export(const uint8_t *pixels, size_t size, const ExportRequest &request) {
    begin_export(pixels, size);
    refuseWriteAt = request.refuseWriteAt;
    storeCancel = request.storeCancel;
    record_->width = request.width;
    record_->height = request.height;
    record_->bitsPerPixel = request.bits;
    return *record_;
}

int32_t Host::on_write(const void *bytes, FilterRecord *record, int32_t count, int32_t percent) {
    ++write_calls_;
    check(record == record_, "write call with another record");
    check(count >= 0, "write call with a negative count");
    check(count == 0 || bytes != nullptr, "write call without bytes");
    check(percent >= 0 && percent <= 100, "write call with a bad percent");
    touch(bytes, static_cast<size_t>(count));
    if (refuseWriteAt == write_calls_) {
        if (storeCancel) record_->errorCode = FERR_CANCELLED;
        return 0;
    }
    written_ += static_cast<size_t>(count);
    const uint8_t *p = static_cast<const uint8_t *>(bytes);
    if (count > 0) output_.insert(output_.end(), p, p + count);
    return 1;
}

void Host::on_get_rows(void *destination, int32_t x, int32_t y, int32_t pixelCount,
                       int32_t rowCount, FilterRecord *record) {
    const FilterRecord &r = *record_;
    check(record == record_, "getRowsProc with another record");
    check(destination != nullptr, "getRowsProc without a destination");
    check(rowCount == 1, "getRowsProc for more than one row");
    check(y >= 0 && y < r.height, "getRowsProc for a row outside the image");
    check(pixelCount > 0 && x >= 0 && int64_t{x} + pixelCount <= r.width,
          "getRowsProc for pixels outside the image");
    const size_t n = row_bytes(pixelCount, r.bitsPerPixel);
    uint8_t *out = static_cast<uint8_t *>(destination);
    if (!pixel_size_) {
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 37 + y);
        return;
    }
    // Row y starts at byte y * n of the pixels repeated without end.
    size_t from = static_cast<size_t>(y) * n % pixel_size_;
    for (size_t done = 0; done < n;) {
        const size_t chunk = std::min(n - done, pixel_size_ - from);
        std::memcpy(out + done, pixels_ + from, chunk);
        done += chunk;
        from = 0;
    }
}

void Host::check_export_result(int32_t result) {
    const FilterRecord &r = *record_;
    if (result) {
        check(refuseWriteAt == 0 || refuseWriteAt > write_calls_,
              "export succeeded although a write call was refused");
        return;
    }
    check(known_code(r.errorCode), "export failed with an unknown code");
    if (r.errorCode == FERR_CANCELLED) check(storeCancel, "FERR_CANCELLED not stored by the host");
}

void Host::finish_export() {
    release_record_blocks(false);
}

}  // namespace fuzz
