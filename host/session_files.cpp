// Files handed to a module by handle and mapping, as plughost needs them.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/host.h"

namespace host {

bool Session::map_file(const std::string &path) {
    close_files();
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    size_t size = static_cast<size_t>(st.st_size);
    void *view = size ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    if (view == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    file_.clear();
    handle_ = fd;
    mapping_ = view;
    mapping_size_ = size;
    record_->fileHandle = static_cast<uint32_t>(fd);
    record_->fileData = static_cast<const uint8_t *>(view);
    record_->fileSize = static_cast<uint32_t>(size);
    return true;
}

bool Session::open_output(const std::string &path) {
    close_files();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    handle_ = fd;
    record_->fileHandle = static_cast<uint32_t>(fd);
    return true;
}

void Session::close_files() {
    // A module that released the view cleared fileData; only a view still
    // in the record is the host's to unmap.
    if (mapping_ && record_->fileData == mapping_) {
        munmap(mapping_, mapping_size_);
        record_->fileData = nullptr;
        record_->fileSize = 0;
    }
    mapping_ = nullptr;
    mapping_size_ = 0;
    if (handle_ >= 0) ::close(handle_);
    if (handle_ >= 0 && record_->fileHandle == static_cast<uint32_t>(handle_))
        record_->fileHandle = 0;
    handle_ = -1;
}

}  // namespace host
