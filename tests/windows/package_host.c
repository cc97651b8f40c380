/* A minimal Windows host in C, built against the release's own header: loads
 * each DLL named on the command line, prints the format name of its "IEFLT"
 * descriptor and the capability bits FE_GET_CAPS reports. */
#include <filters/filter.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

static int check(const char *path) {
    FilterRecord record;
    FilterEntryProc entry;
    HRSRC found;
    const char *descriptor;
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        printf("%s: not loaded (error %lu)\n", path, GetLastError());
        return 1;
    }
    entry = (FilterEntryProc)(void (*)(void))GetProcAddress(module, "FilterEntry");
    found = FindResourceA(module, MAKEINTRESOURCEA(1), "IEFLT");
    descriptor = found ? (const char *)LockResource(LoadResource(module, found)) : NULL;
    if (!entry || !descriptor) {
        printf("%s: FilterEntry or descriptor missing\n", path);
        return 1;
    }
    memset(&record, 0, sizeof record);
    if (entry(FE_GET_CAPS, &record) != 1) return 1;
    /* The format name starts after the tag, the number and the signature. */
    printf("%s: \"%s\" caps 0x%x\n", path, descriptor + 28, (unsigned)record.filterFlags);
    FreeLibrary(module);
    return 0;
}

int main(int argc, char **argv) {
    int failed = 0;
    for (int i = 1; i < argc; ++i) failed |= check(argv[i]);
    return failed;
}
