// gemxchg identify and release: the header read into the FilterRecord, the
// fixed palette of the file's class and the compression name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/img_header.h"
#include "common/filter.h"

namespace gem {

// A recognised file: its header, its class and the span of its pixel data.
struct ImgFile {
    ImgHeader header;
    ImgLayout layout;
    const uint8_t *data;  // first scan line
    size_t size;          // bytes from there to the end of the file
};

// The identify steps shared by FE_IDENTIFY and FE_IMPORT: recognition, header,
// description, compression name and palette. Returns 0, or the code of the
// failure (FERR_UNSUPPORTED for a file it does not take, FERR_NO_MEMORY).
uint32_t ImgIdentifySteps(FilterRecord *record, ImgFile *file);

// FE_IDENTIFY. Returns 1, or 0 with errorCode set.
int32_t ImgIdentify(FilterRecord *record);

// FE_END_IMPORT: releases palette and compressionName. Returns 1.
int32_t ImgRelease(FilterRecord *record);

}  // namespace gem
