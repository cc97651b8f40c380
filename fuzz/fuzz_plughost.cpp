// plughost driven as a host does, with an in-process plug-in whose every
// answer comes from the input: the result word of each selector, the record
// fields it sets, and which services it calls how often with which sizes.
//
// Input: a flag byte, a heap-failure position, the host's block (the import
// request of fuzz_host.h, or the export image below), then one step per
// selector call (see ScriptedPlugin). fuzz/make_plughost_seeds.py writes seeds.
#include <cstring>
#include <vector>

#include "common/heap.h"
#include "common/library_link.h"
#include "common/module.h"
#include "format_record.h"
#include "fuzz/fuzz_host.h"

namespace {

constexpr char kPluginPath[] = "linked:fuzz-plugin";
constexpr char kEntryName[] = "ENTRYPOINT";

// Flag byte.
constexpr uint8_t kExport = 0x01;
constexpr uint8_t kNoPluginPath = 0x02;
constexpr uint8_t kTwice = 0x04;  // identify twice, or a second FE_EXPORT
constexpr uint8_t kOptionsFirst = 0x08;
constexpr uint8_t kNoDialog = 0x10;
constexpr uint8_t kHeapFailure = 0x20;
constexpr uint8_t kStoreCancel = 0x40;  // export: refusals store FERR_CANCELLED

// The export block: width, height (i16), depth choice, palette count (u16),
// palette kind, colour space, x and y resolution (u32), progress call to
// refuse.
constexpr size_t kExportBlock = 18;
constexpr int32_t kDepths[] = {1, 4, 8, 24, 32, 16, 0, 2};

// A bound on the loop selectors, so that a script that never clears `data`
// ends (a plug-in that never finishes is its own fault, not the host's).
constexpr int kMaxContinues = 64;
// The largest row buffer the plug-in allocates for the rows it announces.
constexpr int64_t kMaxRowBuffer = int64_t{1} << 20;

// Front-to-back reader of the script; reads past the end give 0.
class Reader {
  public:
    Reader() = default;
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    int16_t i16() {
        uint16_t lo = u8();
        return static_cast<int16_t>(lo | u8() << 8);
    }
    int32_t i32() {
        uint32_t lo = static_cast<uint16_t>(i16());
        return static_cast<int32_t>(lo | static_cast<uint32_t>(static_cast<uint16_t>(i16())) << 16);
    }

  private:
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

// Memory the plug-in got from plughost's services, with the procedure that
// gives it back (the record may be gone when leftovers are collected).
struct Block {
    enum Kind { kBuffer, kHandle, kBasic, kSuiteBuffer } kind;
    void *id;
    PIFreeBufferProc freeBuffer;
    PIDisposeHandleProc disposeHandle;
    SPFreeBlockProc freeBasic;
    int32_t size;  // handles: the size last set
};

// One phase of the selector protocol: the selectors that open it, each only
// after the one before succeeded; the phase is open once the last of them
// succeeded, takes its loop selector while open, and ends at its finish.
struct Phase {
    int16_t opening[3];
    int openingCount;
    int16_t loop;  // -1: none
    int16_t finish;
};
constexpr Phase kPhases[] = {
    {{formatSelectorFilterFile, formatSelectorReadPrepare, formatSelectorReadStart},
     3,
     formatSelectorReadContinue,
     formatSelectorReadFinish},
    // A layer of the layered read, inside the open read.
    {{formatSelectorReadLayerStart},
     1,
     formatSelectorReadLayerContinue,
     formatSelectorReadLayerFinish},
    {{formatSelectorOptionsPrepare, formatSelectorOptionsStart},
     2,
     formatSelectorOptionsContinue,
     formatSelectorOptionsFinish},
    {{formatSelectorEstimatePrepare, formatSelectorEstimateStart},
     2,
     formatSelectorEstimateContinue,
     formatSelectorEstimateFinish},
    {{formatSelectorWritePrepare, formatSelectorWriteStart},
     2,
     formatSelectorWriteContinue,
     formatSelectorWriteFinish},
};
constexpr int kPhaseCount = sizeof kPhases / sizeof kPhases[0];
constexpr int kReadPhase = 0, kLayerPhase = 1;

// The selector protocol as the plug-in sees it, and what it holds.
struct PluginState {
    Reader script;
    bool open[kPhaseCount] = {};
    int step[kPhaseCount] = {};  // opening selectors done
    int continues = 0;
    std::vector<Block> blocks;
    int dataBlock = -1;  // index in blocks of the buffer `data` points to
    void *dataBytes = nullptr;
    int64_t dataSize = 0;

