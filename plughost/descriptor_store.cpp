#include "descriptor_store.h"

#include <cstring>

#include "common/heap.h"
#include "services.h"

namespace plug {
namespace {

// A descriptor's block: the mark, the byte count of the items, then the
// items, each a key, a type, a value size and the value (all host order).
constexpr uint32_t kDescriptorMark = FourCharCode("PHds");
constexpr size_t kBlockHeader = 8;
constexpr size_t kItemHeader = 12;

struct Item {
    DescriptorKeyID key;
    DescriptorTypeID type;
    const uint8_t *value;
    uint32_t size;
    size_t end;  // offset of the next item
};

// Reads the item at `at` of `bytes`, or false when it does not fit.
bool ItemAt(const uint8_t *bytes, size_t size, size_t at, Item *item) {
    if (at > size || size - at < kItemHeader) return false;
    uint32_t words[3];
    std::memcpy(words, bytes + at, sizeof words);
    if (words[2] > size - at - kItemHeader) return false;
    *item = {words[0], words[1], bytes + at + kItemHeader, words[2], at + kItemHeader + words[2]};
    return true;
}

bool WellFormed(const uint8_t *bytes, size_t size) {
    Item item;
    for (size_t at = 0; at < size; at = item.end)
        if (!ItemAt(bytes, size, at, &item)) return false;
    return true;
}

// The items of a descriptor handle the store made, or false.
bool ItemsOf(PIHandle handle, const uint8_t **items, uint32_t *size) {
    size_t block = static_cast<size_t>(HandleGetSize(handle));
    if (!*handle || block < kBlockHeader) return false;
    uint32_t header[2];
    std::memcpy(header, *handle, sizeof header);
    if (header[0] != kDescriptorMark || header[1] > block - kBlockHeader ||
        header[1] > kMaxDescriptorBytes)
        return false;
    *items = reinterpret_cast<const uint8_t *>(*handle) + kBlockHeader;
    *size = header[1];
    return WellFormed(*items, *size);
}

struct DescriptorEntry {
    PIHandle handle;
    bool partial;  // its writer was closed after a put failed
    bool played;   // the host handed it to a plug-in
};
DescriptorEntry g_descriptors[kMaxDescriptors];

DescriptorEntry *EntryOf(PIHandle handle) {
    if (!handle) return nullptr;
    for (DescriptorEntry &e : g_descriptors)
        if (e.handle == handle) return &e;
    return nullptr;
}

// Lists a new descriptor; an address still listed (a disposed descriptor's,
// handed out again) takes the new entry.
bool Register(PIHandle handle, bool partial) {
    DescriptorEntry *e = EntryOf(handle);
    for (DescriptorEntry &free : g_descriptors)
        if (!e && !free.handle) e = &free;
    if (!e) return false;
    *e = {handle, partial, false};
    return true;
}

enum TokenKind : uint32_t { kReader = 1, kWriter = 2 };
constexpr int kMaxKeys = 64;

// An open reader (a copy of the descriptor's items and where it stands) or
// writer (the items put so far).
struct Token {
    TokenKind kind;
    const void *owner;
    uint8_t *bytes;
    uint32_t size;
    uint32_t capacity;
    size_t next;     // reader: offset of the next item
    size_t current;  // reader: offset of the item getKey produced
    bool hasCurrent;
    int16_t error;  // the first error of the token's calls
    int keyCount;   // reader: keys asked for, 0 for all
    DescriptorKeyID keys[kMaxKeys];
};
Token *g_tokens[kMaxOpenTokens];

Token *Find(const void *token, TokenKind kind) {
    if (!token) return nullptr;
    for (Token *t : g_tokens)
        if (t == token && t->kind == kind) return t;
    return nullptr;
}

Token *NewToken(TokenKind kind) {
    Token **slot = nullptr;
    for (Token *&t : g_tokens)
        if (!slot && !t) slot = &t;
    if (!slot) return nullptr;
    auto *token = static_cast<Token *>(flt::heap_alloc_zero(sizeof(Token)));
    if (!token) return nullptr;
    token->kind = kind;
    token->owner = CurrentFormat();
    *slot = token;
    return token;
}

void FreeToken(Token *token) {
    for (Token *&t : g_tokens)
        if (t == token) t = nullptr;
    flt::heap_free(token->bytes);
    flt::heap_free(token);
}

int16_t Note(Token *token, int16_t error) {
    if (token && token->error == 0) token->error = error;
    return error;
}

// Takes the zero-terminated key list; a list longer than the token holds
// asks for every item, as no list does.
void TakeKeys(Token *token, const DescriptorKeyID *keys) {
    if (!keys) return;
    int n = 0;
    while (n < kMaxKeys && keys[n] != 0) ++n;
    if (n == kMaxKeys && keys[n] != 0) return;
    std::memcpy(token->keys, keys, sizeof(DescriptorKeyID) * static_cast<size_t>(n));
    token->keyCount = n;
}

bool Wanted(const Token *token, DescriptorKeyID key) {
    if (token->keyCount == 0) return true;
    for (int i = 0; i < token->keyCount; ++i)
        if (token->keys[i] == key) return true;
    return false;
}

constexpr uint32_t kAnySize = UINT32_MAX;

// The reader's current item when it has `type` and `size` value bytes (any
// size for kAnySize) and the caller gave somewhere to put it; otherwise
// null, with the error noted on the reader.
const Item *Current(PIReadDescriptor reader, DescriptorTypeID type, uint32_t size, Item *item,
                    bool out) {
    Token *token = Find(reader, kReader);
    if (!token) return nullptr;
    bool fits = out && token->hasCurrent &&
                ItemAt(token->bytes, token->size, token->current, item) && item->type == type &&
                (size == kAnySize || item->size == size);
    if (fits) return item;
    Note(token, piParamErr);
    return nullptr;
}

int16_t Fetch(PIReadDescriptor reader, DescriptorTypeID type, void *out, uint32_t size) {
    Item item;
    if (!Current(reader, type, size, &item, out != nullptr)) return piParamErr;
    std::memcpy(out, item.value, size);
    return piNoErr;
}

// Removes the writer's item with `key`, if any: a key put again replaces
// its value (and moves to the end).
void Erase(Token *token, DescriptorKeyID key) {
    Item item;
    for (size_t at = 0; at < token->size && ItemAt(token->bytes, token->size, at, &item);
         at = item.end) {
        if (item.key != key) continue;
        std::memmove(token->bytes + at, token->bytes + item.end, token->size - item.end);
        token->size -= static_cast<uint32_t>(item.end - at);
        return;
    }
}

int16_t Append(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorTypeID type,
               const void *value, size_t size) {
    Token *token = Find(writer, kWriter);
    if (!token) return piParamErr;
    if (!value && size != 0) return Note(token, piParamErr);
    if (size > kMaxDescriptorBytes) return Note(token, piMemFullErr);
    Erase(token, key);
    if (kMaxDescriptorBytes - token->size < kItemHeader + size) return Note(token, piMemFullErr);
    uint32_t need = token->size + static_cast<uint32_t>(kItemHeader + size);
    if (need > token->capacity) {
        uint32_t capacity = need < 256 ? 256 : need + need / 2;
        if (capacity > kMaxDescriptorBytes) capacity = kMaxDescriptorBytes;
        auto *grown = static_cast<uint8_t *>(flt::heap_realloc(token->bytes, capacity));
        if (!grown) return Note(token, piMemFullErr);
        token->bytes = grown;
        token->capacity = capacity;
    }
    uint32_t words[3] = {key, type, static_cast<uint32_t>(size)};
    std::memcpy(token->bytes + token->size, words, sizeof words);
    if (size) std::memcpy(token->bytes + token->size + kItemHeader, value, size);
    token->size = need;
    return piNoErr;
}

// The procedures for values the store does not keep: aliases, references,
// objects. The call counts as the token's error.
int16_t Unsupported(const void *token, TokenKind kind) {
    Token *t = Find(token, kind);
    return t ? Note(t, errPlugInHostInsufficient) : int16_t{piParamErr};
}

int16_t PI_CDECL GetAlias(PIReadDescriptor r, PIHandle *) {
    return Unsupported(r, kReader);
}
int16_t PI_CDECL GetSimpleReference(PIReadDescriptor r, void *) {
    return Unsupported(r, kReader);
}
int16_t PI_CDECL GetObjectValue(PIReadDescriptor r, DescriptorTypeID *, PIDescriptorHandle *) {
    return Unsupported(r, kReader);
}
int16_t PI_CDECL PutAlias(PIWriteDescriptor w, DescriptorKeyID, PIHandle) {
    return Unsupported(w, kWriter);
}
int16_t PI_CDECL PutSimpleReference(PIWriteDescriptor w, DescriptorKeyID, const void *) {
    return Unsupported(w, kWriter);
}
int16_t PI_CDECL PutObject(PIWriteDescriptor w, DescriptorKeyID, DescriptorTypeID,
                           PIDescriptorHandle) {
    return Unsupported(w, kWriter);
}
int16_t PI_CDECL PutScopedClass(PIWriteDescriptor w, DescriptorKeyID, DescriptorTypeID) {
    return Unsupported(w, kWriter);
}
int16_t PI_CDECL PutScopedObject(PIWriteDescriptor w, DescriptorKeyID, DescriptorTypeID,
                                 PIDescriptorHandle) {
    return Unsupported(w, kWriter);
}

// Pinned values: the stored value brought into [min, max]; a null bound
// leaves that side open, crossed bounds are an error.
int16_t PI_CDECL GetPinnedInteger(PIReadDescriptor reader, int32_t min, int32_t max,
                                  int32_t *value) {
    if (min > max) return Note(Find(reader, kReader), piParamErr);
    int16_t error = GetInteger(reader, value);
    if (error == 0) *value = *value < min ? min : *value > max ? max : *value;
    return error;
}

void Pin(const double *min, const double *max, double *value) {
    if (min && *value < *min) *value = *min;
    if (max && *value > *max) *value = *max;
}

int16_t PI_CDECL GetPinnedFloat(PIReadDescriptor reader, const double *min, const double *max,
                                double *value) {
    if (min && max && *min > *max) return Note(Find(reader, kReader), piParamErr);
    int16_t error = GetFloat(reader, value);
    if (error == 0) Pin(min, max, value);
    return error;
}

int16_t PI_CDECL GetPinnedUnitFloat(PIReadDescriptor reader, const double *min, const double *max,
                                    DescriptorUnitID *unit, double *value) {
    if (min && max && *min > *max) return Note(Find(reader, kReader), piParamErr);
    int16_t error = GetUnitFloat(reader, unit, value);
    if (error == 0) Pin(min, max, value);
    return error;
}

}  // namespace

void FillReadDescriptorProcs(ReadDescriptorProcs *p) {
    *p = {0,
          18,
          OpenReadDescriptor,
          CloseReadDescriptor,
          GetKey,
          GetInteger,
          GetFloat,
          GetUnitFloat,
          GetBoolean,
          GetText,
          GetAlias,
          GetEnumerated,
          GetClass,
          GetSimpleReference,
          GetObjectValue,
          GetCount,
          GetString,
          GetPinnedInteger,
          GetPinnedFloat,
          GetPinnedUnitFloat};
}

void FillWriteDescriptorProcs(WriteDescriptorProcs *p) {
    *p = {0,
          16,
          OpenWriteDescriptor,
          CloseWriteDescriptor,
          PutInteger,
          PutFloat,
          PutUnitFloat,
          PutBoolean,
          PutText,
          PutAlias,
          PutEnumerated,
          PutClass,
          PutSimpleReference,
          PutObject,
          PutCount,
          PutString,
          PutScopedClass,
          PutScopedObject};
}

bool IsDescriptor(PIHandle handle) {
    const uint8_t *items;
    uint32_t size;
    return EntryOf(handle) && ItemsOf(handle, &items, &size);
}

void MarkPlayedDescriptor(PIHandle handle) {
    if (DescriptorEntry *e = EntryOf(handle)) e->played = true;
}

bool IsNewSettings(PIHandle handle) {
    DescriptorEntry *e = EntryOf(handle);
    return e && !e->played && !e->partial && IsDescriptor(handle);
}

void DisposeDescriptor(PIHandle handle) {
    if (EntryOf(handle)) HandleDispose(handle);
}

void ForgetDescriptor(PIHandle handle) {
    if (DescriptorEntry *e = EntryOf(handle)) *e = {nullptr, false, false};
}

void ReleaseDescriptorTokens(const void *owner) {
    for (Token *t : g_tokens)
        if (t && t->owner == owner) FreeToken(t);
}

PIReadDescriptor PI_CDECL OpenReadDescriptor(PIDescriptorHandle descriptor, DescriptorKeyID *keys) {
    const uint8_t *items;
    uint32_t size;
    if (!EntryOf(descriptor) || !ItemsOf(descriptor, &items, &size)) return nullptr;
    Token *token = NewToken(kReader);
    if (!token) return nullptr;
    // The reader works on a copy: the plug-in may dispose of (or resize) the
    // descriptor while it reads.
    token->bytes = static_cast<uint8_t *>(flt::heap_alloc(size));
    if (!token->bytes) {
        FreeToken(token);
        return nullptr;
    }
    std::memcpy(token->bytes, items, size);
    token->size = size;
    TakeKeys(token, keys);
    return reinterpret_cast<PIReadDescriptor>(token);
}

int16_t PI_CDECL CloseReadDescriptor(PIReadDescriptor reader) {
    Token *token = Find(reader, kReader);
    if (!token) return piParamErr;
    int16_t error = token->error;
    FreeToken(token);
    return error;
}

// Produces the next item asked for; the next call moves on whether or not a
// getter read this one.
PIBoolean PI_CDECL GetKey(PIReadDescriptor reader, DescriptorKeyID *key, DescriptorTypeID *type,
                          int32_t *flags) {
    Token *token = Find(reader, kReader);
    if (!token) return 0;
    token->hasCurrent = false;
    Item item;
    while (ItemAt(token->bytes, token->size, token->next, &item)) {
        size_t at = token->next;
        token->next = item.end;
        if (!Wanted(token, item.key)) continue;
        token->current = at;
        token->hasCurrent = true;
        if (key) *key = item.key;
        if (type) *type = item.type;
        if (flags) *flags = 0;
        return 1;
    }
    return 0;
}

int16_t PI_CDECL GetInteger(PIReadDescriptor reader, int32_t *value) {
    return Fetch(reader, kTypeInteger, value, sizeof *value);
}

int16_t PI_CDECL GetFloat(PIReadDescriptor reader, double *value) {
    return Fetch(reader, kTypeFloat, value, sizeof *value);
}

int16_t PI_CDECL GetUnitFloat(PIReadDescriptor reader, DescriptorUnitID *unit, double *value) {
    uint8_t bytes[12];
    int16_t error = Fetch(reader, kTypeUnitFloat, unit && value ? bytes : nullptr, sizeof bytes);
    if (error != 0) return error;
    std::memcpy(unit, bytes, 4);
    std::memcpy(value, bytes + 4, 8);
    return piNoErr;
}

int16_t PI_CDECL GetBoolean(PIReadDescriptor reader, PIBoolean *value) {
    int16_t error = Fetch(reader, kTypeBoolean, value, 1);
    if (error == 0) *value = *value ? 1 : 0;
    return error;
}

int16_t PI_CDECL GetText(PIReadDescriptor reader, PIHandle *value) {
    Item item;
    if (!Current(reader, kTypeText, kAnySize, &item, value != nullptr)) return piParamErr;
    PIHandle text = HandleNew(static_cast<int32_t>(item.size));
    if (!text) return Note(Find(reader, kReader), piMemFullErr);
    if (item.size) std::memcpy(*text, item.value, item.size);
    *value = text;
    return piNoErr;
}

int16_t PI_CDECL GetString(PIReadDescriptor reader, uint8_t *pascalString) {
    Item item;
    if (!Current(reader, kTypeText, kAnySize, &item, pascalString != nullptr)) return piParamErr;
    // Text longer than a Pascal string holds is cut to its 255 characters.
    uint32_t n = item.size < 255 ? item.size : 255;
    pascalString[0] = static_cast<uint8_t>(n);
    if (n) std::memcpy(pascalString + 1, item.value, n);
    return piNoErr;
}

int16_t GetEnumeratedPair(PIReadDescriptor reader, DescriptorTypeID *type,
                          DescriptorEnumID *value) {
    uint32_t words[2];
    int16_t error = Fetch(reader, kTypeEnumerated, value ? words : nullptr, sizeof words);
    if (error != 0) return error;
    if (type) *type = words[0];
    *value = words[1];
    return piNoErr;
}

int16_t PI_CDECL GetEnumerated(PIReadDescriptor reader, DescriptorEnumID *value) {
    return GetEnumeratedPair(reader, nullptr, value);
}

int16_t PI_CDECL GetClass(PIReadDescriptor reader, DescriptorTypeID *value) {
    return Fetch(reader, kTypeClass, value, sizeof *value);
}

int16_t PI_CDECL GetCount(PIReadDescriptor reader, uint32_t *value) {
    return Fetch(reader, kTypeInteger, value, sizeof *value);
}

PIWriteDescriptor PI_CDECL OpenWriteDescriptor() {
    return reinterpret_cast<PIWriteDescriptor>(NewToken(kWriter));
}

// Hands the items put so far over in a new descriptor handle, even after a
// put failed (the result then says which error came first).
int16_t PI_CDECL CloseWriteDescriptor(PIWriteDescriptor writer, PIDescriptorHandle *descriptor) {
    Token *token = Find(writer, kWriter);
    if (!token) return piParamErr;
    int16_t error = token->error;
    PIHandle handle =
        descriptor ? HandleNew(static_cast<int32_t>(kBlockHeader + token->size)) : nullptr;
    if (handle && !Register(handle, error != 0)) {
        HandleDispose(handle);
        handle = nullptr;
    }
    if (handle) {
        uint32_t header[2] = {kDescriptorMark, token->size};
        std::memcpy(*handle, header, sizeof header);
        if (token->size) std::memcpy(*handle + kBlockHeader, token->bytes, token->size);
    } else if (error == 0) {
        error = descriptor ? piMemFullErr : piParamErr;
    }
    if (descriptor) *descriptor = handle;
    FreeToken(token);
    return error;
}

int16_t PI_CDECL PutInteger(PIWriteDescriptor writer, DescriptorKeyID key, int32_t value) {
    return Append(writer, key, kTypeInteger, &value, sizeof value);
}

int16_t PI_CDECL PutFloat(PIWriteDescriptor writer, DescriptorKeyID key, const double *value) {
    return Append(writer, key, kTypeFloat, value, sizeof *value);
}

int16_t PI_CDECL PutUnitFloat(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorUnitID unit,
                              const double *value) {
    uint8_t bytes[12];
    if (value) {
        std::memcpy(bytes, &unit, 4);
        std::memcpy(bytes + 4, value, 8);
    }
    return Append(writer, key, kTypeUnitFloat, value ? bytes : nullptr, sizeof bytes);
}

int16_t PI_CDECL PutBoolean(PIWriteDescriptor writer, DescriptorKeyID key, PIBoolean value) {
    uint8_t byte = value ? 1 : 0;
    return Append(writer, key, kTypeBoolean, &byte, 1);
}

int16_t PI_CDECL PutText(PIWriteDescriptor writer, DescriptorKeyID key, PIHandle value) {
    if (!value) return Note(Find(writer, kWriter), piParamErr);
    int32_t size = HandleGetSize(value);
    return PutTextBytes(writer, key, reinterpret_cast<const uint8_t *>(*value),
                        *value ? static_cast<size_t>(size) : 0);
}

int16_t PutTextBytes(PIWriteDescriptor writer, DescriptorKeyID key, const uint8_t *bytes,
                     size_t size) {
    return Append(writer, key, kTypeText, bytes, size);
}

int16_t PI_CDECL PutEnumerated(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorTypeID type,
                               DescriptorEnumID value) {
    uint32_t words[2] = {type, value};
    return Append(writer, key, kTypeEnumerated, words, sizeof words);
}

int16_t PI_CDECL PutClass(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorTypeID value) {
    return Append(writer, key, kTypeClass, &value, sizeof value);
}

int16_t PI_CDECL PutCount(PIWriteDescriptor writer, DescriptorKeyID key, uint32_t value) {
    return Append(writer, key, kTypeInteger, &value, sizeof value);
}

int16_t PI_CDECL PutString(PIWriteDescriptor writer, DescriptorKeyID key,
                           const uint8_t *pascalString) {
    if (!pascalString) return Note(Find(writer, kWriter), piParamErr);
    return PutTextBytes(writer, key, pascalString + 1, pascalString[0]);
}

}  // namespace plug
