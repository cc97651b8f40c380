// A plug-in's settings in the host's settings file (iniPath): what the
// plug-in hands back as its descriptor after a save is kept in a section of
// its own and played back as the descriptor of its next save.
//
// The section is "[Plug-in <file name of the plug-in>]", one line per item:
// the item's four-character key (or 0x and eight hex digits when the key has
// characters an INI key cannot hold, or would match an earlier key but for
// case), then its type and value:
//   wrtl=long:100              integer (counts too)
//   gama=doub:2.2              float
//   rslt=UntF:#Rsl:72          unit float (unit, value)
//   useP=bool:1                boolean (0/1, false/true)
//   name=TEXT:two\x20words     text; bytes outside '!'..'~' and '\' as \xHH
//   mode=enum:Cmpr:Fast        enumerated (type, value)
//   clss=type:Dcmn             class
// Codes inside values are written as keys are. A line that does not read
// back (hand-edited) is skipped; the others still count.
//
// The section "[Plug-in Settings For This Run]" adds to (and overrides) the
// stored items for the saves of one run: the host writes it before and
// removes it after, so that a setting given for a run is stored only when
// the plug-in hands it back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/filter.h"
#include "context.h"

namespace plug {

constexpr char kRunSettingsSection[] = "Plug-in Settings For This Run";
// Longest value text an item may have in the file; an item whose text would
// be longer is not stored.
constexpr size_t kMaxSettingText = 2048;

// Before a save: the stored settings (and the run's) become the record's
// descriptor, replacing what a previous save left there. Without a settings
// file the descriptor a previous save of this context handed back stays.
// 0, or FERR_NO_MEMORY when the descriptor could not be built.
uint32_t PlaySettings(const FilterRecord *record, PluginBinding *binding);
// After a save that succeeded: a descriptor the plug-in handed back whole
// (not the one it was given, not one whose writer failed) replaces the
// plug-in's section.
void KeepSettings(const FilterRecord *record, const PluginBinding *binding);

// An item's value as the file holds it ("long:100"), from a reader whose
// current item has `type`; false when it has no text form that fits `size`.
bool SettingText(PIReadDescriptor reader, DescriptorTypeID type, char *text, size_t size);
// Puts the item of `key` whose file text is `text`; false (nothing put)
// when the text does not read as a value, or the put failed (`*error`).
bool PutSetting(PIWriteDescriptor writer, DescriptorKeyID key, const char *text, int16_t *error);
// A four-character code as a key or code text (11 bytes with the NUL), and back.
void CodeText(uint32_t code, char *text);
bool CodeFromText(const char *text, size_t length, uint32_t *code);

}  // namespace plug
