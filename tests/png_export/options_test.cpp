// FE_OPTIONS: the interlace choice between the settings file and the "PNG
// Options" dialog, played through the POSIX dialog script.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/dialog_script.h"
#include "common/platform.h"
#include "export_fixtures.h"
#include "support/tools.h"

namespace png_export_test {
namespace {

using flt::DialogAction;
using flt::DialogStep;

class Options : public ::testing::Test {
  protected:
    void SetUp() override {
        ini_ = testing_support::temp_path("png.ini");
        s_ = new_session();
        s_->help_path = "/help/png.hlp";
    }
    void TearDown() override {
        flt::dialog_script_clear();
        s_->end_export();
        std::remove(ini_.c_str());
    }
    void store(const std::string &text) {
        testing_support::write_bytes(ini_, std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::vector<uint8_t> file() const { return testing_support::read_bytes(ini_); }
    std::string stored() const {
        char buffer[32];
        flt::platform_profile_string("PNG Filter", "Interlace", "(none)", buffer, sizeof buffer,
                                     ini_.c_str());
        return buffer;
    }
    int32_t run(std::vector<DialogStep> steps, bool with_ini = true) {
        flt::dialog_script_set(steps.data(), steps.size());
        s_->record().iniPath = with_ini ? const_cast<char *>(ini_.c_str()) : nullptr;
        return s_->call(FE_OPTIONS);
    }
    bool box_at_init() const { return flt::dialog_transcript().checkAfterInit[0] == 1; }
    // The interlace byte of the IHDR of an export that follows.
    int exported_interlace() {
        HostPicture p = make_picture(Kind::kRgb, 9, 9);
        if (!s_->export_plane(p.colour, 1, 1)) return -1;
        return chunks_of(s_->output())[0].data[12];
    }

    std::string ini_;
    std::unique_ptr<host::Session> s_;
};

const DialogStep kOk{DialogAction::kClick, flt::DLG_IDOK};
const DialogStep kCancel{DialogAction::kClick, flt::DLG_IDCANCEL};
const DialogStep kToggle{DialogAction::kClick, 1000};

TEST_F(Options, StoredValueOpensTheBoxAndOkWritesItBack) {
    struct Case {
        const char *file;  // settings text
        bool ticked;       // box at WM_INITDIALOG
        bool toggle;       // the user clicks the box
        const char *written;
        int interlace;  // IHDR byte of the export that follows
    } cases[] = {
        {"[PNG Filter]\nInterlace=1\n", true, false, "1", 1},
        {"[PNG Filter]\nInterlace=257\n", true, false, "1", 1},
        {"[PNG Filter]\nInterlace=2\n", false, false, "0", 0},
        {"[Other]\nInterlace=1\n", false, false, "0", 0},
        {"[PNG Filter]\nInterlace=0\n", false, true, "1", 1},
        {"[png filter]\ninterlace=1\n", true, true, "0", 0},
    };
    for (const Case &c : cases) {
        s_ = new_session();
        store(c.file);
        std::vector<DialogStep> steps;
        if (c.toggle) steps.push_back(kToggle);
        steps.push_back(kOk);
        EXPECT_EQ(run(steps), 1) << c.file;
        EXPECT_EQ(box_at_init(), c.ticked) << c.file;
        EXPECT_TRUE(flt::dialog_transcript().ended);
        EXPECT_EQ(stored(), c.written) << c.file;
        EXPECT_EQ(exported_interlace(), c.interlace) << c.file;
        s_->end_export();
    }
}

TEST_F(Options, NullIniPathOpensClearAndWritesNothing) {
    EXPECT_EQ(run({kToggle, kOk}, false), 1);
    EXPECT_FALSE(box_at_init());
    EXPECT_TRUE(file().empty());
    EXPECT_EQ(exported_interlace(), 1);
}

TEST_F(Options, CancelLeavesTheFileAndKeepsTheStoredChoice) {
    for (DialogStep cancel :
         {kCancel, DialogStep{DialogAction::kEscape}, DialogStep{DialogAction::kClose}}) {
        store("[PNG Filter]\r\nInterlace=1\r\n");
        std::vector<uint8_t> before = file();
        EXPECT_EQ(run({kToggle, cancel}), 0);
        EXPECT_EQ(s_->record().errorCode, FERR_CANCELLED);
        EXPECT_EQ(file(), before);
        EXPECT_NE(s_->record().filterState, nullptr) << "the state stays";
        EXPECT_EQ(exported_interlace(), 1) << "the value read before the dialog";
        s_->end_export();
        s_ = new_session();
    }
}

TEST_F(Options, NoDialogFlagTouchesNothing) {
    store("[PNG Filter]\nInterlace=1\n");
    std::vector<uint8_t> before = file();
    s_->record().requestFlags = FRI_NO_DIALOG;
    flt::dialog_script_clear();
    EXPECT_EQ(run({kToggle, kOk}), 1);
    s_->record().requestFlags = 0;
    EXPECT_EQ(s_->record().filterState, nullptr);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(exported_interlace(), 0);
}

// Without a window system the dialog cannot be created, which confirms the
// stored value; an out-of-range value still writes a valid Adam7 header.
TEST_F(Options, DialogThatCannotBeShownConfirms) {
    store("[PNG Filter]\nInterlace=2\n");
    flt::dialog_script_clear();
    s_->record().iniPath = const_cast<char *>(ini_.c_str());
    EXPECT_EQ(s_->call(FE_OPTIONS), 1);
    EXPECT_EQ(stored(), "2");
    EXPECT_EQ(exported_interlace(), 1);
}

TEST_F(Options, DialogProcedure) {
    store("[PNG Filter]\nInterlace=0\n");
    s_->record().parentWindow = reinterpret_cast<FilterWindow>(0x1234);
    DialogStep other{DialogAction::kMessage, 0, 0x0200 /* WM_MOUSEMOVE */, 0, 0};
    DialogStep unknown_command{DialogAction::kMessage, 0, flt::DLG_WM_COMMAND, 1234, 0};
    DialogStep help_button{DialogAction::kClick, 9};
    DialogStep f1{DialogAction::kHelpKey, 1000};
    DialogStep right_click{DialogAction::kContextMenu, 1000};
    EXPECT_EQ(run({other, unknown_command, help_button, f1, right_click, kOk}), 1);
    const flt::DialogTranscript &t = flt::dialog_transcript();
    EXPECT_EQ(t.templateId, 100);
    EXPECT_EQ(t.parent, s_->record().parentWindow);
    EXPECT_EQ(t.initParam, 0);
    EXPECT_TRUE(t.exStyle & flt::DLG_WS_EX_CONTEXTHELP);
    ASSERT_EQ(t.messageCount, 7u);
    const intptr_t results[] = {1, 0, 1, 1, 1, 1, 1};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(t.results[i], results[i]) << "message " << i;
    ASSERT_EQ(t.winHelpCount, 1u);
    EXPECT_EQ(t.winHelp[0].window, t.dialog);
    EXPECT_STREQ(t.winHelp[0].file, "/help/png.hlp");
    EXPECT_EQ(t.winHelp[0].command, flt::DLG_HELP_CONTEXT);
    EXPECT_EQ(t.winHelp[0].data, 40300u);
    auto help_info = reinterpret_cast<intptr_t>(&t.helpInfo);
    auto control = reinterpret_cast<uintptr_t>(flt::dialog_script_control(1000));
    std::vector<std::string> expect = {
        "contextHelp /help/png.hlp 0 " + std::to_string(static_cast<int32_t>(help_info)) + " 100",
        "contextMenuHelp /help/png.hlp " + std::to_string(static_cast<uint32_t>(control)) + " " +
            std::to_string((20 << 16) | 10) + " 100"};
    EXPECT_EQ(s_->help_calls(), expect);
    EXPECT_EQ(stored(), "0");
}

// A host without help services still gets a working dialog.
TEST_F(Options, NoHostServices) {
    s_->record().hostServices = nullptr;
    store("[PNG Filter]\nInterlace=1\n");
    EXPECT_EQ(run({DialogStep{DialogAction::kHelpKey, 1000}, kOk}), 1);
    EXPECT_EQ(stored(), "1");
}

}  // namespace
}  // namespace png_export_test
