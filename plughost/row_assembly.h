// The read side's rows: builds each host row from the chunks a plug-in hands
// over and gives it to the host's dataProc once, in the host's layout and row
// numbering, as soon as it is complete. A chunk that holds whole rows (every
// column, every colour plane) passes straight through one row buffer; an
// image buffer is taken only when planes or column tiles arrive apart.
#pragma once

#include <cstdint>

#include "buffer_layout.h"
#include "common/filter.h"
#include "common/heap.h"

namespace plug {

class RowAssembly {
  public:
    // Result of Take when the host refused a row.
    static constexpr uint32_t kRefused = 1;

    RowAssembly(FilterRecord *record, const PixelFormat &pixels);
    // Whether the row buffers could be had.
    bool ready() const { return delivered_ && row_; }

    const PixelFormat &pixels() const { return pixels_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // Takes one checked chunk: 0, kRefused, FERR_PLUGIN (a row of it went to
    // the host already; nothing moved) or FERR_NO_MEMORY (no image buffer).
    uint32_t Take(const BufferLayout &chunk);
    // Whether `chunk` is the one taken last (a plug-in that used advanceState
    // may leave it described after the selector returns).
    bool TookLast(const BufferLayout &chunk) const;
    void ForgetLast() { hasLast_ = false; }
    bool complete() const { return deliveredCount_ == height_; }

  private:
    bool Deliver(int32_t y, const uint8_t *row);
    uint32_t Assemble(const BufferLayout &chunk, int32_t y);
    bool EnsureImage();
    // Marks the chunk's samples of row y as present; returns the newly marked.
    int32_t Cover(const BufferLayout &chunk, int32_t y);

    FilterRecord *record_;
    PixelFormat pixels_;
    int32_t width_, height_;
    size_t rowBytes_;
    flt::HeapBlock delivered_;  // one byte per image row, top row first
    flt::HeapBlock row_;        // a row passing straight through
    flt::HeapBlock image_;      // rows being assembled, top row first
    flt::HeapBlock covered_;    // one bit per (row, colour plane, column)
    flt::HeapBlock counts_;     // samples present per row (int32)
    int32_t deliveredCount_ = 0;
    BufferLayout last_{};
    bool hasLast_ = false;
};

// The assembly of the running import; rows move only while one is set.
void SetCurrentAssembly(RowAssembly *rows);
RowAssembly *CurrentAssembly();
// While set, chunks handed over with no assembly are accepted and dropped:
// the layers a plug-in produces before the one the host asked for.
void SetDiscardingRows(bool discarding);
bool DiscardingRows();

}  // namespace plug
