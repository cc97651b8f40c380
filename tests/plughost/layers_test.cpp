// The read side of later plug-ins: 32-bit sizes and rectangles in both
// directions, the layered read with layers as images, and the transparency
// plane offered as a linked image.
#include <algorithm>
#include <cstring>
#include <memory>

#include "plug_fixture.h"

namespace {

using Seq = std::vector<int>;

constexpr int32_t kWide = 40000;  // wider than the 16-bit fields reach

uint8_t wide_sample(size_t i) {
    return static_cast<uint8_t>(i * 7 + 3);
}

struct WideCase {
    const char *name;
    bool export_;
    bool plugin_wide;  // the plug-in sets PluginUsing32BitCoordinates
    uint32_t code;     // 0: succeeds
};

class WideTest : public PlugTest, public ::testing::WithParamInterface<WideCase> {};

// A grey image kWide x 2, read or written as one chunk through theRect32;
// the 16-bit fields stay as the host left them.
TEST_P(WideTest, SizesAndRectanglesBeyondSixteenBits) {
    const WideCase &c = GetParam();
    script.default_image = false;
    script.wide_coordinates = c.plugin_wide;
    auto buffer = std::make_shared<std::vector<uint8_t>>(2 * kWide);
    auto seen = std::make_shared<std::pair<PIPoint, VPoint>>();
    script.action = [buffer, seen](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorReadStart) {
            r->imageMode = plugInModeGrayScale, r->depth = 8, r->planes = 1;
            r->imageSize32 = {2, kWide};
            for (size_t i = 0; i < buffer->size(); ++i) (*buffer)[i] = wide_sample(i);
        }
        const bool read = selector == formatSelectorReadContinue;
        if (selector == formatSelectorEstimatePrepare) *seen = {r->imageSize, r->imageSize32};
        if (!read && selector != formatSelectorWriteStart) return;
        r->theRect32 = {0, 0, 2, kWide};
        r->rowBytes = kWide;
        r->loPlane = r->hiPlane = 0, r->colBytes = 1;
        r->data = buffer->data();
        if (r->advanceState() != 0) buffer->clear();
        r->data = nullptr;
    };
    host::Image image = gray_image(kWide, 2);
    bool ok;
    if (c.export_) {
        record().requestFlags = FRI_NO_DIALOG;
        ok = session->export_plane(image, 1, 1);
    } else {
        ok = session->import_image();
    }
    ASSERT_EQ(ok, c.code == 0) << record().errorCode;
    if (!ok) {
        EXPECT_EQ(record().errorCode, c.code);
        if (c.export_) {
            EXPECT_EQ(script.selectors(), (Seq{9}));  // nothing written
        }
        return;
    }
    if (c.export_) {
        // The 16-bit size is 0: a plug-in reading only it sees no image.
        EXPECT_EQ(seen->first.h, 0);
        EXPECT_EQ(seen->second.h, kWide);
        EXPECT_EQ(seen->second.v, 2);
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(0, std::memcmp(buffer->data() + y * kWide, image.row(y), kWide)) << y;
        return;
    }
    const host::Image &got = session->image();
    ASSERT_EQ(got.width, kWide);
    ASSERT_EQ(got.height, 2);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(0, std::memcmp(buffer->data() + y * kWide, got.row(y), kWide)) << y;
}

INSTANTIATE_TEST_SUITE_P(Coordinates, WideTest,
                         ::testing::Values(WideCase{"import", false, true, 0},
                                           WideCase{"export", true, true, 0},
                                           // Without the flag only the 16-bit fields count.
                                           WideCase{"import_16bit", false, false, FERR_PLUGIN},
                                           WideCase{"export_16bit", true, false, FERR_BAD_REQUEST}),
                         [](const auto &info) { return std::string(info.param.name); });

