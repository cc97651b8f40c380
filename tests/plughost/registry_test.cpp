// Entry names, opcode dispatch, the PLGENTRY.INI lookup, loading and the
// release table.
#include "common/heap.h"
#include "host/library.h"
#include "plug_fixture.h"

#define TWIN(n) extern "C" int32_t FE_STDCALL FilterEntry##n(uint32_t, FilterRecord *);
TWIN(01)
TWIN(02)
TWIN(03)
TWIN(04)
TWIN(05) TWIN(06) TWIN(07) TWIN(08) TWIN(09) TWIN(10) TWIN(11) TWIN(12) TWIN(13) TWIN(14) TWIN(15)
    TWIN(16) TWIN(17) TWIN(18) TWIN(19)
#undef TWIN

        namespace {

    const FilterEntryProc kTwins[] = {FilterEntry01, FilterEntry02, FilterEntry03, FilterEntry04,
                                      FilterEntry05, FilterEntry06, FilterEntry07, FilterEntry08,
                                      FilterEntry09, FilterEntry10, FilterEntry11, FilterEntry12,
                                      FilterEntry13, FilterEntry14, FilterEntry15, FilterEntry16,
                                      FilterEntry17, FilterEntry18, FilterEntry19};

    struct Outcome {
        int32_t result;
        uint32_t errorCode;
        std::vector<int> selectors;
        bool state;
        uint32_t filterFlags;
    };

    class EntryTest : public PlugTest {
      protected:
        // Runs identify, import, end import, caps, opcode 4, 5, 11 and 10 through
        // one entry and collects what each did.
        std::vector<Outcome> run_all(FilterEntryProc entry) {
            std::vector<Outcome> out;
            for (uint32_t op : {3u, 1u, 6u, 8u, 4u, 5u, 11u, 10u, 7u}) {
                script.calls.clear();
                record().errorCode = 0;
                int32_t result = entry(op, &record());
                out.push_back({result, record().errorCode, script.selectors(),
                               record().filterState != nullptr, record().filterFlags});
            }
            return out;
        }
    };

    bool operator==(const Outcome &a, const Outcome &b) {
        return a.result == b.result && a.errorCode == b.errorCode && a.selectors == b.selectors &&
               a.state == b.state && a.filterFlags == b.filterFlags;
    }

    TEST_F(EntryTest, EveryNumberedEntryBehavesAsFilterEntry) {
        describe(plugInModeGrayScale, 4, 3, 8, 1);
        record().filterFlags = 0x1234;
        std::vector<Outcome> expected = run_all(FilterEntry);
        ASSERT_EQ(expected[0].selectors, (std::vector<int>{17, 1, 2}));
        EXPECT_EQ(expected[4].errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        for (size_t i = 0; i < 19; ++i) {
            EXPECT_TRUE(run_all(kTwins[i]) == expected) << "FilterEntry" << (i + 1);
        }
    }

    TEST(PlughostLibrary, ExportsTheTwentyEntriesAndNothingElseCallable) {
        std::string error;
        void *lib = host::library_open(MODULE_DIR "/plughost.so", &error);
        ASSERT_NE(lib, nullptr) << error;
        EXPECT_NE(host::library_symbol(lib, "FilterEntry"), nullptr);
        for (int i = 1; i <= 19; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "FilterEntry%02d", i);
            EXPECT_NE(host::library_symbol(lib, name), nullptr) << name;
        }
        EXPECT_EQ(host::library_symbol(lib, "FilterEntry20"), nullptr);
        EXPECT_EQ(host::library_symbol(lib, "FilterEntry00"), nullptr);
        host::library_close(lib);
    }

    TEST_F(PlugTest, OpcodesWithoutPluginWork) {
        record().filterFlags = 0x4321;
        EXPECT_EQ(session->call(FE_GET_CAPS), 1);
        EXPECT_EQ(record().filterFlags, 0x4321u);
        EXPECT_EQ(session->call(FE_RESERVED_10), 1);
        for (uint32_t op : {0u, 4u, 5u, 11u, 0xFFFFFFFFu}) {
            record().errorCode = 0;
            EXPECT_EQ(session->call(op), 0) << op;
            EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST)) << op;
        }
        EXPECT_TRUE(script.calls.empty());
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
    }

    struct IniCase {
        uint32_t filterId;
        const char *ini;  // nullptr: no file
        bool alternate;
    };

    class IniTest : public PlugTest, public ::testing::WithParamInterface<IniCase> {};

    TEST_P(IniTest, EntryNameComesFromTheIniKeyOfTheFilterId) {
        const IniCase &c = GetParam();
        if (c.ini) write_ini(c.ini);
        record().filterId = c.filterId;
        ASSERT_TRUE(session->identify()) << record().errorCode;
        ASSERT_FALSE(script.calls.empty());
        EXPECT_EQ(script.calls[0].alternate, c.alternate);
    }

    INSTANTIATE_TEST_SUITE_P(
        Keys, IniTest,
        ::testing::Values(
            IniCase{26, nullptr, false},
            IniCase{26, "[Plugins EntryPoints]\r\n0x1a=AltEntry\r\n", true},
            IniCase{26, "[Plugins EntryPoints]\r\n0x1A=AltEntry\r\n", true},  // keys ignore case
            IniCase{26, "[Plugins EntryPoints]\r\n0x001a=AltEntry\r\n", false},
            IniCase{26, "[Plugins EntryPoints]\r\n26=AltEntry\r\n", false},
            IniCase{26, "[Other]\r\n0x1a=AltEntry\r\n", false},
            IniCase{0, "[Plugins EntryPoints]\r\n0x0=AltEntry\r\n", true},
            IniCase{0xFFFFFFFF, "[Plugins EntryPoints]\r\n0xffffffff=AltEntry\r\n", true},
            IniCase{5, "[Plugins EntryPoints]\r\n0x5=ENTRYPOINT\r\n0x6=AltEntry\r\n", false}));

    TEST_F(PlugTest, MissingExportFailsToLoadAndUnloads) {
        write_ini("[Plugins EntryPoints]\r\n0x7=NoSuchEntry\r\n");
        record().filterId = 7;
        EXPECT_EQ(session->call(FE_IDENTIFY), 0);
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN_LOAD));
        EXPECT_EQ(record().filterState, nullptr);
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
        EXPECT_TRUE(script.calls.empty());
    }

    TEST_F(PlugTest, MissingLibraryFailsToLoadForEveryOpeningOpcode) {
        for (uint32_t op : {FE_IDENTIFY, FE_IMPORT, FE_OPTIONS, FE_EXPORT}) {
            record().pluginPath = const_cast<char *>("/nonexistent/plugin.so");
            record().bitsPerPixel = 8;
            record().errorCode = 0;
            EXPECT_EQ(session->call(op), 0) << op;
            EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN_LOAD)) << op;
            EXPECT_EQ(record().filterState, nullptr) << op;
        }
        record().pluginPath = nullptr;
        EXPECT_EQ(session->call(FE_IDENTIFY), 0);
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN_LOAD));
    }

    TEST_F(PlugTest, DirectoryThatLeavesNoRoomForTheFileNameUsesTheDefault) {
        // 259 characters: the host fills the whole buffer.
        session->directory = "/" + std::string(258, 'd');
        ASSERT_TRUE(session->identify());
        EXPECT_FALSE(script.calls.at(0).alternate);
        session->directory.clear();  // no directory at all
        session->end_import();
        ASSERT_TRUE(session->identify());
    }

    TEST_F(PlugTest, StrictIdentifyDeclinesWithoutTouchingAnything) {
        record().filterFlags = FRF_IDENTIFY_STRICT;
        record().errorCode = 77;
        EXPECT_EQ(session->call(FE_IDENTIFY), 0);
        EXPECT_EQ(session->call(FE_IMPORT), 0);
        EXPECT_EQ(record().errorCode, 77u);
        EXPECT_EQ(record().filterState, nullptr);
        EXPECT_TRUE(script.calls.empty());
    }

    TEST_F(PlugTest, ReadContextUnmapsTheHostsView) {
        std::string path = write_temp("image.bin", std::vector<uint8_t>(10000, 7));
        ASSERT_TRUE(session->map_file(path));
        ASSERT_NE(record().fileData, nullptr);
        uint32_t handle = record().fileHandle;
        ASSERT_TRUE(session->identify());
        EXPECT_EQ(record().fileData, nullptr);
        EXPECT_EQ(script.last_record->dataFork, static_cast<intptr_t>(handle));
    }

    // The release table: what stays after each path.
    TEST_F(PlugTest, IdentifyKeepsTheLibraryUntilEndImport) {
        describe(plugInModeGrayScale, 2, 2, 8, 1);
        ASSERT_TRUE(session->identify());
        EXPECT_TRUE(loaded(SCRIPT_PLUGIN));
        EXPECT_NE(record().filterState, nullptr);
        EXPECT_NE(record().palette, nullptr);
        EXPECT_TRUE(session->end_import());
        EXPECT_EQ(script.selectors(), (std::vector<int>{17, 1, 2, 4}));
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
        EXPECT_EQ(record().filterState, nullptr);
        EXPECT_EQ(record().palette, nullptr);
        EXPECT_EQ(record().compressionName, nullptr);
    }

    TEST_F(PlugTest, FailedImportKeepsTheContextUntilEndImport) {
        script.results[3] = 1;
        EXPECT_FALSE(session->import_image());
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
        EXPECT_TRUE(loaded(SCRIPT_PLUGIN));
        EXPECT_NE(record().filterState, nullptr);
        script.results.clear();
        // The same context serves again, with the read run anew.
        EXPECT_TRUE(session->import_image());
        EXPECT_EQ(script.selectors(), (std::vector<int>{17, 1, 2, 3, 4, 1, 2, 3}));
    }

    TEST_F(PlugTest, FailedOptionsKeepTheContextUntilEndExport) {
        session->record().bitsPerPixel = 24;
        script.results[6] = -1;
        EXPECT_EQ(session->call(FE_OPTIONS), 0);
        EXPECT_TRUE(loaded(SCRIPT_PLUGIN));
        EXPECT_NE(record().filterState, nullptr);
        EXPECT_TRUE(session->end_export());
        EXPECT_EQ(script.selectors(), (std::vector<int>{5, 6}));  // end export calls nothing
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
        EXPECT_EQ(record().filterState, nullptr);
    }

    TEST_F(PlugTest, ExportReleasesTheLibraryAndKeepsTheRecordOnSuccess) {
        host::Image image = gray_image(3, 2);
        record().requestFlags = FRI_NO_DIALOG;
        ASSERT_TRUE(session->export_plane(image, 1, 1));
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
        ASSERT_NE(record().filterState, nullptr);
        EXPECT_TRUE(session->end_export());
        EXPECT_EQ(record().filterState, nullptr);
        EXPECT_TRUE(session->end_export());  // nothing left: still 1
    }

    TEST_F(PlugTest, ExportFailureReleasesEverything) {
        host::Image image = gray_image(3, 2);
        record().requestFlags = FRI_NO_DIALOG;
        script.results[14] = -30500;
        EXPECT_FALSE(session->export_plane(image, 1, 1));
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
        EXPECT_EQ(record().filterState, nullptr);
    }

    TEST_F(PlugTest, EndImportWithoutContextFreesOnlyOurBlocks) {
        describe(plugInModeBitmap, 8, 1, 1, 1);
        ASSERT_TRUE(session->identify());
        ASSERT_TRUE(session->end_export());  // drops the context, keeps the blocks
        EXPECT_EQ(record().filterState, nullptr);
        ASSERT_NE(record().palette, nullptr);
        EXPECT_TRUE(session->end_import());
        EXPECT_EQ(record().palette, nullptr);
        EXPECT_EQ(record().compressionName, nullptr);
        EXPECT_EQ(flt::heap_live_blocks(), 0);
        uint8_t host_palette[6] = {};
        record().palette = host_palette;  // a host block is neither freed nor cleared
        EXPECT_TRUE(session->end_import());
        EXPECT_EQ(record().palette, host_palette);
        record().palette = nullptr;
    }

    TEST_F(PlugTest, ContextOfTheOtherDirectionIsRefused) {
        ASSERT_TRUE(session->identify());
        record().bitsPerPixel = 8;
        EXPECT_EQ(session->call(FE_OPTIONS), 0);
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_NE(record().filterState, nullptr);
        EXPECT_EQ(script.selectors(), (std::vector<int>{17, 1, 2}));
    }

}  // namespace