    bool any_open() const {
        for (bool o : open)
            if (o) return true;
        return false;
    }
};

PluginState g_plugin;
// The buffer suite, once acquired: its table is the module's constant data.
const PSBufferSuite2 *g_buffer_suite = nullptr;

void free_block(const Block &b) {
    if (b.kind == Block::kSuiteBuffer) {
        char *block = static_cast<char *>(b.id);
        g_buffer_suite->Dispose(&block);
    } else if (b.kind == Block::kBuffer)
        b.freeBuffer(static_cast<PIBufferID>(b.id));
    else if (b.kind == Block::kBasic)
        b.freeBasic(b.id);
    else
        b.disposeHandle(static_cast<PIHandle>(b.id));
}

// A well-behaved plug-in gives back all it holds when its phase ends.
void release_all(FormatRecord *record) {
    for (const Block &b : g_plugin.blocks) free_block(b);
    g_plugin.blocks.clear();
    g_plugin.dataBlock = -1;
    g_plugin.dataBytes = nullptr;
    g_plugin.dataSize = 0;
    if (record) record->data = nullptr;
}

int newest_scratch() {
    for (int i = static_cast<int>(g_plugin.blocks.size()) - 1; i >= 0; --i)
        if (i != g_plugin.dataBlock) return i;
    return -1;
}

void drop_block(int index) {
    free_block(g_plugin.blocks[index]);
    g_plugin.blocks.erase(g_plugin.blocks.begin() + index);
    if (g_plugin.dataBlock > index) --g_plugin.dataBlock;
}

int32_t scratch_size(int32_t v) {
    // Sizes the heap refuses at once stay as they are; others are kept small
    // so that a run stays fast.
    if (v < 0 || v >= (1 << 30)) return v;
    return v & 0xFFFFF;
}

int64_t span(int64_t step, int64_t count) {
    return count > 1 ? (count - 1) * (step < 0 ? -step : step) : 0;
}

// The bytes the described chunk reaches from `data` (rows, columns and
// planes at their steps; samples of up to two bytes, or packed bits): the
// buffer `data` must hold. A description without plane range and steps
// means whole pixels side by side, of at most 16 two-byte planes.
int64_t announced_bytes(const FormatRecord *r) {
    // A plug-in that uses 32-bit coordinates describes its chunk in theRect32.
    const bool wide = r->PluginUsing32BitCoordinates != 0;
    const VRect rect =
        wide ? r->theRect32
             : VRect{r->theRect.top, r->theRect.left, r->theRect.bottom, r->theRect.right};
    const int64_t rows = int64_t{rect.bottom} - rect.top;
    const int64_t cols = int64_t{rect.right} - rect.left;
    if (rows <= 0 || cols <= 0) return 1;
    const bool whole = !r->colBytes && !r->planeBytes && !r->loPlane && !r->hiPlane;
    const int64_t planes = whole ? 16 : int64_t{r->hiPlane} - r->loPlane + 1;
    return span(r->rowBytes, rows) + span(whole ? 32 : r->colBytes, cols) +
           span(whole ? 2 : r->planeBytes, planes) + (cols + 7) / 8 + 2;
}

// Points `data` at a buffer that truly holds the announced rows, from the
// source the script picks; null when it cannot be had.
void provide_data(FormatRecord *r, int source) {
    int64_t need = announced_bytes(r);
    if (source == 0 && g_plugin.dataBlock >= 0 && g_plugin.dataSize >= need) {
        r->data = g_plugin.dataBytes;
        return;
    }
    if (g_plugin.dataBlock >= 0) {
        drop_block(g_plugin.dataBlock);
        g_plugin.dataBlock = -1;
    }
    r->data = nullptr;
    g_plugin.dataBytes = nullptr;
    g_plugin.dataSize = 0;
    if (need > kMaxRowBuffer) return;
    const int32_t size = static_cast<int32_t>(need);
    Block b{};
    void *bytes = nullptr;
    if (source == 2 || source == 3) {
        PIHandle h = source == 2 ? r->handleProcs->newProc(size) : r->hostNewHdl(size);
        if (!h) return;
        b = {Block::kHandle, h, nullptr, r->handleProcs->disposeProc, nullptr, size};
        bytes = r->handleProcs->lockProc(h, 0);
    } else {
        PIBufferID id = nullptr;
        if (r->bufferProcs->allocateProc(size, &id) != 0) return;
        b = {Block::kBuffer, id, r->bufferProcs->freeProc, nullptr, nullptr, size};
        bytes = r->bufferProcs->lockProc(id, 0);
    }
    fuzz::check(bytes != nullptr, "plug-in memory locks to null");
    std::memset(bytes, 0x5A, static_cast<size_t>(size));
    g_plugin.blocks.push_back(b);
    g_plugin.dataBlock = static_cast<int>(g_plugin.blocks.size()) - 1;
    g_plugin.dataBytes = bytes;
    g_plugin.dataSize = need;
    r->data = bytes;
}

void buffer_op(FormatRecord *r, int arg) {
    BufferProcs *p = r->bufferProcs;
    switch (arg & 3) {
        case 0: {
            PIBufferID id = reinterpret_cast<PIBufferID>(1);
            int16_t e = p->allocateProc(scratch_size(g_plugin.script.i32()), &id);
            fuzz::check(e == 0 ? id != nullptr : (e == piMemFullErr && id == nullptr),
                        "buffer allocate: result and id disagree");
            if (e == 0)
                g_plugin.blocks.push_back({Block::kBuffer, id, p->freeProc, nullptr, nullptr, 0});
            break;
        }
        case 1:
            for (size_t i = 0; i < g_plugin.blocks.size(); ++i)
                if (static_cast<int>(i) != g_plugin.dataBlock &&
                    g_plugin.blocks[i].kind == Block::kBuffer) {
                    drop_block(static_cast<int>(i));
                    break;
                }
            break;
        case 2:
            fuzz::check(p->spaceProc() >= 0, "buffer space below zero");
            break;
        default: {
            int i = newest_scratch();
            if (i < 0 || g_plugin.blocks[i].kind != Block::kBuffer) break;
            auto id = static_cast<PIBufferID>(g_plugin.blocks[i].id);
            fuzz::check(p->lockProc(id, 1) == id, "buffer lock is not the id");
            p->unlockProc(id);
        }
    }
}

void handle_op(FormatRecord *r, int arg) {
    HandleProcs *p = r->handleProcs;
    int i = newest_scratch();
    Block *b = i >= 0 && g_plugin.blocks[i].kind == Block::kHandle ? &g_plugin.blocks[i] : nullptr;
    auto h = b ? static_cast<PIHandle>(b->id) : nullptr;
    switch (arg & 7) {
        case 0:
        case 5: {
            int32_t size = scratch_size(g_plugin.script.i32());
            PIHandle n = (arg & 7) == 0 ? p->newProc(size) : r->hostNewHdl(size);
            if (n) {
                fuzz::check(size >= 0, "handle of a negative size");
                g_plugin.blocks.push_back(
                    {Block::kHandle, n, nullptr, p->disposeProc, nullptr, size});
            }
            break;
        }
        case 1: {
            int32_t size = scratch_size(g_plugin.script.i32());
            int16_t e = p->setSizeProc(h, size);
            if (!h) fuzz::check(e == piNullHandleErr, "set size of a null handle");
            if (b && e == 0) b->size = size;
            fuzz::check(e == 0 || e == piMemFullErr || e == piNullHandleErr,
                        "set size: unknown result");
            break;
        }
        case 2:
            fuzz::check(p->getSizeProc(h) == (b ? b->size : 0), "handle size is not the size set");
            break;
        case 3:
            if (h) fuzz::check(p->lockProc(h, 0) != nullptr, "handle locks to null");
            p->unlockProc(h);
            break;
        case 4:
        case 6:
            if (!b) break;
            b->disposeHandle = (arg & 7) == 4 ? p->disposeProc : r->hostDisposeHdl;
            drop_block(i);
            break;
        default:
            p->recoverSpaceProc(g_plugin.script.i32());
    }
}

// A channel of documentInfo read as plug-ins that save from the ports do,
// through the suite or the record's procedures, into a buffer that holds
// every byte the described layout reaches over the asked rectangle (the
// rectangle may reach outside the image; depth, steps and offset are the
// script's, so bad ones are refused).
void port_op(FormatRecord *r, int arg) {
    Reader &in = g_plugin.script;
    const int8_t top = static_cast<int8_t>(in.u8()), left = static_cast<int8_t>(in.u8());
    const int32_t rows = in.u8() & 15, cols = in.u8() & 15;
    const int32_t rowBits = in.i16(), colBits = in.i16(), bitOffset = in.u8() * 8;
    const int32_t depth = (arg & 4) ? in.u8() : 8;
    const ReadImageDocumentDesc *d = r->documentInfo;
    const ReadChannelDesc *c =
        d ? ((arg & 3) == 3 ? d->mergedTransparency : d->mergedCompositeChannels) : nullptr;
    for (int i = 0; c && i < (arg & 3) && (arg & 3) != 3; ++i) c = c->next;
    if (!c) return;
    const int64_t reach = (rows > 0 && cols > 0)
                              ? (rows - 1) * int64_t{rowBits < 0 ? 0 : rowBits} / 8 +
                                    (cols - 1) * int64_t{colBits < 0 ? 0 : colBits} / 8 +
                                    bitOffset / 8 + 1
                              : 1;
    std::vector<uint8_t> buffer(static_cast<size_t>(reach), 0);
    PixelMemoryDesc desc = {buffer.data(), rowBits, colBits, bitOffset, depth};
    VRect rect = {top, left, top + rows, left + cols};
    int32_t result;
    if (arg & 8) {
        const void *suite = nullptr;
        if (r->sSPBasic->AcquireSuite(PI_CHANNEL_PORTS_SUITE_NAME, 3, &suite) != 0 || !suite)
            return;
        const auto *ports = static_cast<const PSChannelPortsSuite3 *>(suite);
        result = ports->ReadPixelsFromLevel(c->port, 0, &rect, &desc);
        r->sSPBasic->ReleaseSuite(PI_CHANNEL_PORTS_SUITE_NAME, 3);
    } else {
        const VRect asked = rect;
        result = r->channelPortProcs->readPixelsProc(c->port, nullptr, &asked, &desc, &rect);
    }
    fuzz::check(result != 0 || (rect.top >= 0 && rect.left >= 0 && rect.bottom >= rect.top &&
                                rect.right >= rect.left),
                "a port read left a rectangle outside the image");
}

// The basic suite, as a plug-in built for later versions uses it: suites
// asked for by names and versions it does not offer, and blocks from the
// module heap.
void basic_op(FormatRecord *r, int arg) {
    static const char *const kNames[] = {"Photoshop ChannelPorts Suite for Plug-ins",
                                         PI_BASIC_SUITE_NAME, "", nullptr};
    const SPBasicSuite *p = r->sSPBasic;
    fuzz::check(p != nullptr, "record without the basic suite");
    int i = newest_scratch();
    Block *b = i >= 0 && g_plugin.blocks[i].kind == Block::kBasic ? &g_plugin.blocks[i] : nullptr;
    switch (arg & 3) {
        case 0: {
            const void *suite = r;
            int32_t e = p->AcquireSuite(kNames[(arg >> 2) & 3], 1, &suite);
            fuzz::check(e != 0 && suite == nullptr, "a suite this host does not offer");
            break;
        }
        case 1: {
            void *block = nullptr;
            // Negative sizes (huge as size_t) are refused; others stay small.
            int32_t size = g_plugin.script.i32();
            if (size >= 0) size &= 0xFFFFF;
            int32_t e = p->AllocateBlock(static_cast<size_t>(static_cast<uint32_t>(size)), &block);
            fuzz::check(e == 0 ? block != nullptr : (e == piMemFullErr && block == nullptr),
                        "allocate block: result and block disagree");
            if (e == 0)
                g_plugin.blocks.push_back(
                    {Block::kBasic, block, nullptr, nullptr, p->FreeBlock, size});
            break;
        }
        case 2: {
            if (!b) break;
            void *moved = nullptr;
            int32_t size = scratch_size(g_plugin.script.i32()) & 0xFFFF;
            if (p->ReallocateBlock(b->id, static_cast<size_t>(size), &moved) == 0) {
                b->id = moved;
                b->size = size;
            }
            break;
        }
        default:
            if (b) drop_block(i);
    }
}

void resource_op(FormatRecord *r, int arg) {
    ResourceProcs *p = r->resourceProcs;
    uint32_t type = static_cast<uint32_t>(g_plugin.script.i32());
    int16_t index = g_plugin.script.i16();
    switch (arg & 3) {
        case 0:
            p->countProc(type);
            break;
        case 1: {
            // A resource handed back is the host's copy, readable to its end.
            PIHandle h = p->getProc(type, index);
            if (!h) break;
            int32_t size = r->handleProcs->getSizeProc(h);
            fuzz::check(size >= 0 && (size == 0 || *h), "resource without its data");
            if (size > 0) {
                volatile char first = (*h)[0], last = (*h)[size - 1];
                (void)first;
                (void)last;
            }
            break;
        }
        case 2: {
            int i = newest_scratch();
            bool handle = i >= 0 && g_plugin.blocks[i].kind == Block::kHandle;
            p->addProc(type, handle ? static_cast<PIHandle>(g_plugin.blocks[i].id) : nullptr);
            break;
        }
        default:
            p->deleteProc(type, index);
    }
}

// The descriptor procedures, as a plug-in uses them for its settings: read
// the record's descriptor (or a plain handle, or a made-up token) with
// getters of the script's choice, write one in its place, dispose of it.
void descriptor_op(FormatRecord *r, int arg) {
    PIDescriptorParameters *p = r->descriptorParameters;
    fuzz::check(p && p->readDescriptorProcs && p->writeDescriptorProcs,
                "record without descriptor procedures");
    ReadDescriptorProcs *rp = p->readDescriptorProcs;
    WriteDescriptorProcs *wp = p->writeDescriptorProcs;
    Reader &in = g_plugin.script;
    switch (arg & 3) {
        case 0: {
            int i = newest_scratch();
            bool plain = (arg & 4) && i >= 0 && g_plugin.blocks[i].kind == Block::kHandle;
            PIHandle h = plain ? static_cast<PIHandle>(g_plugin.blocks[i].id) : p->descriptor;
            DescriptorKeyID keys[] = {static_cast<DescriptorKeyID>(in.i32()), 0};
            PIReadDescriptor t = rp->openReadDescriptorProc(h, (arg & 8) ? keys : nullptr);
            if (plain) fuzz::check(t == nullptr, "a plain handle read as a descriptor");
            int32_t i32;
            double f64;
            uint32_t u32;
            PIHandle text = nullptr;
            uint8_t str[256];
            while (rp->getKeyProc(t, nullptr, nullptr, nullptr)) {
                switch (in.u8() & 7) {
                    case 0:
                        rp->getIntegerProc(t, &i32);
                        break;
                    case 1:
                        rp->getFloatProc(t, &f64);
                        break;
                    case 2:
                        rp->getUnitFloatProc(t, &u32, &f64);
                        break;
                    case 3:
                        rp->getBooleanProc(t, str);
                        break;
                    case 4:
                        if (rp->getTextProc(t, &text) == 0) r->handleProcs->disposeProc(text);
                        break;
                    case 5:
                        rp->getStringProc(t, str);
                        break;
                    case 6:
                        rp->getEnumeratedProc(t, &u32);
                        break;
                    default:
                        break;  // skipped without a getter
                }
            }
            rp->closeReadDescriptorProc(t);
            break;
        }
        case 1: {
            PIWriteDescriptor t = wp->openWriteDescriptorProc();
            for (int n = in.u8() & 15; n > 0; --n) {
                const DescriptorKeyID key = static_cast<DescriptorKeyID>(in.i32());
                const double f64 = in.i32() / 3.0;
                const uint8_t str[] = {3, 'a', 'b', 'c'};
                switch (in.u8() & 7) {
                    case 0:
                        wp->putIntegerProc(t, key, in.i32());
                        break;
                    case 1:
                        wp->putFloatProc(t, key, &f64);
                        break;
                    case 2:
                        wp->putUnitFloatProc(t, key, key, &f64);
                        break;
                    case 3:
                        wp->putBooleanProc(t, key, in.u8());
                        break;
                    case 4:
                        wp->putStringProc(t, key, str);
                        break;
                    case 5:
                        wp->putEnumeratedProc(t, key, key, key);
                        break;
                    case 6:
                        wp->putCountProc(t, key, static_cast<uint32_t>(in.i32()));
                        break;
                    default:
                        wp->putObjectProc(t, key, key, nullptr);
                }
            }
            r->handleProcs->disposeProc(p->descriptor);
            p->descriptor = nullptr;
            wp->closeWriteDescriptorProc(t, &p->descriptor);
            break;
        }
        case 2: {
            // Tokens and handles plughost never made are refused, not used.
            uint8_t junk[64] = {};
            int32_t v;
            fuzz::check(
                rp->getIntegerProc(reinterpret_cast<PIReadDescriptor>(junk), &v) != 0 &&
                    wp->putIntegerProc(reinterpret_cast<PIWriteDescriptor>(junk), 1, 1) != 0 &&
                    rp->openReadDescriptorProc(reinterpret_cast<PIHandle>(junk), nullptr) ==
                        nullptr,
                "a made-up token or handle was used");
            break;
        }
        default:
            r->handleProcs->disposeProc(p->descriptor);
            p->descriptor = nullptr;
    }
}

// A 32-bit coordinate from the script: negative values stay, others are
// kept within `mask` (beyond 16 bits, small enough for a fast run).
int32_t wide(int32_t v, int32_t mask) {
    return v < 0 ? v : v & mask;
}

// Suites asked for by name and version, as later plug-ins do: a table comes
// back exactly when the answer is 0. Blocks of the buffer suite are kept like
// the others, handles of the handle suite are the record's, and the channel
// ports refuse a port they never handed out.
void suite_op(FormatRecord *r, int arg) {
    struct Asked {
        const char *name;
        int32_t version;
    };
    static const Asked kAsked[] = {{PI_BUFFER_SUITE_NAME, 1},
                                   {PI_HANDLE_SUITE_NAME, 2},
                                   {PI_CHANNEL_PORTS_SUITE_NAME, 3},
                                   {PI_BUFFER_SUITE_NAME, 3}};
    const Asked &asked = kAsked[arg & 3];
    const void *suite = r;
    int32_t e = r->sSPBasic->AcquireSuite(asked.name, asked.version, &suite);
    fuzz::check(e == 0 ? suite != nullptr : suite == nullptr, "suite: result and table disagree");
    if (e != 0) return;
    int32_t size = scratch_size(g_plugin.script.i32());
    if ((arg & 3) == 0) {
        g_buffer_suite = static_cast<const PSBufferSuite2 *>(suite);
        const uint32_t asked_size = static_cast<uint32_t>(size) & 0xFFFFF;
        uint32_t granted = asked_size;
        char *block = g_buffer_suite->New(&granted, asked_size);
        fuzz::check(block ? granted == asked_size && g_buffer_suite->GetSize(block) == granted
                          : granted == 0,
                    "buffer suite: granted size");
        if (block)
            g_plugin.blocks.push_back(
                {Block::kSuiteBuffer, block, nullptr, nullptr, nullptr, size});
    } else if ((arg & 3) == 1) {
        auto *handles = static_cast<const PSHandleSuite2 *>(suite);
        PIHandle h = handles->New(size);
        char *address = nullptr;
        handles->SetLock(h, 1, &address, nullptr);
        fuzz::check(address == (h ? *h : nullptr), "handle suite: locked address");
        if (h)
            g_plugin.blocks.push_back(
                {Block::kHandle, h, nullptr, r->handleProcs->disposeProc, nullptr, size});
    } else {
        PIBoolean readable = 1;
        auto *ports = static_cast<const PSChannelPortsSuite3 *>(suite);
        fuzz::check(ports->CanRead(nullptr, &readable) != 0 && !readable,
                    "channel ports: a null port read");
    }
    r->sSPBasic->ReleaseSuite(asked.name, asked.version);
}

// Sets one field of the record from the script, picked by `field`: the
// image description, the plane and row layout, the transpose flag, the
// 32-bit size and rectangle, the layer count and the transparency plane.
void set_field(FormatRecord *r, uint8_t field, int32_t v) {
    using Setter = void (*)(FormatRecord *, int32_t);
    static const Setter kSetters[] = {
        [](FormatRecord *f, int32_t x) { f->imageMode = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->imageSize.v = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->imageSize.h = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->depth = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->planes = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->loPlane = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->hiPlane = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->colBytes = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->planeBytes = x; },
        [](FormatRecord *f, int32_t x) { f->planeMap[0] = static_cast<int16_t>(x); },
        [](FormatRecord *f, int32_t x) { f->imageHRes = x; },
        [](FormatRecord *f, int32_t x) { f->imageVRes = x; },
        [](FormatRecord *f, int32_t x) { f->rowBytes = x; },
        [](FormatRecord *f, int32_t x) { f->needTranspose = static_cast<uint8_t>(x); },
        [](FormatRecord *f, int32_t x) { f->PluginUsing32BitCoordinates = x & 1; },
        [](FormatRecord *f, int32_t x) { f->imageSize32.v = wide(x, 0x3FF); },
        [](FormatRecord *f, int32_t x) { f->imageSize32.h = wide(x, 0x1FFFF); },
        [](FormatRecord *f, int32_t x) { f->theRect32.top = wide(x, 0x3FF); },
        [](FormatRecord *f, int32_t x) { f->theRect32.left = wide(x, 0x1FFFF); },
        [](FormatRecord *f, int32_t x) { f->theRect32.bottom = wide(x, 0x3FF); },
        [](FormatRecord *f, int32_t x) { f->theRect32.right = wide(x, 0x1FFFF); },
        // A few layers, or a count beyond any the host numbers.
        [](FormatRecord *f, int32_t x) { f->layerData = static_cast<uint32_t>(wide(x, 7)); },
        [](FormatRecord *f, int32_t x) { f->transparencyPlane = x; },
    };
    kSetters[field % (sizeof kSetters / sizeof kSetters[0])](r, v);
}

// Runs the ops of one step; returns the selector's result word.
int16_t run_ops(FormatRecord *r, int count, int16_t result) {
    Reader &in = g_plugin.script;
    for (int k = 0; k < count && !in.done(); ++k) {
        const uint8_t op = in.u8();
        const int arg = op >> 4;
        switch (op & 0x0F) {
            case 0:  // describe the image
                r->imageMode = in.i16();
                r->imageSize.h = in.i16();
                r->imageSize.v = in.i16();
                r->depth = in.i16();
                r->planes = in.i16();
                r->imageHRes = in.i32();
                r->imageVRes = in.i32();
                break;
            case 1:  // announce rows
                r->theRect.top = in.i16();
                r->theRect.left = in.i16();
                r->theRect.bottom = in.i16();
                r->theRect.right = in.i16();
                r->rowBytes = in.i32();
                break;
            case 2:  // exchange: data source, pass errors on, twice
                provide_data(r, arg & 3);
                for (int n = 0; n < ((arg & 8) ? 2 : 1); ++n) {
                    int16_t e = r->advanceState();
                    if (e != 0 && (arg & 4)) result = e;
                }
                break;
            case 3:  // rows ready in `data` (from a source), or no more rows
                if (arg & 1)
                    provide_data(r, (arg >> 1) & 3);
                else
                    r->data = nullptr;
                break;
            case 4: {  // progress, then the abort test
                int32_t done = in.i32();
                r->progressProc(done, in.i32());
                if (r->abortProc() && (arg & 1)) return piUserCanceledErr;
                break;
            }
            case 5:
                buffer_op(r, arg);
                break;
            case 6:
                handle_op(r, arg);
                break;
            case 7:
                resource_op(r, arg);
                break;
            case 8: {  // one colour table entry
                uint8_t i = in.u8();
                r->redLUT[i] = in.u8();
                r->greenLUT[i] = in.u8();
                r->blueLUT[i] = in.u8();
                break;
            }
            case 9: {
                uint8_t field = in.u8();
                set_field(r, field, in.i32());
                break;
            }
            case 10:
                basic_op(r, arg);
                break;
            case 11:
                descriptor_op(r, arg);
                break;
            case 12:
                port_op(r, arg);
                break;
            case 13:
                suite_op(r, arg);
                break;
            default:
                return result;
        }
    }
    return result;
}

int16_t step_result(uint8_t head) {
    static const int16_t kResults[] = {
        0, 0, 0, 0, formatCannotRead, formatBadParameters, piUserCanceledErr};
    return (head & 7) < 7 ? kResults[head & 7] : g_plugin.script.i16();
}

// Where a selector stands in the protocol: its phase, and its place in the
// opening (-1 for the loop selector, -2 for the finish).
struct Place {
    int phase;
    int role;
};

Place place_of(int16_t selector) {
    for (int p = 0; p < kPhaseCount; ++p) {
        const Phase &ph = kPhases[p];
        for (int i = 0; i < ph.openingCount; ++i)
            if (ph.opening[i] == selector) return {p, i};
        if (selector == ph.loop) return {p, -1};
        if (selector == ph.finish) return {p, -2};
    }
    fuzz::check(false, "selector the host never calls");
    return {0, 0};
}

// Checks that a selector comes in its place in the protocol.
void check_order(Place at) {
    PluginState &s = g_plugin;
    if (at.phase == kLayerPhase && at.role == 0) {
        fuzz::check(s.open[kReadPhase] && !s.open[kLayerPhase], "layer outside the read");
        s.step[at.phase] = 0;
    } else if (at.role == 0) {
        fuzz::check(!s.any_open(), "phase opened inside another");
        s.step[at.phase] = 0;
    } else if (at.role > 0) {
        fuzz::check(s.step[at.phase] == at.role, "opening selectors out of order");
    } else {
        fuzz::check(s.open[at.phase], "loop or finish selector of a phase not open");
        fuzz::check(at.phase != kReadPhase || !s.open[kLayerPhase], "read goes on inside a layer");
    }
}

// After the selector answered: a phase is open once its opening succeeded; a
// failed opening or a finish ends it, and the plug-in gives back its memory.
void after_selector(Place at, int16_t result, FormatRecord *r) {
    PluginState &s = g_plugin;
    if (at.role == -1) return;
    if (at.role == -2 || result != 0) {
        s.open[at.phase] = false;
        s.step[at.phase] = 0;
        release_all(r);
        return;
    }
    s.step[at.phase] = at.role + 1;
    if (at.role + 1 == kPhases[at.phase].openingCount) s.open[at.phase] = true;
}

void PI_CDECL ScriptedPlugin(int16_t selector, FormatRecord *record, intptr_t *data,
                             int16_t *result) {
    fuzz::check(flt::library_link_loads() > 0, "plug-in called while not loaded");
    fuzz::check(record && data && result, "plug-in called without its record");
    fuzz::check(record->advanceState && record->bufferProcs && record->handleProcs &&
                    record->resourceProcs && record->abortProc && record->progressProc,
                "record without its services");
    const Place at = place_of(selector);
    check_order(at);
    const uint8_t head = g_plugin.script.u8();
    int16_t r = step_result(head);
    r = run_ops(record, head >> 3, r);
    // plughost reads (or fills) a chunk left described after the call: the
    // buffer must hold what the fields now describe.
    if (record->data && record->data == g_plugin.dataBytes &&
        g_plugin.dataSize < announced_bytes(record))
        provide_data(record, 0);
    const bool loop = at.role == -1;
    if (loop && (g_plugin.script.done() || ++g_plugin.continues >= kMaxContinues))
        record->data = nullptr;
    *result = r;
    after_selector(at, r, record);
}

// The host's side of plughost's own fields, and the checks of what the
// shared strict host cannot know: the height of the image, and which depths
// this host takes.
struct Session {
    const char *pluginPath = kPluginPath;
    bool identifyTwice = false;
    FilterDataProc hostData = nullptr;
    std::vector<uint8_t> rowsSeen;
};
Session g_session;
FilterRecord *g_record = nullptr;

int32_t FE_CDECL checking_data(const void *data, int32_t y, int32_t x, int32_t rowCount,
                               int32_t width, int32_t byteCount, int32_t percent,
                               uint32_t userData) {
    FilterRecord *r = g_record;
    if (data == r && width == 0 && byteCount == 0) {
        // A host refuses a description whose rows it cannot take.
        const int32_t bpp = r->bitsPerPixel;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return 0;
        if (r->height > 0) g_session.rowsSeen.assign(static_cast<size_t>(r->height), 0);
    } else if (y >= 0 && static_cast<size_t>(y) < g_session.rowsSeen.size()) {
        ++g_session.rowsSeen[static_cast<size_t>(y)];
    } else {
        fuzz::check(false, "row call outside the image's height");
    }
    return g_session.hostData(data, y, x, rowCount, width, byteCount, percent, userData);
}

int32_t FE_STDCALL hosted_entry(uint32_t operation, FilterRecord *record) {
    g_record = record;
    record->pluginPath = const_cast<char *>(g_session.pluginPath);
    if (operation == FE_IDENTIFY) {
        int32_t ok = FilterEntry(operation, record);
        return ok && g_session.identifyTwice ? FilterEntry(operation, record) : ok;
    }
    if (operation != FE_IMPORT) return FilterEntry(operation, record);
    g_session.hostData = record->dataProc;
    g_session.rowsSeen.clear();
    record->dataProc = checking_data;
    int32_t ok = FilterEntry(operation, record);
    record->dataProc = g_session.hostData;
    if (ok) {
        fuzz::check(g_session.rowsSeen.size() == static_cast<size_t>(record->height),
                    "import succeeded without the header's image");
        for (uint8_t seen : g_session.rowsSeen)
            fuzz::check(seen == 1, "import succeeded without every row once");
    }
    return ok;
}

// Export progress: refused at the chosen call.
int g_progressCalls = 0;
int g_refuseProgressAt = 0;
bool g_storeCancel = false;
int32_t FE_STDCALL export_progress(int32_t percent, uint32_t progressData) {
    if (++g_progressCalls != g_refuseProgressAt) return 1;
    if (g_storeCancel) g_record->errorCode = FERR_CANCELLED;
    return 0;
}

// Whether the host stopped a phase after its prepare succeeded and before
// its start (plughost refuses a large image there when the plug-in did not
// take 32-bit coordinates at its first call): no finish follows, so what
// the plug-in took in the prepare stays with it.
bool stopped_after_prepare() {
    for (int p = 0; p < kPhaseCount; ++p)
        if (!g_plugin.open[p] && g_plugin.step[p] > 0) return true;
    return false;
}

void run_export(fuzz::Host &host, Reader &in, uint8_t flags) {
    host.begin_export(nullptr, 0);
    FilterRecord &r = host.record();
    r.width = in.i16();
    r.height = in.i16();
    r.bitsPerPixel = kDepths[in.u8() & 7];
    const int count = in.i16() & 0x1FF;
    const uint8_t kind = in.u8();
    std::vector<uint8_t> palette(static_cast<size_t>(count) * 3 + 1);
    for (int i = 0; i < count * 3; ++i)
        palette[static_cast<size_t>(i)] = static_cast<uint8_t>(kind ? i * kind : i / 3);
    r.paletteCount = count;
    r.palette = count ? palette.data() : nullptr;
    r.colorSpace = (in.u8() & 1) ? 11 : 0;
    r.xResolution = in.i32();
    r.yResolution = in.i32();
    g_progressCalls = 0;
    g_refuseProgressAt = in.u8();
    g_storeCancel = (flags & kStoreCancel) != 0;
    host.storeCancel = g_storeCancel;
    host.refuseWriteAt = 0;
    r.hostProgressProc = export_progress;
    r.requestFlags = (flags & kNoDialog) ? 0x4u : 0u;
    if (flags & kOptionsFirst) host.check_export_result(host.call(FE_OPTIONS));
    host.check_export_result(host.call(FE_EXPORT));
    if (flags & kTwice) host.check_export_result(host.call(FE_EXPORT));
    host.call(FE_END_EXPORT);
    r.palette = nullptr;
    r.paletteCount = 0;
    // A plug-in the host stopped after a prepare gives back what it took
    // there when it is unloaded, before the host counts its heap.
    if (stopped_after_prepare()) release_all(nullptr);
    host.finish_export();
}

// What the plug-in may hold once the host ended the session: nothing.
void check_plugin_released() {
    fuzz::check(flt::library_link_loads() == 0, "plug-in left loaded");
    const bool open = g_plugin.any_open();
    const bool holds = !g_plugin.blocks.empty();
    release_all(nullptr);
    fuzz::check(!open, "plug-in's phase never finished");
    fuzz::check(!holds, "plug-in memory never given back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static fuzz::Host host(hosted_entry);
    flt::library_link(kPluginPath, kEntryName, reinterpret_cast<void *>(ScriptedPlugin));
    Reader in(data, size);
    const uint8_t flags = in.u8();
    const uint8_t failAt = in.u8();
    const size_t block = (flags & kExport) ? kExportBlock : fuzz::kImportTail;
    const size_t front = size < 2 + block ? size : 2 + block;
    g_plugin = PluginState();
    g_plugin.script = Reader(data + front, size - front);
    g_session.pluginPath = (flags & kNoPluginPath) ? nullptr : kPluginPath;
    g_session.identifyTwice = (flags & kTwice) != 0;
    if (flags & kHeapFailure) flt::heap_fail_at(failAt ? failAt : 1);
    if (flags & kExport) {
        run_export(host, in, flags);
    } else {
        const size_t skip = front < 2 ? front : 2;
        fuzz::Tail tail(data + skip, front - skip, fuzz::kImportTail);
        host.run_import(nullptr, 0, fuzz::read_import_request(tail));
    }
    flt::heap_fail_at(0);
    check_plugin_released();
    return 0;
}
