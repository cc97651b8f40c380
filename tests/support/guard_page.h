// Room for test file bytes right before an unreadable page: bytes placed
// there end where the page begins, so a read past the end faults instead of
// passing unnoticed.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_support {

class GuardPage {
  public:
    explicit GuardPage(size_t capacity) {
        page_ = page_size();
        span_ = (capacity + page_ - 1) / page_ * page_ + page_;
        base_ = reserve(span_);
        if (base_) protect_last_page();
    }
    ~GuardPage() {
        if (base_) release();
    }
    GuardPage(const GuardPage &) = delete;
    GuardPage &operator=(const GuardPage &) = delete;

    bool ok() const { return base_ != nullptr; }
    // Copies bytes so that their last byte is the last readable one.
    const uint8_t *place(const std::vector<uint8_t> &bytes) {
        uint8_t *at = base_ + span_ - page_ - bytes.size();
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }

  private:
#ifdef _WIN32
    static size_t page_size() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwPageSize;
    }
    static uint8_t *reserve(size_t span) {
        return static_cast<uint8_t *>(
            VirtualAlloc(nullptr, span, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    }
    void protect_last_page() {
        DWORD old = 0;
        VirtualProtect(base_ + span_ - page_, page_, PAGE_NOACCESS, &old);
    }
    void release() {
        VirtualFree(base_, 0, MEM_RELEASE);
    }
#else
    static size_t page_size() {
        return static_cast<size_t>(sysconf(_SC_PAGESIZE));
    }
    static uint8_t *reserve(size_t span) {
        void *p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : static_cast<uint8_t *>(p);
    }
    void protect_last_page() {
        mprotect(base_ + span_ - page_, page_, PROT_NONE);
    }
    void release() {
        munmap(base_, span_);
    }
#endif

    size_t page_ = 0, span_ = 0;
    uint8_t *base_ = nullptr;
};

}  // namespace testing_support
