// The scriptable test plug-in: it records every selector it is called with
// and answers as the running test set it up. The state lives in the test
// program, which exports plughost_test_script(); the plug-in finds it there
// (through the dynamic linker, or on Windows the program's export table),
// so the plug-in itself holds nothing and may be loaded and unloaded freely.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "format_record.h"

struct ScriptCall {
    int16_t selector;
    bool alternate;  // came through the second export, AltEntry
};

// A channel the plug-in reads itself through documentInfo's ports, the way
// plug-ins that ignore `data` save: at `selector`, channel `channel` (0, 1, 2
// of mergedCompositeChannels, 3 the mergedTransparency) over `rect` into a
// buffer of `bufferSize` bytes filled with 0xEE (data is its start plus
// layout.data's value as a byte offset; with bufferSize 0, layout.data is
// used as it is). The results land in the same entry.
struct PortRead {
    int16_t selector;
    int channel;
    VRect rect;
    PixelMemoryDesc layout;
    size_t bufferSize;
    bool suite = false;  // through the ChannelPorts suite, else channelPortProcs
    int32_t level = 0;
    // Results: the procedure's answer (or -1 when the channel or the suite
    // was not there), the rectangle it left, the buffer.
    int32_t result = -1;
    VRect rectOut{};
    std::vector<uint8_t> buffer;
};

struct ScriptState {
    std::vector<ScriptCall> calls;
    // Result word per selector (0 when absent).
    std::map<int, int16_t> results;
    // Runs on every call after the defaults; may change the record and data.
    std::function<void(int16_t selector, FormatRecord *record, intptr_t *data)> action;
    FormatRecord *last_record = nullptr;
    // Until a test describes an image of its own, the plug-in reads a 1 x 1
    // image: its size set at selector 2, its one row handed over at the first
    // selector 3 of every import (before the test's action runs).
    bool default_image = true;
    bool read_loop_open = false;  // the last selector 3 left data set
    // Settings kept as a later plug-in keeps them: at OptionsStart the
    // integers 'wrtl' (0..100) and 'wrtc' (0..2) are taken from the
    // descriptor (other keys skipped without a getter), which the plug-in
    // then disposes of; at WriteFinish both are handed back in a new one.
    bool settings = false;
    int32_t quality = 75, compression = 1;
    int16_t play_info = -1;        // as seen at OptionsStart
    int16_t descriptor_close = 0;  // what closing the reader answered
    // Like shipping plug-ins, set PluginUsing32BitCoordinates on every call
    // when the host offers 32-bit coordinates.
    bool wide_coordinates = false;
    std::vector<PortRead> port_reads;

    void reset() { *this = ScriptState(); }
    std::vector<int> selectors() const {
        std::vector<int> out;
        for (const ScriptCall &c : calls) out.push_back(c.selector);
        return out;
    }
};

#ifdef _WIN32
#define PLUGHOST_TEST_EXPORT __declspec(dllexport)
#else
#define PLUGHOST_TEST_EXPORT
#endif
extern "C" PLUGHOST_TEST_EXPORT ScriptState *plughost_test_script();