// The layered read: a 2 x 1 grey image of `layers` layers; layer k's pixels
// are 10 (k + 1). Layer `fail` fails in ReadLayerContinue.
struct LayerCase {
    const char *name;
    uint32_t layers;  // layerData after ReadStart; 0 reads flat
    int32_t index;
    int fail;
    uint32_t code;
    Seq selectors;          // after 17, 1, 2, to the end of the import
    Seq layer_data;         // layerData at each layer selector
    uint32_t finish_layer;  // layerData at ReadFinish
};

class LayerTest : public PlugTest, public ::testing::WithParamInterface<LayerCase> {};

TEST_P(LayerTest, ReadsLayersInOrderAndDeliversTheChosenOne) {
    const LayerCase &c = GetParam();
    describe(plugInModeGrayScale, 2, 1, 8, 1);
    auto layer_data = std::make_shared<Seq>();
    auto finish = std::make_shared<uint32_t>(99);
    auto previous = script.action;
    ScriptState *s = &script;
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *data) {
        static uint8_t pixels[2];
        previous(selector, r, data);
        if (selector == formatSelectorReadStart) r->layerData = c.layers;
        if (selector >= formatSelectorReadLayerStart && selector <= formatSelectorReadLayerFinish)
            layer_data->push_back(static_cast<int>(r->layerData));
        if (selector == formatSelectorReadFinish) *finish = r->layerData;
        const bool flat = selector == formatSelectorReadContinue;
        if (!flat && selector != formatSelectorReadLayerContinue) return;
        const uint32_t layer = flat ? 0 : r->layerData;
        pixels[0] = pixels[1] = static_cast<uint8_t>(10 * (layer + 1));
        r->theRect = {0, 0, 1, 2};
        r->rowBytes = 2;
        r->data = pixels;
        r->advanceState();
        r->data = nullptr;
        s->results[selector] = static_cast<int>(layer) == c.fail ? -1 : 0;
    };
    record().imageIndex = c.index;
    const bool ok = session->import_image();
    EXPECT_EQ(ok, c.code == 0);
    EXPECT_EQ(record().errorCode, c.code);
    if (ok) {
        EXPECT_EQ(record().imageCount, c.layers == 0 ? 1 : static_cast<int32_t>(c.layers));
        ASSERT_EQ(session->rows().size(), 1u);  // the chosen layer's only
        EXPECT_EQ(session->image().row(0)[1], 10 * c.index);
    }
    session->end_import();
    Seq expected{17, 1, 2};
    expected.insert(expected.end(), c.selectors.begin(), c.selectors.end());
    EXPECT_EQ(script.selectors(), expected);
    EXPECT_EQ(*layer_data, c.layer_data);
    EXPECT_EQ(*finish, c.finish_layer);
}

