// The export tables and imports of the module DLLs: FilterEntry undecorated,
// plughost's 21 entries at ordinals 1 to 21, images for the test program's
// own architecture that import nothing but system DLLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "common/filter.h"
#include "dll_view.h"

namespace {

using dlltest::Dll;

const char *const kModules[] = {"pngxchg", "paintxchg", "gemxchg", "plughost", "rsrcxchg"};

// An export as a typed function pointer (through void *, as FARPROC has no
// parameters).
template <typename Proc>
Proc export_of(HMODULE module, LPCSTR name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

#ifdef _WIN64
const WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const WORD kMachine = IMAGE_FILE_MACHINE_I386;
#endif

// The headers of the test program's own architecture (IMAGE_NT_HEADERS64 in
// a 64-bit build): the loader maps only DLLs of that architecture.
const IMAGE_NT_HEADERS *nt_headers(HMODULE module) {
    auto *base = reinterpret_cast<const uint8_t *>(module);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
}

std::vector<std::string> imported_dlls(HMODULE module) {
    auto *base = reinterpret_cast<const uint8_t *>(module);
    const IMAGE_DATA_DIRECTORY &dir =
        nt_headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0) return names;
    auto *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
    for (; entry->Name != 0; ++entry) {
        std::string name = reinterpret_cast<const char *>(base + entry->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        names.push_back(name);
    }
    return names;
}

TEST(DllExports, FilterEntryIsExportedUndecorated) {
    for (const char *name : kModules) {
        SCOPED_TRACE(name);
        Dll dll(name);
        ASSERT_NE(dll.handle(), nullptr);
        EXPECT_NE(GetProcAddress(dll.handle(), "FilterEntry"), nullptr);
        EXPECT_EQ(GetProcAddress(dll.handle(), "FilterEntry@8"), nullptr);
        EXPECT_EQ(GetProcAddress(dll.handle(), "_FilterEntry@8"), nullptr);
        EXPECT_EQ(GetProcAddress(dll.handle(), "FilterDescriptor"), nullptr);
    }
}

TEST(DllExports, ImagesAreOfTheHostsArchitectureAndImportOnlySystemDlls) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                          "comdlg32.dll", "msvcrt.dll", "advapi32.dll"};
    for (const char *name : kModules) {
        SCOPED_TRACE(name);
        Dll dll(name);
        ASSERT_NE(dll.handle(), nullptr);
        EXPECT_EQ(nt_headers(dll.handle())->FileHeader.Machine, kMachine);
        EXPECT_TRUE(nt_headers(dll.handle())->FileHeader.Characteristics & IMAGE_FILE_DLL);
        for (const std::string &dll_name : imported_dlls(dll.handle()))
            EXPECT_TRUE(system.count(dll_name)) << "imports " << dll_name;
    }
}

TEST(PlughostExports, TwentyOneEntriesAtOrdinalsOneToTwentyOne) {
    Dll dll("plughost");
    ASSERT_NE(dll.handle(), nullptr);
    std::vector<std::string> names = {"DllMain", "FilterEntry"};
    for (int i = 1; i <= 19; ++i) {
        char n[16];
        std::snprintf(n, sizeof n, "FilterEntry%02d", i);
        names.push_back(n);
    }
    for (size_t k = 0; k < names.size(); ++k) {
        SCOPED_TRACE(names[k]);
        FARPROC by_name = GetProcAddress(dll.handle(), names[k].c_str());
        ASSERT_NE(by_name, nullptr);
        EXPECT_EQ(GetProcAddress(dll.handle(), MAKEINTRESOURCEA(k + 1)), by_name);
    }
    EXPECT_EQ(GetProcAddress(dll.handle(), MAKEINTRESOURCEA(22)), nullptr);
    EXPECT_EQ(GetProcAddress(dll.handle(), "FilterEntry20"), nullptr);
    EXPECT_EQ(GetProcAddress(dll.handle(), "FilterEntry00"), nullptr);
}

TEST(PlughostExports, NumberedEntriesAnswerAsFilterEntry) {
    Dll dll("plughost");
    ASSERT_NE(dll.handle(), nullptr);
    for (int ordinal = 2; ordinal <= 21; ++ordinal) {
        SCOPED_TRACE(ordinal);
        auto entry = export_of<FilterEntryProc>(dll.handle(), MAKEINTRESOURCEA(ordinal));
        ASSERT_NE(entry, nullptr);
        std::vector<uint8_t> storage(512, 0);
        auto *record = reinterpret_cast<FilterRecord *>(storage.data());
        record->filterFlags = 0x1234;
        EXPECT_EQ(entry(5, record), 0);
        EXPECT_EQ(record->errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_EQ(entry(FE_GET_CAPS, record), 1);
        EXPECT_EQ(record->filterFlags, 0x1234u);
    }
}

TEST(PlughostExports, DllMainAcceptsNotificationsZeroToThreeOnly) {
    Dll dll("plughost");
    ASSERT_NE(dll.handle(), nullptr);
    using DllMainProc = BOOL(WINAPI *)(HINSTANCE, DWORD, LPVOID);
    auto main_proc = export_of<DllMainProc>(dll.handle(), "DllMain");
    ASSERT_NE(main_proc, nullptr);
    // reserved set: the detach of process exit, which leaves the heap alone.
    LPVOID at_exit = reinterpret_cast<LPVOID>(1);
    for (DWORD reason : {1u, 2u, 3u, 0u}) EXPECT_EQ(main_proc(dll.handle(), reason, at_exit), TRUE);
    for (DWORD reason : {4u, 5u, 0xFFFFFFFFu})
        EXPECT_EQ(main_proc(dll.handle(), reason, at_exit), FALSE);
}

}  // namespace
