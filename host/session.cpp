// The host side of a FilterRecord: callbacks that collect rows, serve export
// rows, take written bytes and answer the HostServices calls.
#include <algorithm>
#include <cstring>
#include <map>

#include "host/host.h"

namespace host {
namespace {

// Row calls carry only userData, so sessions are found through it.
std::map<uint32_t, Session *> &sessions() {
    static std::map<uint32_t, Session *> table;
    return table;
}
uint32_t g_next_id = 1;

Session *session_of(uint32_t id) {
    auto it = sessions().find(id);
    return it == sessions().end() ? nullptr : it->second;
}

int32_t FE_CDECL data_trampoline(const void *data, int32_t y, int32_t x, int32_t rowCount,
                                 int32_t width, int32_t byteCount, int32_t percent,
                                 uint32_t userData) {
    Session *s = session_of(userData);
    return s ? s->on_data(data, y, x, rowCount, width, byteCount, percent) : 0;
}

int32_t FE_CDECL write_trampoline(const void *bytes, FilterRecord *record, int32_t count,
                                  int32_t percent, uint32_t userData) {
    Session *s = session_of(userData);
    return s ? s->on_write(bytes, count, percent) : 0;
}

int32_t FE_STDCALL get_rows_trampoline(void *destination, int32_t x, int32_t y, int32_t pixelCount,
                                       int32_t rowCount, FilterRecord *record) {
    Session *s = session_of(record->userData);
    if (s) s->on_get_rows(destination, x, y, pixelCount);
    return 1;
}

int32_t FE_STDCALL progress_trampoline(int32_t percent, uint32_t progressData) {
    Session *s = session_of(progressData);
    return s ? s->on_progress(percent) : 0;
}

void FE_STDCALL counting_stretch(const void *source, void *destination, int32_t source_count,
                                 int32_t destination_count, int32_t bits_per_pixel);

Session *g_stretch_session = nullptr;  // the session whose import is running

void FE_STDCALL counting_stretch(const void *source, void *destination, int32_t source_count,
                                 int32_t destination_count, int32_t bits_per_pixel) {
    if (g_stretch_session) g_stretch_session->count_stretch();
    stretch_row(source, destination, source_count, destination_count, bits_per_pixel);
}

Session *g_services_session = nullptr;

void copy_path(const std::string &path, char *buffer, int32_t size) {
    if (!buffer || size <= 0) return;
    size_t n = std::min(path.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
}

void FE_STDCALL get_directory(char *buffer, int32_t size) {
    if (g_services_session) copy_path(g_services_session->directory, buffer, size);
}

void FE_STDCALL get_help_path(char *buffer, int32_t size) {
    if (g_services_session) copy_path(g_services_session->help_path, buffer, size);
}

void log_help(const char *kind, const char *file, uint32_t wParam, int32_t lParam, int32_t mapId) {
    if (!g_services_session) return;
    g_services_session->help_calls().push_back(
        std::string(kind) + " " + (file ? file : "(null)") + " " + std::to_string(wParam) + " " +
        std::to_string(lParam) + " " + std::to_string(mapId));
}

void FE_CDECL context_help(void *, const char *file, uint32_t wParam, int32_t lParam,
                           int32_t mapId) {
    log_help("contextHelp", file, wParam, lParam, mapId);
}

void FE_CDECL context_menu_help(void *, const char *file, uint32_t wParam, int32_t lParam,
                                int32_t mapId) {
    log_help("contextMenuHelp", file, wParam, lParam, mapId);
}

template <typename F>
HostServiceEntry service(F f) {
    return filter_proc_cast<HostServiceEntry>(f);
}

}  // namespace

size_t Image::row_bytes() const {
    if (width <= 0 || bitsPerPixel <= 0) return 0;
    return (static_cast<size_t>(width) * bitsPerPixel + 7) / 8;
}

// The record lives in a larger zeroed block so that a module writing past
// the contract's record (324 bytes on 32-bit x86, 416 on x86-64) cannot corrupt
// the host's own fields.
Session::Session(const Module &module)
    : module_(module), storage_(new uint8_t[sizeof(FilterRecord) + 256]()) {
    record_ = reinterpret_cast<FilterRecord *>(storage_.get());
    id_ = g_next_id++;
    sessions()[id_] = this;
    services_.entry[HS_CONTEXT_HELP] = service(context_help);
    services_.entry[HS_CONTEXT_MENU_HELP] = service(context_menu_help);
    services_.entry[HS_GET_DIRECTORY] = service(get_directory);
    services_.entry[HS_GET_HELP_PATH] = service(get_help_path);
    record_->userData = id_;
    record_->progressData = id_;
    record_->hostServices = &services_;
    record_->dataProc = data_trampoline;
    record_->getRowsProc = get_rows_trampoline;
    record_->stretchProc = counting_stretch;
    record_->hostProgressProc = progress_trampoline;
}

// A host ends what it began: an identify or import without its end operation
// is closed here, so that the module can release what it hung in the record.
Session::~Session() {
    if (import_open_) call(FE_END_IMPORT);
    if (export_open_) call(FE_END_EXPORT);
    close_files();
    sessions().erase(id_);
}

void Session::set_file(std::vector<uint8_t> bytes) {
    file_ = std::move(bytes);
    record_->fileData = file_.empty() ? nullptr : file_.data();
    record_->fileSize = static_cast<uint32_t>(file_.size());
}

int32_t Session::call(uint32_t operation) {
    if (operation == FE_IMPORT) clear_results();
    if (operation == FE_IDENTIFY || operation == FE_IMPORT) import_open_ = true;
    if (operation == FE_END_IMPORT) import_open_ = false;
    if (operation == FE_OPTIONS || operation == FE_EXPORT) export_open_ = true;
    if (operation == FE_END_EXPORT) export_open_ = false;
    Session *previous_stretch = g_stretch_session, *previous_services = g_services_session;
    g_stretch_session = this;
    g_services_session = this;
    int32_t result = module_.call(operation, record_);
    g_stretch_session = previous_stretch;
    g_services_session = previous_services;
    return result;
}

bool Session::export_plane(const Image &image, int32_t image_count, int32_t image_index) {
    FilterRecord &r = *record_;
    r.width = image.width;
    r.height = image.height;
    r.bitsPerPixel = image.bitsPerPixel;
    r.xResolution = image.xResolution;
    r.yResolution = image.yResolution;
    r.paletteCount = image.palette_count();
    r.palette = r.paletteCount ? const_cast<uint8_t *>(image.palette.data()) : nullptr;
    r.comment = image.comment.empty() && !export_empty_comment
                    ? nullptr
                    : const_cast<char *>(image.comment.c_str());
    r.imageCount = image_count;
    r.imageIndex = image_index;
    r.dataProc = filter_proc_cast<FilterDataProc>(write_trampoline);
    export_source_ = &image;
    int32_t result = call(FE_EXPORT);
    export_source_ = nullptr;
    r.dataProc = data_trampoline;
    r.palette = nullptr;
    r.comment = nullptr;
    return result != 0;
}

const Image &Session::image() const {
    if (assembled_) return image_;
    // Rows are numbered from the bottom: the image is as high as the highest y.
    image_.height = received_.empty() ? 0 : received_.rbegin()->first + 1;
    image_.allocate();
    size_t rb = image_.row_bytes();
    for (const auto &[y, bytes] : received_)
        std::memcpy(image_.row(image_.height - 1 - y), bytes.data(), std::min(rb, bytes.size()));
    assembled_ = true;
    return image_;
}

void Session::clear_results() {
    image_ = Image();
    received_.clear();
    assembled_ = false;
    rows_.clear();
    progress_.clear();
    header_calls_ = 0;
    stretch_calls_ = 0;
}

bool Session::refuse(int at, int count) {
    if (at == 0 || count != at) return false;
    if (store_cancel) record_->errorCode = FERR_CANCELLED;
    return true;
}

void Session::take_header() {
    const FilterRecord &r = *record_;
    image_ = Image();
    received_.clear();
    assembled_ = false;
    image_.bitsPerPixel = r.bitsPerPixel;
    image_.xResolution = r.xResolution;
    image_.yResolution = r.yResolution;
    if (r.palette && r.paletteCount > 0 && r.paletteCount <= 256)
        image_.palette.assign(r.palette, r.palette + 3 * r.paletteCount);
    if (r.comment) image_.comment = r.comment;
}

int32_t Session::on_data(const void *data, int32_t y, int32_t x, int32_t rowCount, int32_t width,
                         int32_t byteCount, int32_t percent) {
    if (data == record_ && y == 0 && width == 0 && byteCount == 0) {
        ++header_calls_;
        if (refuse(refuse_header, header_calls_)) return 0;
        take_header();
        return 1;
    }
    RowCall call{y, x, rowCount, width, byteCount, percent};
    rows_.push_back(call);
    if (refuse(refuse_row_at, static_cast<int>(rows_.size()))) return 0;
    if (!keep_data || y < 0 || width <= 0 || byteCount < 0 || !data) return 1;
    if (image_.width == 0) image_.width = width;
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    received_[y].assign(bytes, bytes + byteCount);
    assembled_ = false;
    if (on_row) on_row(call, bytes);
    return 1;
}

int32_t Session::on_write(const void *bytes, int32_t count, int32_t percent) {
    writes_.push_back({output_.size(), static_cast<size_t>(std::max(count, 0)), percent});
    if (refuse(refuse_write_at, static_cast<int>(writes_.size()))) return 0;
    if (keep_data && count > 0 && bytes) {
        const uint8_t *b = static_cast<const uint8_t *>(bytes);
        output_.insert(output_.end(), b, b + count);
    }
    return 1;
}

void Session::on_get_rows(void *destination, int32_t x, int32_t y, int32_t pixelCount) {
    fetches_.push_back(y);
    const Image *src = export_source_;
    if (!src || !destination || y < 0 || y >= src->height || pixelCount <= 0) return;
    const uint8_t *row = src->row(src->height - 1 - y);
    int32_t bpp = src->bitsPerPixel;
    uint8_t *out = static_cast<uint8_t *>(destination);
    int32_t count = std::min(pixelCount, src->width - x);
    if (count <= 0) return;
    if (bpp >= 8) {
        std::memcpy(out, row + static_cast<size_t>(x) * (bpp / 8),
                    static_cast<size_t>(count) * (bpp / 8));
        return;
    }
    size_t out_bytes = (static_cast<size_t>(count) * bpp + 7) / 8;
    if (static_cast<size_t>(x) * bpp % 8 == 0) {
        // Byte-aligned start: whole bytes, the bits after the last pixel cleared.
        std::memcpy(out, row + static_cast<size_t>(x) * bpp / 8, out_bytes);
        unsigned tail = static_cast<unsigned>(static_cast<size_t>(count) * bpp % 8);
        if (tail) out[out_bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - tail));
        return;
    }
    std::memset(out, 0, out_bytes);
    for (int32_t i = 0; i < count; ++i) {
        size_t sbit = static_cast<size_t>(x + i) * bpp, dbit = static_cast<size_t>(i) * bpp;
        unsigned mask = (1u << bpp) - 1;
        unsigned v = row[sbit / 8] >> (8 - bpp - sbit % 8) & mask;
        out[dbit / 8] |= static_cast<uint8_t>(v << (8 - bpp - dbit % 8));
    }
}

int32_t Session::on_progress(int32_t percent) {
    progress_.push_back(percent);
    return refuse(refuse_progress_at, static_cast<int>(progress_.size())) ? 0 : 1;
}

void FE_STDCALL stretch_row(const void *source, void *destination, int32_t source_count,
                            int32_t destination_count, int32_t bits_per_pixel) {
    if (!source || !destination || source_count <= 0 || destination_count <= 0) return;
    const uint8_t *src = static_cast<const uint8_t *>(source);
    uint8_t *dst = static_cast<uint8_t *>(destination);
    int32_t bpp = bits_per_pixel;
    if (bpp >= 8) {
        size_t px = static_cast<size_t>(bpp / 8);
        for (int32_t i = 0; i < destination_count; ++i) {
            size_t s =
                static_cast<size_t>(static_cast<int64_t>(i) * source_count / destination_count);
            std::memcpy(dst + i * px, src + s * px, px);
        }
        return;
    }
    std::memset(dst, 0, (static_cast<size_t>(destination_count) * bpp + 7) / 8);
    unsigned mask = (1u << bpp) - 1;
    for (int32_t i = 0; i < destination_count; ++i) {
        size_t s = static_cast<size_t>(static_cast<int64_t>(i) * source_count / destination_count);
        size_t sbit = s * bpp, dbit = static_cast<size_t>(i) * bpp;
        unsigned v = src[sbit / 8] >> (8 - bpp - sbit % 8) & mask;
        dst[dbit / 8] |= static_cast<uint8_t>(v << (8 - bpp - dbit % 8));
    }
}

}  // namespace host
