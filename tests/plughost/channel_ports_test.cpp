// Saving through channel ports: the plug-in reads the host's image itself
// through documentInfo, channel by channel, into memory it lays out
// (PixelMemoryDesc), as plug-ins that ignore `data` do; and the export of an
// image with an alpha plane, whose two FE_EXPORT calls run the plug-in once.
#include "channel_ports.h"

#include <cstring>

#include "common/heap.h"
#include "plug_fixture.h"

namespace {

constexpr int32_t kW = 5, kH = 4;
constexpr size_t kArea = kW * kH;

enum Kind { kRgbAlpha, kIndexed, kFourBit, kOneBit };

uint8_t alpha_at(int x, int y) {
    return static_cast<uint8_t>(x * 50 + y * 3 + 1);
}

host::Image host_image(Kind kind) {
    host::Image im;
    im.width = kW;
    im.height = kH;
    im.bitsPerPixel = kind == kRgbAlpha ? 24 : kind == kIndexed ? 8 : kind == kFourBit ? 4 : 1;
    // Palette entry i: blue i*3+1, green i*5+2, red 255-i (never a grey ramp).
    if (kind != kRgbAlpha)
        for (int i = 0; i < (1 << im.bitsPerPixel); ++i)
            im.palette.insert(im.palette.end(),
                              {static_cast<uint8_t>(i * 3 + 1), static_cast<uint8_t>(i * 5 + 2),
                               static_cast<uint8_t>(255 - i)});
    im.allocate();
    for (size_t i = 0; i < im.pixels.size(); ++i) im.pixels[i] = static_cast<uint8_t>(i * 29 + 3);
    return im;
}

host::Image alpha_image() {
    host::Image a = gray_image(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) a.row(y)[x] = alpha_at(x, y);
    return a;
}

// Channel c (0 red, 1 green, 2 blue, 3 alpha) of pixel (x, y), top row 0.
uint8_t expected(const host::Image &im, int c, int x, int y) {
    if (c == 3) return alpha_at(x, y);
    const uint8_t *row = im.row(y);
    if (im.bitsPerPixel == 24) return row[x * 3 + 2 - c];
    int index = im.bitsPerPixel == 8   ? row[x]
                : im.bitsPerPixel == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                       : (row[x / 8] >> (7 - x % 8)) & 1;
    return im.palette[static_cast<size_t>(index) * 3 + 2 - c];
}

PixelMemoryDesc layout(int32_t rowBytes, int32_t colBytes, int32_t offset, int32_t depth = 8) {
    return {nullptr, rowBytes * 8, colBytes * 8, offset * 8, depth};
}

PortRead port_read(int16_t selector, int channel, VRect rect, PixelMemoryDesc layout,
                   size_t bufferSize, bool suite, int32_t level = 0) {
    PortRead r;
    r.suite = suite;
    r.level = level;
    r.selector = selector;
    r.channel = channel;
    r.rect = rect;
    r.layout = layout;
    r.bufferSize = bufferSize;
    return r;
}

struct ReadCase {
    const char *name;
    Kind kind;
    int channel;
    VRect rect;
    PixelMemoryDesc layout;
    size_t bufferSize;
    VRect read;  // the rectangle the port reports
    bool suite;  // through the suite (as plug-ins that save this way do), else channelPortProcs
};

// B, G, R, A in 32-bit pixels, as plug-ins hand them to an encoder.
constexpr int kBgraOffset[] = {2, 1, 0, 3};
constexpr VRect kWhole = {0, 0, kH, kW};

ReadCase bgra(int channel) {
    return {"bgra",      kRgbAlpha, channel, kWhole, layout(4 * kW, 4, kBgraOffset[channel]),
            4 * kW * kH, kWhole,    true};
}

const ReadCase kReads[] = {
    bgra(0),
    bgra(1),
    bgra(2),
    bgra(3),
    {"planar", kRgbAlpha, 1, kWhole, layout(kW, 1, 0), kArea, kWhole, false},
    {"padded_rows", kRgbAlpha, 2, kWhole, layout(kW + 3, 1, 0), (kW + 3) * kH, kWhole, false},
    {"columns_first", kRgbAlpha, 0, kWhole, layout(1, kH, 0), kArea, kWhole, false},
    {"sub_rectangle", kRgbAlpha, 0, {1, 1, 3, 4}, layout(3, 1, 0), 6, {1, 1, 3, 4}, true},
    {"alpha_sub_rectangle", kRgbAlpha, 3, {2, 3, 4, 5}, layout(4, 2, 1), 8, {2, 3, 4, 5}, false},
    {"clipped", kRgbAlpha, 0, {-1, -2, 10, 10}, layout(12, 1, 0), 12 * 11, kWhole, true},
    {"outside", kRgbAlpha, 0, {6, 7, 8, 9}, layout(2, 1, 0), 4, {4, 5, 4, 5}, false},
    {"indexed_red", kIndexed, 0, kWhole, layout(kW, 1, 0), kArea, kWhole, false},
    {"four_bit_green", kFourBit, 1, {1, 1, 4, 4}, layout(3, 1, 0), 9, {1, 1, 4, 4}, false},
    {"one_bit_blue", kOneBit, 2, {0, 1, 4, 5}, layout(4, 1, 0), 16, {0, 1, 4, 5}, true},
};

class PortReadTest : public PlugTest, public ::testing::WithParamInterface<ReadCase> {
  protected:
    // Exports the case's image (with its alpha plane in a second call),
    // the plug-in reading the case's channel at the start of each phase.
    void run(const ReadCase &c, const host::Image &image) {
        for (int16_t selector : {formatSelectorOptionsStart, formatSelectorWriteStart})
            script.port_reads.push_back(
                port_read(selector, c.channel, c.rect, c.layout, c.bufferSize, c.suite));
        ASSERT_TRUE(session->open_output(dir + "out.bin"));
        const host::Image alpha = alpha_image();
        if (c.kind == kRgbAlpha) {
            ASSERT_TRUE(session->export_plane(image, 2, 1)) << record().errorCode;
            EXPECT_TRUE(script.calls.empty()) << "the plug-in ran before the alpha plane came";
            ASSERT_TRUE(session->export_plane(alpha, 2, 2)) << record().errorCode;
        } else {
            ASSERT_TRUE(session->export_plane(image, 1, 1)) << record().errorCode;
        }
    }
};

TEST_P(PortReadTest, WritesTheChannelIntoTheLayoutAndNothingElse) {
    const ReadCase &c = GetParam();
    const host::Image image = host_image(c.kind);
    run(c, image);
    std::vector<uint8_t> want(c.bufferSize, 0xEE);
    for (int y = c.read.top; y < c.read.bottom; ++y)
        for (int x = c.read.left; x < c.read.right; ++x)
            want[static_cast<size_t>(((y - c.rect.top) * c.layout.rowBits +
                                      (x - c.rect.left) * c.layout.colBits + c.layout.bitOffset) /
                                     8)] = expected(image, c.channel, x, y);
    ASSERT_EQ(script.port_reads.size(), 2u);
    for (const PortRead &r : script.port_reads) {
        SCOPED_TRACE(r.selector);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(std::memcmp(&r.rectOut, &c.read, sizeof c.read), 0)
            << r.rectOut.top << " " << r.rectOut.left << " " << r.rectOut.bottom << " "
            << r.rectOut.right;
        EXPECT_EQ(r.buffer, want);
    }
}

INSTANTIATE_TEST_SUITE_P(Reads, PortReadTest, ::testing::ValuesIn(kReads),
                         [](const ::testing::TestParamInfo<ReadCase> &info) {
                             return std::string(info.param.name) +
                                    (info.param.name[0] == 'b'
                                         ? "_" + std::to_string(info.param.channel)
                                         : "");
                         });

struct RefusalCase {
    const char *name;
    VRect rect;
    PixelMemoryDesc layout;
    size_t bufferSize;
    int32_t result;
    int32_t level;  // read through the suite at this level
};

// A destination near the top of the address space: refused before a byte
// is written.
PixelMemoryDesc near_the_end() {
    PixelMemoryDesc d = layout(1000, 1, 0);
    d.data = reinterpret_cast<void *>(UINTPTR_MAX - 64);
    return d;
}

const RefusalCase kRefusals[] = {
    {"depth_16", kWhole, layout(2 * kW, 2, 0, 16), 64, errUnsupportedDepth, 0},
    {"negative_row_step", kWhole, layout(-kW, 1, 0), 64, errUnsupportedRowBits, 0},
    {"row_step_not_whole_bytes", kWhole, {nullptr, 44, 8, 0, 8}, 64, errUnsupportedRowBits, 0},
    {"column_step_not_whole_bytes", kWhole, {nullptr, 80, 12, 0, 8}, 64, errUnsupportedColBits, 0},
    {"negative_offset", kWhole, layout(kW, 1, -1), 64, errUnsupportedBitOffset, 0},
    {"odd_offset", kWhole, {nullptr, 40, 8, 4, 8}, 64, errUnsupportedBitOffset, 0},
    {"rows_overlap", kWhole, layout(kW - 1, 1, 0), 64, errUnsupportedRowBits, 0},
    {"columns_overlap", kWhole, layout(kW, 0, 0), 64, errUnsupportedColBits, 0},
    {"no_memory", kWhole, layout(kW, 1, 0), 0, piParamErr, 0},
    {"past_the_address_space", kWhole, near_the_end(), 0, errUnsupportedRowBits, 0},
    {"upside_down_rectangle", {3, 0, 1, kW}, layout(kW, 1, 0), 64, piParamErr, 0},
    {"level_1", kWhole, layout(kW, 1, 0), 64, piParamErr, 1},
};

class PortRefusalTest : public PlugTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PortRefusalTest, AnswersTheErrorAndWritesNothing) {
    const RefusalCase &c = GetParam();
    script.port_reads.push_back(
        port_read(formatSelectorWriteStart, 0, c.rect, c.layout, c.bufferSize, true, c.level));
    ASSERT_TRUE(session->open_output(dir + "out.bin"));
    ASSERT_TRUE(session->export_plane(host_image(kRgbAlpha), 1, 1)) << record().errorCode;
    const PortRead &r = script.port_reads[0];
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.buffer, std::vector<uint8_t>(c.bufferSize, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(Refusals, PortRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase> &info) {
                             return std::string(info.param.name);
                         });

// The description itself: with and without the alpha plane, and in the
// options the host asks for on their own (no rows then).
TEST_F(PlugTest, DocumentInfoDescribesTheImageInEveryPhase) {
    std::vector<std::string> seen;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorOptionsStart && selector != formatSelectorWriteStart) return;
        const ReadImageDocumentDesc *d = r->documentInfo;
        ASSERT_NE(d, nullptr);
        std::string text = std::to_string(d->imageMode) + " " + std::to_string(d->depth) + " " +
                           std::to_string(d->bounds.bottom) + "x" + std::to_string(d->bounds.right);
        for (const ReadChannelDesc *c = d->mergedCompositeChannels; c; c = c->next)
            text += " " + std::to_string(c->channelType) + (c->port ? "" : "!");
        if (d->mergedTransparency)
            text += " +" + std::to_string(d->mergedTransparency->channelType);
        text += " planes " + std::to_string(r->planes);
        PIBoolean readable = 2;
        plug::PortsCanRead(d->mergedCompositeChannels->port, &readable);
        text += readable ? " readable" : " no rows";
        seen.push_back(text);
    };
    const host::Image image = host_image(kRgbAlpha);
    record().width = kW;
    record().height = kH;
    record().bitsPerPixel = 24;
    ASSERT_TRUE(session->call(FE_OPTIONS));
    ASSERT_TRUE(session->open_output(dir + "out.bin"));
    // The options ran once, on their own; each export then writes.
    ASSERT_TRUE(session->export_plane(image, 1, 1));
    ASSERT_TRUE(session->export_plane(image, 2, 1));
    ASSERT_TRUE(session->export_plane(alpha_image(), 2, 2));
    EXPECT_EQ(seen, (std::vector<std::string>{"3 8 4x5 1 2 3 planes 3 no rows",
                                              "3 8 4x5 1 2 3 planes 3 readable",
                                              "3 8 4x5 1 2 3 +16 planes 4 readable"}));
}

