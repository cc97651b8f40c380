#include "plugin_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/heap.h"
#include "common/platform.h"
#include "descriptor_store.h"
#include "services.h"

namespace plug {
namespace {

constexpr char kSectionPrefix[] = "Plug-in ";
constexpr size_t kSectionSize = kPathSize + sizeof kSectionPrefix;
constexpr uint32_t kKeyListSize = 16384;
constexpr size_t kCodeText = 11;

// Characters a key or code keeps as they are: anything else would end the
// key, start a comment or section, or split a value.
bool Plain(uint8_t c) {
    return c > ' ' && c <= '~' && !std::strchr("=;[]:\\\"'", c);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "Plug-in <file name>", or false without a plug-in path.
bool SectionOf(const FilterRecord *record, char *section) {
    const char *path = record->pluginPath;
    if (!path || !*path) return false;
    const char *name = path;
    for (const char *c = path; *c; ++c)
        if (*c == '/' || *c == '\\') name = c + 1;
    std::snprintf(section, kSectionSize, "%s%s", kSectionPrefix, name);
    return true;
}

// Text bytes as the file holds them: printable characters as they are
// (a blank too, but the last, which the file would lose), the rest \xHH.
bool EscapeText(const uint8_t *bytes, size_t n, char *out, size_t size) {
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = bytes[i];
        bool plain = (c > ' ' && c <= '~' && c != '\\') || (c == ' ' && i + 1 < n);
        if (size - at < (plain ? 2u : 5u)) return false;
        if (plain)
            out[at++] = static_cast<char>(c);
        else
            at += static_cast<size_t>(std::snprintf(out + at, 5, "\\x%02X", c));
    }
    out[at] = '\0';
    return true;
}

// The bytes of escaped text into out (at most strlen(text) bytes); false
// for a backslash that does not start \xHH.
bool UnescapeText(const char *text, uint8_t *out, size_t *n) {
    *n = 0;
    for (const char *c = text; *c; ++c) {
        if (*c != '\\') {
            out[(*n)++] = static_cast<uint8_t>(*c);
            continue;
        }
        if (c[1] != 'x' || HexDigit(c[2]) < 0 || HexDigit(c[3]) < 0) return false;
        out[(*n)++] = static_cast<uint8_t>(HexDigit(c[2]) * 16 + HexDigit(c[3]));
        c += 3;
    }
    return true;
}

bool ParseInteger(const char *text, int32_t *value) {
    char *end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    // Counts above the integers' range read back as they were written.
    if (end == text || *end || v < INT32_MIN || v > static_cast<long long>(UINT32_MAX))
        return false;
    *value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

bool ParseFloat(const char *text, double *value) {
    char *end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && !*end;
}

bool SameWord(const char *text, const char *word) {
    for (; *text && *word; ++text, ++word)
        if ((*text | 0x20) != *word) return false;
    return !*text && !*word;
}

bool ParseBoolean(const char *text, PIBoolean *value) {
    bool on = !std::strcmp(text, "1") || SameWord(text, "true");
    bool off = !std::strcmp(text, "0") || SameWord(text, "false");
    *value = on ? 1 : 0;
    return on || off;
}

// "CODE:rest": the code, and rest after the colon.
bool SplitCode(const char *text, uint32_t *code, const char **rest) {
    const char *colon = std::strchr(text, ':');
    if (!colon || !CodeFromText(text, static_cast<size_t>(colon - text), code)) return false;
    *rest = colon + 1;
    return true;
}

int16_t PutText(PIWriteDescriptor writer, DescriptorKeyID key, const char *text, bool *read) {
    size_t n = std::strlen(text);
    auto *bytes = static_cast<uint8_t *>(flt::heap_alloc(n));
    if (!bytes) return piMemFullErr;
    *read = UnescapeText(text, bytes, &n);
    int16_t error = *read ? PutTextBytes(writer, key, bytes, n) : 0;
    flt::heap_free(bytes);
    return error;
}

// Puts every item of a section that reads back; counts them into *count.
int16_t PutSection(PIWriteDescriptor writer, const char *section, const char *file, int *count) {
    auto *keys = static_cast<char *>(flt::heap_alloc(kKeyListSize));
    auto *value = static_cast<char *>(flt::heap_alloc(kMaxSettingText + 2));
    int16_t error = keys && value ? 0 : piMemFullErr;
    if (error == 0) flt::platform_profile_string(section, nullptr, "", keys, kKeyListSize, file);
    for (const char *key = keys; error == 0 && *key; key += std::strlen(key) + 1) {
        uint32_t code;
        if (!CodeFromText(key, std::strlen(key), &code)) continue;
        flt::platform_profile_string(section, key, "", value, kMaxSettingText + 2, file);
        // A value cut at the buffer's end is no value.
        if (std::strlen(value) > kMaxSettingText) continue;
        if (PutSetting(writer, code, value, &error)) ++*count;
    }
    flt::heap_free(keys);
    flt::heap_free(value);
    return error;
}

// The descriptor built from the stored and the run's settings; null (and 0)
// when there are none.
int16_t ReadSettings(const FilterRecord *record, PIHandle *descriptor) {
    *descriptor = nullptr;
    char section[kSectionSize];
    if (!SectionOf(record, section)) return 0;
    PIWriteDescriptor writer = OpenWriteDescriptor();
    if (!writer) return piMemFullErr;
    int count = 0;
    int16_t error = PutSection(writer, section, record->iniPath, &count);
    if (error == 0) error = PutSection(writer, kRunSettingsSection, record->iniPath, &count);
    int16_t closed = CloseWriteDescriptor(writer, descriptor);
    if (error == 0) error = closed;
    if (error != 0 || count == 0) {
        DisposeDescriptor(*descriptor);
        *descriptor = nullptr;
    }
    return error;
}

// The key's text for the section: its characters, unless the section
// already has a key that differs only in case (the file matches keys
// without regard to case), then its hex form.
void KeyText(uint32_t key, const char *section, const char *file, char *text) {
    CodeText(key, text);
    if (text[0] == '0' && text[1] == 'x') return;
    char existing[8];
    if (flt::platform_profile_string(section, text, "", existing, sizeof existing, file) != 0)
        std::snprintf(text, kCodeText, "0x%08X", key);
}

void WriteSection(PIReadDescriptor reader, const char *section, const char *file, char *value) {
    flt::platform_profile_write(section, nullptr, nullptr, file);
    DescriptorKeyID key;
    DescriptorTypeID type;
    while (GetKey(reader, &key, &type, nullptr)) {
        if (!SettingText(reader, type, value, kMaxSettingText + 1)) continue;
        char text[kCodeText];
        KeyText(key, section, file, text);
        flt::platform_profile_write(section, text, value, file);
    }
}

}  // namespace

void CodeText(uint32_t code, char *text) {
    uint8_t c[4] = {static_cast<uint8_t>(code >> 24), static_cast<uint8_t>(code >> 16),
                    static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
    if (Plain(c[0]) && Plain(c[1]) && Plain(c[2]) && Plain(c[3]))
        std::snprintf(text, kCodeText, "%c%c%c%c", c[0], c[1], c[2], c[3]);
    else
        std::snprintf(text, kCodeText, "0x%08X", code);
}

bool CodeFromText(const char *text, size_t length, uint32_t *code) {
    uint32_t v = 0;
    if (length == 4) {
        for (size_t i = 0; i < 4; ++i) {
            if (!Plain(static_cast<uint8_t>(text[i]))) return false;
            v = v << 8 | static_cast<uint8_t>(text[i]);
        }
    } else if (length == 10 && text[0] == '0' && (text[1] | 0x20) == 'x') {
        for (size_t i = 2; i < 10; ++i) {
            if (HexDigit(text[i]) < 0) return false;
            v = v << 4 | static_cast<uint32_t>(HexDigit(text[i]));
        }
    } else {
        return false;
    }
    *code = v;
    return true;
}

bool SettingText(PIReadDescriptor reader, DescriptorTypeID type, char *text, size_t size) {
    char a[kCodeText], b[kCodeText];
    int n = -1;
    if (type == kTypeInteger) {
        int32_t v;
        if (GetInteger(reader, &v) == 0) n = std::snprintf(text, size, "long:%d", v);
    } else if (type == kTypeFloat) {
        double v;
        if (GetFloat(reader, &v) == 0) n = std::snprintf(text, size, "doub:%.17g", v);
    } else if (type == kTypeUnitFloat) {
        DescriptorUnitID unit;
        double v;
        if (GetUnitFloat(reader, &unit, &v) == 0) {
            CodeText(unit, a);
            n = std::snprintf(text, size, "UntF:%s:%.17g", a, v);
        }
    } else if (type == kTypeBoolean) {
        PIBoolean v;
        if (GetBoolean(reader, &v) == 0) n = std::snprintf(text, size, "bool:%d", v);
    } else if (type == kTypeText) {
        PIHandle h = nullptr;
        if (GetText(reader, &h) == 0 && size > 5) {
            std::memcpy(text, "TEXT:", 5);
            size_t bytes = static_cast<size_t>(HandleGetSize(h));
            n = EscapeText(reinterpret_cast<uint8_t *>(*h), bytes, text + 5, size - 5) ? 0 : -1;
        }
        HandleDispose(h);
    } else if (type == kTypeEnumerated) {
        DescriptorTypeID t;
        DescriptorEnumID v;
        if (GetEnumeratedPair(reader, &t, &v) == 0) {
            CodeText(t, a);
            CodeText(v, b);
            n = std::snprintf(text, size, "enum:%s:%s", a, b);
        }
    } else if (type == kTypeClass) {
        DescriptorTypeID v;
        if (GetClass(reader, &v) == 0) {
            CodeText(v, a);
            n = std::snprintf(text, size, "type:%s", a);
        }
    }
    return n >= 0 && static_cast<size_t>(n) < size;
}

bool PutSetting(PIWriteDescriptor writer, DescriptorKeyID key, const char *text, int16_t *error) {
    uint32_t type, a, b;
    const char *rest;
    *error = 0;
    if (!SplitCode(text, &type, &rest)) return false;
    bool read = false;
    if (type == kTypeInteger) {
        int32_t v;
        if ((read = ParseInteger(rest, &v))) *error = PutInteger(writer, key, v);
    } else if (type == kTypeFloat) {
        double v;
        if ((read = ParseFloat(rest, &v))) *error = PutFloat(writer, key, &v);
    } else if (type == kTypeUnitFloat) {
        double v;
        if ((read = SplitCode(rest, &a, &rest) && ParseFloat(rest, &v)))
            *error = PutUnitFloat(writer, key, a, &v);
    } else if (type == kTypeBoolean) {
        PIBoolean v;
        if ((read = ParseBoolean(rest, &v))) *error = PutBoolean(writer, key, v);
    } else if (type == kTypeText) {
        *error = PutText(writer, key, rest, &read);
    } else if (type == kTypeEnumerated) {
        if ((read = SplitCode(rest, &a, &rest) && CodeFromText(rest, std::strlen(rest), &b)))
            *error = PutEnumerated(writer, key, a, b);
    } else if (type == kTypeClass) {
        if ((read = CodeFromText(rest, std::strlen(rest), &a))) *error = PutClass(writer, key, a);
    }
    return read && *error == 0;
}

uint32_t PlaySettings(const FilterRecord *record, PluginBinding *binding) {
    RecordTables *t = binding->tables;
    PIDescriptorParameters *p = &t->descriptorParameters;
    // A fresh instance of the plug-in gets the host's tables back, whatever
    // the last one did to the record's pointers.
    binding->record->descriptorParameters = p;
    p->readDescriptorProcs = &t->readDescriptor;
    p->writeDescriptorProcs = &t->writeDescriptor;
    if (!record->iniPath) {
        if (!IsDescriptor(p->descriptor)) p->descriptor = nullptr;
        MarkPlayedDescriptor(p->descriptor);
        return 0;
    }
    DisposeDescriptor(p->descriptor);
    p->descriptor = nullptr;
    PIHandle descriptor;
    if (ReadSettings(record, &descriptor) != 0) return FERR_NO_MEMORY;
    p->descriptor = descriptor;
    MarkPlayedDescriptor(descriptor);
    return 0;
}

void KeepSettings(const FilterRecord *record, const PluginBinding *binding) {
    PIHandle descriptor = binding->tables->descriptorParameters.descriptor;
    char section[kSectionSize];
    if (!record->iniPath || !IsNewSettings(descriptor) || !SectionOf(record, section)) return;
    // Not stored when memory is short: the file is written, the settings
    // file keeps the last settings.
    auto *value = static_cast<char *>(flt::heap_alloc(kMaxSettingText + 1));
    PIReadDescriptor reader = value ? OpenReadDescriptor(descriptor, nullptr) : nullptr;
    if (reader) WriteSection(reader, section, record->iniPath, value);
    CloseReadDescriptor(reader);
    flt::heap_free(value);
}

}  // namespace plug
