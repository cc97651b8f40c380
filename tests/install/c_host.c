/* A minimal host in C, built against the installed contract header: loads a
 * module, asks for its capabilities and, given a file, identifies it. */
#include <dlfcn.h>
#include <filters/filter.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char *read_file(const char *path, uint32_t *size) {
    FILE *f = fopen(path, "rb");
    unsigned char *bytes = NULL;
    long n;
    if (!f) return NULL;
    if (fseek(f, 0, SEEK_END) == 0 && (n = ftell(f)) > 0 && fseek(f, 0, SEEK_SET) == 0) {
        bytes = malloc((size_t)n);
        if (bytes && fread(bytes, 1, (size_t)n, f) == (size_t)n) {
            *size = (uint32_t)n;
        } else {
            free(bytes);
            bytes = NULL;
        }
    }
    fclose(f);
    return bytes;
}

int main(int argc, char **argv) {
    FilterRecord record;
    FilterEntryProc entry;
    void *module;
    if (argc < 2) return 2;
    module = dlopen(argv[1], RTLD_NOW);
    if (!module) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    /* ISO C has no cast from an object pointer to a function pointer. */
    *(void **)&entry = dlsym(module, "FilterEntry");
    if (!entry) return 1;
    memset(&record, 0, sizeof record);
    if (entry(FE_GET_CAPS, &record) != 1) return 1;
    printf("caps 0x%x\n", (unsigned)record.filterFlags);
    if (argc > 2) {
        record.fileData = read_file(argv[2], &record.fileSize);
        if (!record.fileData) return 1;
        if (entry(FE_IDENTIFY, &record) != 1) {
            printf("identify failed: %u\n", (unsigned)record.errorCode);
            return 1;
        }
        printf("%d x %d x %d\n", (int)record.width, (int)record.height, (int)record.bitsPerPixel);
        entry(FE_END_IMPORT, &record);
        free((void *)record.fileData);
    }
    dlclose(module);
    return 0;
}
