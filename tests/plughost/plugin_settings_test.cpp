// A plug-in's settings without a dialog: the descriptor it hands back after a
// save is kept in its section of the settings file and played back at its
// next save, with the run's settings on top; hand-edited lines that do not
// read back are skipped.
#include "plugin_settings.h"

#include <filesystem>

#include "common/platform.h"
#include "descriptor_store.h"
#include "plug_fixture.h"

namespace {

struct SettingsCase {
    const char *name;
    const char *file;    // the settings file before the first save
    bool hands_back;     // the plug-in writes its settings at WriteFinish
    int32_t changed;     // quality the first save changes to (a dialog's work), or 0
    int32_t seen[2][2];  // quality and compression the plug-in sees at each save
    const char *stored;  // 'wrtl' and 'wrtc' in the section after them
};

class PluginSettingsTest : public PlugTest, public ::testing::WithParamInterface<SettingsCase> {
  protected:
    std::string section() {
        return "Plug-in " + std::filesystem::path(SCRIPT_PLUGIN).filename().string();
    }
    std::string stored(const char *key) {
        char value[64];
        flt::platform_profile_string(section().c_str(), key, "-", value, sizeof value, ini.c_str());
        return value;
    }
    std::string ini;
};

TEST_P(PluginSettingsTest, SecondSaveSeesWhatTheFirstHandedBack) {
    const SettingsCase &c = GetParam();
    ini = write_temp("settings.ini", {});
    std::string text = std::string(c.file);
    size_t at;
    while ((at = text.find("SECTION")) != std::string::npos) text.replace(at, 7, section());
    write_temp("settings.ini", std::vector<uint8_t>(text.begin(), text.end()));
    record().iniPath = const_cast<char *>(ini.c_str());
    for (int save = 0; save < 2; ++save) {
        script.reset();
        script.settings = true;
        if (!c.hands_back) script.results[formatSelectorWriteFinish] = 1;
        int32_t seen[2] = {};
        script.action = [&](int16_t selector, FormatRecord *, intptr_t *) {
            if (selector != formatSelectorOptionsStart) return;
            seen[0] = script.quality;
            seen[1] = script.compression;
            if (save == 0 && c.changed) script.quality = c.changed;
        };
        ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1)) << record().errorCode;
        session->call(FE_END_EXPORT);
        EXPECT_EQ(script.play_info, plugInDialogDontDisplay);
        EXPECT_EQ(script.descriptor_close, 0);
        EXPECT_EQ(seen[0], c.seen[save][0]) << "save " << save;
        EXPECT_EQ(seen[1], c.seen[save][1]) << "save " << save;
    }
    EXPECT_EQ(stored("wrtl") + " " + stored("wrtc"), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PluginSettingsTest,
    ::testing::Values(
        SettingsCase{"none_stored", "", true, 0, {{75, 1}, {75, 1}}, "long:75 long:1"},
        SettingsCase{
            "changed_by_the_first_save", "", true, 60, {{75, 1}, {60, 1}}, "long:60 long:1"},
        SettingsCase{"stored",
                     "[SECTION]\nwrtl=long:90\nwrtc=long:2\n",
                     true,
                     0,
                     {{90, 2}, {90, 2}},
                     "long:90 long:2"},
        // Lines that do not read back are skipped, the others still count.
        SettingsCase{"hand_edited",
                     "[SECTION]\nwrtc=long:x\n0xZZ=long:1\nwrtl=long:80\ntext=TEXT:a\\q\n",
                     true,
                     0,
                     {{80, 1}, {80, 1}},
                     "long:80 long:1"},
        // The run's settings count for the run, and are stored when the
        // plug-in hands them back...
        SettingsCase{"run_setting_handed_back",
                     "[SECTION]\nwrtl=long:90\n[Plug-in Settings For This Run]\nwrtc=long:0\n",
                     true,
                     0,
                     {{90, 0}, {90, 0}},
                     "long:90 long:0"},
        // ...and only then.
        SettingsCase{"run_setting_not_handed_back",
                     "[SECTION]\nwrtl=long:90\n[Plug-in Settings For This Run]\nwrtl=long:10\n",
                     false,
                     0,
                     {{10, 1}, {10, 1}},
                     "long:90 -"}),
    [](const ::testing::TestParamInfo<SettingsCase> &info) {
        return std::string(info.param.name);
    });

