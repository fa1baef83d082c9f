// The configurator's compiled resources read back from its module image:
// dialogs, menu, accelerators and strings exactly as the user interface needs them.
#include <gtest/gtest.h>
#include <winsim/control.h>
#include <winsim/pe_image.h>

#include <string>
#include <vector>

#include "configurator/resource.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct ExpectedItem {
    int id;
    const wchar_t* className;
    DWORD style;
    int x, y, cx, cy;
    const wchar_t* text;
};

struct ExpectedDialog {
    int id;
    DWORD style;
    DWORD exStyle;
    int cx, cy;
    const wchar_t* caption;
    std::vector<ExpectedItem> items;
};

const DWORD kPopupDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT;

const std::vector<ExpectedDialog>& Dialogs() {
    static const std::vector<ExpectedDialog> dialogs = {
        {IDD_ABOUTBOX, kPopupDialog, 0, 205, 122, L"About Tarnwick Configurator",
         {{-1, L"STATIC", kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP, 42, 14, 114, 8,
           L"Tarnwick Configurator, Version 1.0"}}},
        {IDD_GENERAL, kPopupDialog, 0, 323, 300, L"Dialog",
         {{-1, L"STATIC", kChild | SS_LEFT | WS_GROUP, 33, 36, 122, 8, L"Failed logon attempts before IP block:"},
          {1066, L"BUTTON", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 34, 55, 179, 10,
           L"Send e-mail notification when firewall rule is added."},
          {-1, L"STATIC", WS_CHILD | SS_LEFT | WS_GROUP, 37, 89, 121, 8, L"Minutes until failed logon count reset:"},
          {1067, L"EDIT", WS_CHILD | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 162, 87, 40, 14, L""},
          {1064, L"EDIT", kChild | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 160, 33, 40, 14, L""}}},
        {IDD_SMTP_SETTINGS, WS_CHILD | WS_SYSMENU | DS_SHELLFONT, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE,
         328, 201, L"",
         {{1058, L"EDIT", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 82, 43, 188, 14, L""},
          {-1, L"STATIC", kChild | SS_LEFT | WS_GROUP, 7, 45, 73, 10, L"SMTP Server Address:"},
          {1059, L"EDIT", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 82, 63, 188, 14, L""},
          {-1, L"STATIC", kChild | SS_LEFT | WS_GROUP, 31, 65, 47, 10, L"From Address:"},
          {1062, L"EDIT", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 82, 81, 188, 14, L""},
          {-1, L"STATIC", kChild | SS_LEFT | WS_GROUP, 40, 84, 39, 10, L"To Address:"},
          {2, L"BUTTON", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 117, 145, 50, 14, L"Test"}}},
        {IDD_SMTP_TEST, kPopupDialog, 0, 319, 255, L"SMTP Test Message",
         {{IDOK, L"BUTTON", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 100, 234, 50, 14, L"Send"},
          {IDCANCEL, L"BUTTON", kChild | BS_PUSHBUTTON | WS_TABSTOP, 158, 234, 50, 14, L"Cancel"},
          {1000, L"EDIT", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 24, 44, 272, 14, L""},
          {-1, L"STATIC", kChild | SS_LEFT | WS_GROUP, 68, 26, 169, 11,
           L"Enter e-mail address for the test message recipient."},
          {1019, L"EDIT", kChild | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN, 22, 95, 264,
           125, L""}}},
    };
    return dialogs;
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetModuleImage(KESTROVE_CONFIG_IMAGE);
    }
};

}  // namespace

TEST_F(ResourcesTest, DialogTemplatesHaveTheirStylesFontsGeometryAndControlsInOrder) {
    for (const ExpectedDialog& expected : Dialogs()) {
        SCOPED_TRACE("dialog " + std::to_string(expected.id));
        winsim::DialogTemplate dialog;
        ASSERT_TRUE(winsim::ReadDialogTemplate(winsim::ProgramInstance(), expected.id, &dialog));
        EXPECT_TRUE(dialog.extended);
        EXPECT_EQ(expected.style, dialog.style);
        EXPECT_EQ(expected.exStyle, dialog.exStyle);
        EXPECT_EQ(0, dialog.x);
        EXPECT_EQ(0, dialog.y);
        EXPECT_EQ(expected.cx, dialog.cx);
        EXPECT_EQ(expected.cy, dialog.cy);
        EXPECT_EQ(expected.caption, dialog.caption);
        EXPECT_EQ(L"", dialog.menu);
        EXPECT_EQ(L"", dialog.className);
        EXPECT_TRUE(dialog.hasFont);
        EXPECT_EQ(L"MS Shell Dlg", dialog.typeface);
        EXPECT_EQ(8, dialog.pointSize);
        EXPECT_EQ(400, dialog.weight);
        EXPECT_EQ(0, dialog.italic);
        ASSERT_EQ(expected.items.size(), dialog.items.size());
        for (size_t i = 0; i < expected.items.size(); ++i) {
            const ExpectedItem& want = expected.items[i];
            const winsim::DialogItem& item = dialog.items[i];
            SCOPED_TRACE("control " + std::to_string(i + 1));
            EXPECT_EQ(want.id, item.id);
            EXPECT_EQ(want.className, item.className);
            EXPECT_EQ(want.style, item.style);
            EXPECT_EQ(0u, item.exStyle);
            EXPECT_EQ(want.x, item.x);
            EXPECT_EQ(want.y, item.y);
            EXPECT_EQ(want.cx, item.cx);
            EXPECT_EQ(want.cy, item.cy);
            EXPECT_EQ(want.text, item.text);
        }
    }
}

