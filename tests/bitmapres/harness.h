// Drives the linked rsrcxchg FilterEntry the way a host does: a FilterRecord
// with dataProc and stretchProc, every row call recorded and the delivered
// image assembled by y.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "common/filter.h"

extern "C" int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record);

namespace fx {

struct Row {
    int32_t y, x, rowCount, width, byteCount, percent;
    std::vector<uint8_t> bytes;
};

class Harness {
  public:
    Harness();
    ~Harness();
    Harness(const Harness &) = delete;
    Harness &operator=(const Harness &) = delete;

    FilterRecord &record() { return record_; }
    void set_file(std::vector<uint8_t> bytes);
    int32_t call(uint32_t operation);
    bool identify() { return call(FE_IDENTIFY) != 0; }
    bool import_image();  // clears earlier results first

    // The delivered pixel at column x, row `top` (0 = top of the delivered
    // image) as 0xRRGGBB, through the palette the header call saw.
    uint32_t rgb(int32_t x, int32_t top) const;
    uint32_t index(int32_t x, int32_t top) const;  // palette index (1, 4, 8 bits)
    int32_t rows_high() const { return received_.empty() ? 0 : received_.rbegin()->first + 1; }

    std::vector<Row> rows;
    int headerCalls = 0;
    int stretchCalls = 0;
    int refuseHeader = 0;  // 1: refuse the header call
    int refuseRowAt = 0;   // k-th row call returns 0
    bool storeCancel = false;
    bool keepRows = true;   // false: only count the rows (for sweeps)
    int stopAfterRows = 0;  // refuse every row call after this many (0: never)
    int32_t headerBits = 0;
    std::vector<uint8_t> headerPalette;

    int32_t on_data(const void *data, int32_t y, int32_t x, int32_t count, int32_t width,
                    int32_t bytes, int32_t percent);

  private:
    FilterRecord record_{};
    std::vector<uint8_t> file_;
    std::map<int32_t, std::vector<uint8_t>> received_;
};

}  // namespace fx