// Every type's text form reads back as the item it came from.
TEST(PluginSettingsText, EveryTypeReadsBack) {
    using namespace plug;
    const char *texts[] = {"long:-7",  "long:100",
                           "doub:2.5", "UntF:#Rsl:72.25",
                           "bool:1",   "TEXT:two words,\\x0A\\x5C\\x20",
                           "TEXT:",    "enum:Cmpr:0x00000001",
                           "type:Dcmn"};
    for (const char *text : texts) {
        PIWriteDescriptor w = OpenWriteDescriptor();
        int16_t error = -1;
        ASSERT_TRUE(PutSetting(w, 1, text, &error)) << text;
        PIHandle h = nullptr;
        ASSERT_EQ(CloseWriteDescriptor(w, &h), 0);
        PIReadDescriptor r = OpenReadDescriptor(h, nullptr);
        DescriptorTypeID type;
        ASSERT_TRUE(GetKey(r, nullptr, &type, nullptr));
        char back[kMaxSettingText + 1];
        ASSERT_TRUE(SettingText(r, type, back, sizeof back));
        EXPECT_STREQ(back, text);
        CloseReadDescriptor(r);
        DisposeDescriptor(h);
    }
}

TEST_F(PlugTest, DialogOnlyWithTheHostsWindowAndProceduresForImportToo) {
    int16_t import_play = -1;
    bool import_procs = false;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorReadPrepare) return;
        import_play = r->descriptorParameters->playInfo;
        import_procs = r->descriptorParameters->readDescriptorProcs &&
                       r->descriptorParameters->writeDescriptorProcs;
    };
    ASSERT_TRUE(session->identify());
    session->end_import();
    EXPECT_EQ(import_play, plugInDialogDontDisplay);
    EXPECT_TRUE(import_procs);
    script.settings = true;
    int window = 0;
    record().parentWindow = &window;
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1)) << record().errorCode;
    EXPECT_EQ(script.play_info, plugInDialogDisplay);
}

}  // namespace

namespace {

// A descriptor goes away through either handle route, as plug-ins dispose of
// it: the record's handle procedures or the Handle suite (v1 and v2).
TEST_F(PlugTest, DescriptorsAreDisposedOfThroughEitherHandleRoute) {
    std::vector<bool> gone;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorReadStart) return;
        const void *suites[2] = {};
        ASSERT_EQ(r->sSPBasic->AcquireSuite(PI_HANDLE_SUITE_NAME, 1, &suites[0]), 0);
        ASSERT_EQ(r->sSPBasic->AcquireSuite(PI_HANDLE_SUITE_NAME, 2, &suites[1]), 0);
        WriteDescriptorProcs *w = r->descriptorParameters->writeDescriptorProcs;
        for (int route = 0; route < 4; ++route) {
            PIWriteDescriptor writer = w->openWriteDescriptorProc();
            w->putIntegerProc(writer, 1, route);
            PIHandle h = nullptr;
            ASSERT_EQ(w->closeWriteDescriptorProc(writer, &h), 0);
            if (route == 0) r->handleProcs->disposeProc(h);
            if (route == 1) static_cast<const PSHandleSuite1 *>(suites[0])->Dispose(h);
            if (route == 2) static_cast<const PSHandleSuite2 *>(suites[1])->Dispose(h);
            if (route == 3) static_cast<const PSHandleSuite2 *>(suites[1])->DisposeRegularHandle(h);
            gone.push_back(!plug::IsDescriptor(h));
        }
    };
    ASSERT_TRUE(session->identify());
    EXPECT_EQ(gone, std::vector<bool>(4, true));
}

}  // namespace