TEST_F(ResourcesTest, SettingsPagesUseCharsetOne) {
    for (int id : {IDD_GENERAL, IDD_SMTP_SETTINGS}) {
        winsim::DialogTemplate dialog;
        ASSERT_TRUE(winsim::ReadDialogTemplate(winsim::ProgramInstance(), id, &dialog));
        EXPECT_EQ(1, dialog.charset);
    }
}

TEST_F(ResourcesTest, MenuHasFileExitAndHelpAbout) {
    std::vector<winsim::MenuItem> menu;
    ASSERT_TRUE(winsim::ReadMenu(winsim::ProgramInstance(), IDC_CONFIGURATOR, &menu));
    const WORD kPopup = 0x10, kEnd = 0x80;
    ASSERT_EQ(2u, menu.size());
    EXPECT_EQ(L"&File", menu[0].text);
    EXPECT_EQ(kPopup, menu[0].flags);
    ASSERT_EQ(1u, menu[0].items.size());
    EXPECT_EQ(L"E&xit", menu[0].items[0].text);
    EXPECT_EQ(IDM_EXIT, menu[0].items[0].id);
    EXPECT_EQ(L"&Help", menu[1].text);
    EXPECT_EQ(kPopup | kEnd, menu[1].flags);
    ASSERT_EQ(1u, menu[1].items.size());
    EXPECT_EQ(L"&About ...", menu[1].items[0].text);
    EXPECT_EQ(IDM_ABOUT, menu[1].items[0].id);
}

TEST_F(ResourcesTest, AcceleratorsAreAltQuestionMarkAndAltSlashAsCharacters) {
    HACCEL table = LoadAcceleratorsW(winsim::ProgramInstance(), MAKEINTRESOURCEW(IDC_CONFIGURATOR));
    ASSERT_NE(nullptr, table);
    std::vector<winsim::AcceleratorEntry> entries = winsim::AcceleratorEntries(table);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(FALT, entries[0].flags);
    EXPECT_EQ(L'?', entries[0].key);
    EXPECT_EQ(IDM_ABOUT, entries[0].command);
    EXPECT_EQ(FALT, entries[1].flags);
    EXPECT_EQ(L'/', entries[1].key);
    EXPECT_EQ(IDM_ABOUT, entries[1].command);
}

TEST_F(ResourcesTest, TitleAndClassStringsAndTheIcon) {
    WCHAR text[100];
    EXPECT_EQ(21, LoadStringW(winsim::ProgramInstance(), IDS_APP_TITLE, text, 100));
    EXPECT_EQ(std::wstring(L"Tarnwick Configurator"), text);
    EXPECT_EQ(20, LoadStringW(winsim::ProgramInstance(), IDC_CONFIGURATOR, text, 100));
    EXPECT_EQ(std::wstring(L"TARNWICKCONFIGURATOR"), text);
    EXPECT_EQ(5, LoadStringW(winsim::ProgramInstance(), IDC_CONFIGURATOR, text, 6));
    EXPECT_EQ(std::wstring(L"TARNW"), text);
    EXPECT_EQ(0, LoadStringW(winsim::ProgramInstance(), 110, text, 100));
    EXPECT_NE(nullptr, LoadIconW(winsim::ProgramInstance(), MAKEINTRESOURCEW(IDI_CONFIGURATOR)));
    EXPECT_EQ(nullptr, LoadIconW(winsim::ProgramInstance(), MAKEINTRESOURCEW(137)));
}

TEST_F(ResourcesTest, UserInterfaceResourcesAreInUsEnglish) {
    winsim::pe::Image image;
    std::string error;
    ASSERT_TRUE(winsim::pe::LoadImage(KESTROVE_CONFIG_IMAGE, &image, &error)) << error;
    int checked = 0;
    for (const winsim::pe::Resource& resource : image.resources) {
        uint16_t type = resource.type.number;
        if (type == 4 || type == 5 || type == 6 || type == 9 || type == 14) {
            EXPECT_EQ(1033, resource.language) << "type " << type << " name " << resource.name.number;
            ++checked;
        }
    }
    EXPECT_EQ(8, checked);  // menu, four dialogs, one string block (103 and 109), accelerators, icon
}