INSTANTIATE_TEST_SUITE_P(Layers, LayerTest,
                         ::testing::Values(
                             // ReadContinue runs although ReadStart left `data` null.
                             LayerCase{"flat", 0, 1, -1, 0, {3, 4}, {}, 0},
                             LayerCase{"one_layer", 1, 1, -1, 0, {35, 36, 37, 4}, {0, 0, 0}, 0},
                             // A clean read of several leaves the last index for ReadFinish.
                             LayerCase{
                                 "first_of_three", 3, 1, -1, 0, {35, 36, 37, 4}, {0, 0, 0}, 2},
                             LayerCase{"third_of_three",
                                       3,
                                       3,
                                       -1,
                                       0,
                                       {35, 36, 37, 35, 36, 37, 35, 36, 37, 4},
                                       {0, 0, 0, 1, 1, 1, 2, 2, 2},
                                       2},
                             LayerCase{"failing_layer",
                                       3,
                                       3,
                                       1,
                                       FERR_PLUGIN,
                                       {35, 36, 37, 35, 36, 37, 4},
                                       {0, 0, 0, 1, 1, 1},
                                       0},
                             LayerCase{"index_beyond", 3, 4, -1, FERR_BAD_REQUEST, {4}, {}, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

// An RGBA image, pixels B, G, R, A interleaved (planeMap 2, 1, 0, 3), read
// flat or in two layers; sample of plane p of pixel x in layer k:
// 40k + 10p + x + 1.
struct AlphaCase {
    const char *name;
    int32_t transparency;  // what the plug-in sets; -2 leaves the host's value
    uint32_t layers;
    int32_t index;
    int32_t count, kind, linked, bits;
    std::vector<uint8_t> row;  // the host row's first bytes
    bool columns = false;      // one column per chunk (assembled by plughost)
};

class AlphaTest : public PlugTest, public ::testing::WithParamInterface<AlphaCase> {};

TEST_P(AlphaTest, TransparencyPlaneIsALinkedImage) {
    const AlphaCase &c = GetParam();
    describe(plugInModeRGBColor, 2, 1, 8, 4);
    auto preset = std::make_shared<int32_t>(99);
    auto previous = script.action;
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *data) {
        static uint8_t pixels[8];
        previous(selector, r, data);
        if (selector == formatSelectorReadStart) {
            *preset = r->transparencyPlane;
            if (c.transparency != -2) r->transparencyPlane = c.transparency;
            r->layerData = c.layers;
            const int16_t map[] = {2, 1, 0, 3};
            std::copy(map, map + 4, r->planeMap);
        }
        if (selector != formatSelectorReadContinue && selector != formatSelectorReadLayerContinue)
            return;
        const int layer = selector == formatSelectorReadContinue ? 0 : r->layerData;
        for (int x = 0; x < 2; ++x)
            for (int p = 0; p < 4; ++p) pixels[4 * x + p] = uint8_t(40 * layer + 10 * p + x + 1);
        r->loPlane = 0, r->hiPlane = 3, r->colBytes = 4, r->planeBytes = 1, r->rowBytes = 8;
        for (int16_t left = 0; left < 2; left = c.columns ? left + 1 : 2) {
            r->theRect = {0, left, 1, static_cast<int16_t>(c.columns ? left + 1 : 2)};
            r->data = pixels + 4 * left;
            r->advanceState();
        }
        r->data = nullptr;
    };
    record().imageIndex = c.index;
    ASSERT_TRUE(session->import_image()) << record().errorCode;
    EXPECT_EQ(*preset, -1);  // "none named yet": the host takes one
    EXPECT_EQ(record().imageCount, c.count);
    EXPECT_EQ(record().imageIndex, c.index);
    EXPECT_EQ(record().planeKind, c.kind);
    EXPECT_EQ(record().bitsPerPixel, c.bits);
    ASSERT_EQ(record().linkedCount, c.linked ? 1 : 0);
    if (c.linked) {
        EXPECT_EQ(record().linkedPlanes[0], c.linked);
    }
    const host::Image &got = session->image();
    EXPECT_EQ(std::vector<uint8_t>(got.row(0), got.row(0) + c.row.size()), c.row);
}

constexpr int32_t kImage = FE_PLANE_IMAGE, kAlpha = FE_PLANE_TRANSPARENCY;

INSTANTIATE_TEST_SUITE_P(
    Transparency, AlphaTest,
    ::testing::Values(AlphaCase{"colour", 3, 0, 1, 2, kImage, 2, 24, {1, 11, 21, 2, 12, 22}},
                      AlphaCase{"alpha", 3, 0, 2, 2, kAlpha, 1, 8, {31, 32}},
                      AlphaCase{"alpha_in_columns", 3, 0, 2, 2, kAlpha, 1, 8, {31, 32}, true},
                      AlphaCase{"second_layer_colour", 3, 2, 3, 4, kImage, 4, 24, {41, 51, 61, 42}},
                      AlphaCase{"second_layer_alpha", 3, 2, 4, 4, kAlpha, 3, 8, {71, 72}},
                      // No plane named, or a colour plane: the extra plane is dropped.
                      AlphaCase{"none_named", -2, 0, 1, 1, kImage, 0, 24, {1, 11, 21, 2}},
                      AlphaCase{"colour_plane_named", 0, 0, 1, 1, kImage, 0, 24, {1, 11, 21, 2}}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