// What a plug-in may do wrong with a port, and a read whose row buffer
// cannot be had.
TEST_F(PlugTest, PortsRefuseWhatIsNotTheirs) {
    std::vector<int32_t> results;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorWriteStart) return;
        uint8_t buffer[kW * kH];
        PixelMemoryDesc d = layout(kW, 1, 0);
        d.data = buffer;
        VRect rect = kWhole;
        PIChannelPort port = r->documentInfo->mergedCompositeChannels->port;
        PIChannelPort stranger = reinterpret_cast<PIChannelPort>(buffer);
        PIBoolean readable;
        results.push_back(plug::PortsCanRead(stranger, &readable));
        results.push_back(plug::PortsReadPixelsFromLevel(stranger, 0, &rect, &d));
        results.push_back(plug::PortsReadPixelsFromLevel(port, 1, &rect, &d));
        PSScaling scaled = {kWhole, {0, 0, 2 * kH, 2 * kW}};
        results.push_back(r->channelPortProcs->readPixelsProc(port, &scaled, &rect, &d, &rect));
        results.push_back(r->channelPortProcs->writeBasePixelsProc(port, &rect, &d));
        PIChannelPort out = port;
        results.push_back(r->channelPortProcs->readPortForWritePortProc(&out, port));
        results.push_back(out == nullptr);
        flt::heap_fail_at(1);
        results.push_back(plug::PortsReadPixelsFromLevel(port, 0, &rect, &d));
        flt::heap_fail_at(0);
    };
    ASSERT_TRUE(session->open_output(dir + "out.bin"));
    ASSERT_TRUE(session->export_plane(host_image(kRgbAlpha), 1, 1));
    EXPECT_EQ(results, (std::vector<int32_t>{errUnknownPort, errUnknownPort, piParamErr, piParamErr,
                                             errUnknownPort, errUnknownPort, 1, piMemFullErr}));
}

