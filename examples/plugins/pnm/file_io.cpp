#include "file_io.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace pnm {

#if defined(_WIN32)
// On Windows the host hands over a file handle.
static HANDLE handle_of(intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

size_t file_read(intptr_t file, uint8_t *buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(handle_of(file), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}

bool file_write(intptr_t file, const void *bytes, size_t size) {
    DWORD put = 0;
    return WriteFile(handle_of(file), bytes, static_cast<DWORD>(size), &put, nullptr) &&
           put == size;
}

bool file_seek(intptr_t file, int64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(handle_of(file), to, nullptr, FILE_BEGIN) != 0;
}

int64_t file_tell(intptr_t file) {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(handle_of(file), zero, &at, FILE_CURRENT)) return -1;
    return at.QuadPart;
}
#else
// On POSIX the host hands over a file descriptor.
size_t file_read(intptr_t file, uint8_t *buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(static_cast<int>(file), buffer, size);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return 0;
    }
}

bool file_write(intptr_t file, const void *bytes, size_t size) {
    const uint8_t *p = static_cast<const uint8_t *>(bytes);
    while (size > 0) {
        ssize_t n = ::write(static_cast<int>(file), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool file_seek(intptr_t file, int64_t offset) {
    return ::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) == offset;
}

int64_t file_tell(intptr_t file) {
    return ::lseek(static_cast<int>(file), 0, SEEK_CUR);
}
#endif

}  // namespace pnm
