// The descriptor store: settings a plug-in reads before an operation and
// hands back after it, as a list of (key, type, value) items kept in a
// handle of plughost's own (so that the plug-in may dispose of it through
// the handle procedures or the Handle suite), with the read and write
// procedures the record offers over it.
//
// Plug-ins are not trusted with it: reader and writer tokens are looked up
// in a list of the live ones, descriptor handles in a list of those the
// store made, and a descriptor's contents are checked (mark, sizes of every
// item) before they are read. Anything else is refused with an error code
// (or a null token), never dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format_record.h"

namespace plug {

constexpr uint32_t FourCharCode(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

// The value types of items. A count is kept as an integer (its 32 bits read
// back unsigned), a Pascal string as text.
constexpr DescriptorTypeID kTypeInteger = FourCharCode("long");
constexpr DescriptorTypeID kTypeFloat = FourCharCode("doub");
constexpr DescriptorTypeID kTypeUnitFloat = FourCharCode("UntF");
constexpr DescriptorTypeID kTypeBoolean = FourCharCode("bool");
constexpr DescriptorTypeID kTypeText = FourCharCode("TEXT");
constexpr DescriptorTypeID kTypeEnumerated = FourCharCode("enum");
constexpr DescriptorTypeID kTypeClass = FourCharCode("type");

// Bounds that keep a misbehaving plug-in from growing the store without
// end: item bytes per descriptor, live descriptors, open tokens.
constexpr uint32_t kMaxDescriptorBytes = 1u << 20;
constexpr int kMaxDescriptors = 64;
constexpr int kMaxOpenTokens = 16;

// Point the tables' procedures at the store (version 0, all procedures;
// those for values the store does not keep answer errPlugInHostInsufficient).
void FillReadDescriptorProcs(ReadDescriptorProcs *procs);
void FillWriteDescriptorProcs(WriteDescriptorProcs *procs);

// Whether `handle` is a descriptor the store made, not yet disposed of, with
// well-formed contents.
bool IsDescriptor(PIHandle handle);
// Marks a descriptor as one the host handed to a plug-in.
void MarkPlayedDescriptor(PIHandle handle);
// Whether `handle` is a descriptor a plug-in's writer closed without an
// error (not one the host played, even at the same address): new settings.
bool IsNewSettings(PIHandle handle);
// Disposes of `handle` when it is a descriptor; anything else is left alone.
void DisposeDescriptor(PIHandle handle);
// Drops `handle` from the store's list; called whenever a handle is disposed.
void ForgetDescriptor(PIHandle handle);

// Frees the readers and writers that the plug-in of `owner` (the record that
// was current when they were opened) left open.
void ReleaseDescriptorTokens(const void *owner);

// The store's procedures, for the host's own use of descriptors (settings
// file) and for the tests.
PIReadDescriptor PI_CDECL OpenReadDescriptor(PIDescriptorHandle descriptor, DescriptorKeyID *keys);
int16_t PI_CDECL CloseReadDescriptor(PIReadDescriptor reader);
PIBoolean PI_CDECL GetKey(PIReadDescriptor reader, DescriptorKeyID *key, DescriptorTypeID *type,
                          int32_t *flags);
int16_t PI_CDECL GetInteger(PIReadDescriptor reader, int32_t *value);
int16_t PI_CDECL GetFloat(PIReadDescriptor reader, double *value);
int16_t PI_CDECL GetUnitFloat(PIReadDescriptor reader, DescriptorUnitID *unit, double *value);
int16_t PI_CDECL GetBoolean(PIReadDescriptor reader, PIBoolean *value);
int16_t PI_CDECL GetText(PIReadDescriptor reader, PIHandle *value);
int16_t PI_CDECL GetEnumerated(PIReadDescriptor reader, DescriptorEnumID *value);
int16_t PI_CDECL GetClass(PIReadDescriptor reader, DescriptorTypeID *value);
int16_t PI_CDECL GetCount(PIReadDescriptor reader, uint32_t *value);
int16_t PI_CDECL GetString(PIReadDescriptor reader, uint8_t *pascalString);
// The whole enumerated item: its enumeration type and value.
int16_t GetEnumeratedPair(PIReadDescriptor reader, DescriptorTypeID *type, DescriptorEnumID *value);

PIWriteDescriptor PI_CDECL OpenWriteDescriptor();
int16_t PI_CDECL CloseWriteDescriptor(PIWriteDescriptor writer, PIDescriptorHandle *descriptor);
int16_t PI_CDECL PutInteger(PIWriteDescriptor writer, DescriptorKeyID key, int32_t value);
int16_t PI_CDECL PutFloat(PIWriteDescriptor writer, DescriptorKeyID key, const double *value);
int16_t PI_CDECL PutUnitFloat(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorUnitID unit,
                              const double *value);
int16_t PI_CDECL PutBoolean(PIWriteDescriptor writer, DescriptorKeyID key, PIBoolean value);
int16_t PI_CDECL PutText(PIWriteDescriptor writer, DescriptorKeyID key, PIHandle value);
int16_t PI_CDECL PutEnumerated(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorTypeID type,
                               DescriptorEnumID value);
int16_t PI_CDECL PutClass(PIWriteDescriptor writer, DescriptorKeyID key, DescriptorTypeID value);
int16_t PI_CDECL PutCount(PIWriteDescriptor writer, DescriptorKeyID key, uint32_t value);
int16_t PI_CDECL PutString(PIWriteDescriptor writer, DescriptorKeyID key,
                           const uint8_t *pascalString);
// Text from bytes in memory rather than a handle.
int16_t PutTextBytes(PIWriteDescriptor writer, DescriptorKeyID key, const uint8_t *bytes,
                     size_t size);

}  // namespace plug
