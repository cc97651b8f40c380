// Files handed to a module by handle and mapping, as plughost needs them:
// the Windows build, with a file HANDLE in fileHandle and a mapped view.
#include <windows.h>

#include "host/host.h"

namespace host {
namespace {

// The 32-bit build keeps the HANDLE in the session's int and the record's u32.
HANDLE as_handle(int handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}
int as_int(HANDLE handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace

bool Session::map_file(const std::string &path) {
    close_files();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, nullptr);
    void *view = nullptr;
    if (size) {
        HANDLE map = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        view = map ? MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (map) CloseHandle(map);  // the view keeps the mapping alive
        if (!view) {
            CloseHandle(file);
            return false;
        }
    }
    file_.clear();
    handle_ = as_int(file);
    mapping_ = view;
    mapping_size_ = size;
    record_->fileHandle = static_cast<uint32_t>(handle_);
    record_->fileData = static_cast<const uint8_t *>(view);
    record_->fileSize = size;
    return true;
}

bool Session::open_output(const std::string &path) {
    close_files();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = as_int(file);
    record_->fileHandle = static_cast<uint32_t>(handle_);
    return true;
}

void Session::close_files() {
    // A module that released the view cleared fileData; only a view still
    // in the record is the host's to unmap.
    if (mapping_ && record_->fileData == mapping_) {
        UnmapViewOfFile(mapping_);
        record_->fileData = nullptr;
        record_->fileSize = 0;
    }
    mapping_ = nullptr;
    mapping_size_ = 0;
    if (handle_ != -1) CloseHandle(as_handle(handle_));
    if (handle_ != -1 && record_->fileHandle == static_cast<uint32_t>(handle_))
        record_->fileHandle = 0;
    handle_ = -1;
}

}  // namespace host
