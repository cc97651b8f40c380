#include "row_assembly.h"

#include <algorithm>
#include <cstring>

#include "common/checked.h"

namespace plug {
namespace {

RowAssembly *g_rows = nullptr;
bool g_discarding = false;

bool SameChunk(const BufferLayout &a, const BufferLayout &b) {
    return a.data == b.data && a.top == b.top && a.left == b.left && a.bottom == b.bottom &&
           a.right == b.right && a.loPlane == b.loPlane && a.hiPlane == b.hiPlane &&
           a.colBytes == b.colBytes && a.rowBytes == b.rowBytes && a.planeBytes == b.planeBytes;
}

}  // namespace

void SetCurrentAssembly(RowAssembly *rows) {
    g_rows = rows;
}
RowAssembly *CurrentAssembly() {
    return g_rows;
}
void SetDiscardingRows(bool discarding) {
    g_discarding = discarding;
}
bool DiscardingRows() {
    return g_discarding;
}

RowAssembly::RowAssembly(FilterRecord *record, const PixelFormat &pixels)
    : record_(record),
      pixels_(pixels),
      width_(record->width),
      height_(record->height),
      rowBytes_(static_cast<size_t>(flt::row_bytes(record->width, pixels.hostBits))),
      delivered_(static_cast<size_t>(record->height)),
      row_(rowBytes_) {}

bool RowAssembly::TookLast(const BufferLayout &chunk) const {
    return hasLast_ && SameChunk(last_, chunk);
}

uint32_t RowAssembly::Take(const BufferLayout &chunk) {
    last_ = chunk;
    hasLast_ = true;
    if (chunk.empty()) return 0;
    // A row the host already has would arrive twice: the chunk is declined
    // before any of its rows moves.
    for (int32_t y = chunk.top; y < chunk.bottom; ++y)
        if (delivered_.get()[y]) return FERR_PLUGIN;
    const bool whole =
        chunk.left == 0 && chunk.right == width_ && CoversAllChannels(chunk, pixels_);
    for (int32_t y = chunk.top; y < chunk.bottom; ++y) {
        if (whole) {
            std::memset(row_.get(), 0, rowBytes_);
            SamplesToHost(chunk, pixels_, y, row_.get());
            if (!Deliver(y, row_.get())) return kRefused;
        } else if (uint32_t code = Assemble(chunk, y)) {
            return code;
        }
    }
    return 0;
}

bool RowAssembly::Deliver(int32_t y, const uint8_t *row) {
    const int32_t hostY = height_ - 1 - y;
    if (!record_->dataProc ||
        record_->dataProc(row, hostY, 0, 1, width_, static_cast<int32_t>(rowBytes_), 0,
                          record_->userData) == 0)
        return false;
    delivered_.get()[y] = 1;
    ++deliveredCount_;
    return true;
}

uint32_t RowAssembly::Assemble(const BufferLayout &chunk, int32_t y) {
    if (!EnsureImage()) return FERR_NO_MEMORY;
    uint8_t *row = image_.get() + static_cast<size_t>(y) * rowBytes_;
    SamplesToHost(chunk, pixels_, y, row);
    auto *counts = reinterpret_cast<int32_t *>(counts_.get());
    counts[y] += Cover(chunk, y);
    if (counts[y] < pixels_.colorPlanes * width_) return 0;
    return Deliver(y, row) ? 0 : kRefused;
}

bool RowAssembly::EnsureImage() {
    if (image_) return true;
    size_t imageBytes, samples, coverBytes;
    const auto rows = static_cast<size_t>(height_);
    if (!flt::checked_mul(rowBytes_, rows, &imageBytes) ||
        !flt::checked_mul(static_cast<size_t>(width_) * pixels_.colorPlanes, rows, &samples))
        return false;
    coverBytes = samples / 8 + 1;
    image_ = flt::HeapBlock(imageBytes);
    covered_ = flt::HeapBlock(coverBytes);
    counts_ = flt::HeapBlock(rows * sizeof(int32_t));
    if (image_ && covered_ && counts_) return true;
    image_ = flt::HeapBlock();
    return false;
}

int32_t RowAssembly::Cover(const BufferLayout &chunk, int32_t y) {
    // Extra planes (alpha) make no part of the host's pixel, unless the host
    // takes one of them alone (its channel 0).
    const int32_t solo = pixels_.soloPlane;
    int32_t lo = pixels_.depth == 1 ? 0 : chunk.loPlane;
    int32_t hi = pixels_.depth == 1 ? 0 : std::min(chunk.hiPlane, pixels_.colorPlanes - 1);
    if (solo >= 0) lo = hi = chunk.loPlane <= solo && solo <= chunk.hiPlane ? solo : -1;
    int32_t added = 0;
    uint8_t *cover = covered_.get();
    for (int32_t p = lo; p >= 0 && p <= hi; ++p) {
        const int32_t channel = solo >= 0 ? 0 : p;
        const size_t base =
            (static_cast<size_t>(y) * pixels_.colorPlanes + channel) * static_cast<size_t>(width_);
        for (int32_t x = chunk.left; x < chunk.right; ++x) {
            const size_t bit = base + static_cast<size_t>(x);
            const auto mask = static_cast<uint8_t>(1u << (bit & 7));
            if (cover[bit >> 3] & mask) continue;
            cover[bit >> 3] |= mask;
            ++added;
        }
    }
    return added;
}

}  // namespace plug
