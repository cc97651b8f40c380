#include "harness.h"

#include "host/host.h"

namespace fx {
namespace {

Harness *g_current = nullptr;

int32_t FE_CDECL data_proc(const void *data, int32_t y, int32_t x, int32_t count, int32_t width,
                           int32_t bytes, int32_t percent, uint32_t) {
    return g_current ? g_current->on_data(data, y, x, count, width, bytes, percent) : 0;
}

void FE_STDCALL stretch_proc(const void *source, void *destination, int32_t source_count,
                             int32_t destination_count, int32_t bits) {
    if (g_current) ++g_current->stretchCalls;
    host::stretch_row(source, destination, source_count, destination_count, bits);
}

}  // namespace

Harness::Harness() {
    record_.dataProc = data_proc;
    record_.stretchProc = stretch_proc;
    g_current = this;
}

Harness::~Harness() {
    FilterEntry(FE_END_IMPORT, &record_);
    g_current = nullptr;
}

void Harness::set_file(std::vector<uint8_t> bytes) {
    file_ = std::move(bytes);
    record_.fileData = file_.empty() ? nullptr : file_.data();
    record_.fileSize = uint32_t(file_.size());
}

int32_t Harness::call(uint32_t operation) {
    g_current = this;
    return FilterEntry(operation, &record_);
}

bool Harness::import_image() {
    rows.clear();
    received_.clear();
    headerCalls = stretchCalls = 0;
    return call(FE_IMPORT) != 0;
}

int32_t Harness::on_data(const void *data, int32_t y, int32_t x, int32_t count, int32_t width,
                         int32_t bytes, int32_t percent) {
    if (data == &record_ && width == 0 && bytes == 0) {
        ++headerCalls;
        headerBits = record_.bitsPerPixel;
        headerPalette.assign(record_.palette, record_.palette + 3 * record_.paletteCount);
        if (refuseHeader == headerCalls) {
            if (storeCancel) record_.errorCode = FERR_CANCELLED;
            return 0;
        }
        return 1;
    }
    Row row{y, x, count, width, bytes, percent, {}};
    const auto *p = static_cast<const uint8_t *>(data);
    if (keepRows) {
        row.bytes.assign(p, p + bytes);
        received_[y] = row.bytes;
    } else {
        // Touch the row's ends so that a row running out of the data faults.
        if (bytes > 0) {
            volatile uint8_t sink = p[0];
            sink = p[bytes - 1];
            (void)sink;
        }
    }
    rows.push_back(std::move(row));
    const int k = int(rows.size());
    if (k == refuseRowAt || (stopAfterRows && k > stopAfterRows)) {
        if (storeCancel) record_.errorCode = FERR_CANCELLED;
        return 0;
    }
    return 1;
}

uint32_t Harness::index(int32_t x, int32_t top) const {
    const auto &row = received_.at(rows_high() - 1 - top);
    const int32_t bits = headerBits;
    if (bits >= 8) return row.at(size_t(x) * (bits / 8));
    const size_t bit = size_t(x) * bits;
    return row.at(bit / 8) >> (8 - bits - bit % 8) & ((1u << bits) - 1);
}

uint32_t Harness::rgb(int32_t x, int32_t top) const {
    const auto &row = received_.at(rows_high() - 1 - top);
    if (headerBits == 24) {
        const size_t i = size_t(x) * 3;
        return uint32_t(row.at(i + 2)) << 16 | uint32_t(row.at(i + 1)) << 8 | row.at(i);
    }
    const uint32_t p = index(x, top);
    if (3 * p + 2 >= headerPalette.size()) return 0xFFFFFFFF;
    return uint32_t(headerPalette[3 * p + 2]) << 16 | uint32_t(headerPalette[3 * p + 1]) << 8 |
           headerPalette[3 * p];
}

}  // namespace fx