// A plug-in in 32-bit coordinates asks at its start for the whole canvas in
// a block it never looks at, writes its file in the continue and clears
// `data` there, leaving its rectangle: one continue, then the finish. A
// plug-in that takes `data` gets the alpha plane as its fourth plane.
TEST_F(PlugTest, WriteLoopEndsOnNullDataAndDataCarriesTheAlphaPlane) {
    std::vector<uint8_t> block(kW * kH * 4, 0);
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorWriteStart && selector != formatSelectorWriteContinue) return;
        r->PluginUsing32BitCoordinates = 1;
        r->theRect32 = kWhole;
        r->theRect = {0, 0, kH, kW};
        r->loPlane = 0;
        r->hiPlane = 3;
        r->colBytes = 4;
        r->planeBytes = 1;
        r->rowBytes = 4 * kW;
        if (selector == formatSelectorWriteStart) r->data = block.data();
    };
    const host::Image image = host_image(kRgbAlpha);
    ASSERT_TRUE(session->open_output(dir + "out.bin"));
    ASSERT_TRUE(session->export_plane(image, 2, 1));
    ASSERT_TRUE(session->export_plane(alpha_image(), 2, 2)) << record().errorCode;
    std::vector<int> writes;
    for (int s : script.selectors())
        if (s >= formatSelectorWritePrepare) writes.push_back(s);
    EXPECT_EQ(writes, (std::vector<int>{13, 14, 15, 16}));
    std::vector<uint8_t> want;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int c : {0, 1, 2, 3}) want.push_back(expected(image, c, x, y));
    EXPECT_EQ(block, want);
}

// The second call must complete the first: an alpha plane without colour
// rows before it, or of another size, is refused.
TEST_F(PlugTest, AlphaPlaneMustCompleteTheColour) {
    ASSERT_TRUE(session->open_output(dir + "out.bin"));
    EXPECT_FALSE(session->export_plane(alpha_image(), 2, 2));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
    ASSERT_TRUE(session->export_plane(host_image(kRgbAlpha), 2, 1));
    EXPECT_FALSE(session->export_plane(gray_image(kW + 1, kH), 2, 2));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
    EXPECT_TRUE(script.calls.empty());
}

}  // namespace
