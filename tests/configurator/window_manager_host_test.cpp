// winsim's window manager as the configurator relies on it: edit and button
// notifications, the dialog manager's focus and keys, modal ownership, and the
// property sheet's page creation and notifications. Uses the configurator's templates.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <string>
#include <vector>

#include "configurator/resource.h"

namespace {

std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

std::string Describe(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) return "command " + std::to_string(LOWORD(wParam)) + "/" + std::to_string(HIWORD(wParam));
    if (message == WM_NOTIFY) {
        const PSHNOTIFY* notify = reinterpret_cast<const PSHNOTIFY*>(lParam);
        return "notify " + std::to_string(0u - notify->hdr.code) + "/" + std::to_string(notify->lParam);
    }
    return "";
}

// Records commands and notifications; ends on IDOK/IDCANCEL.
INT_PTR CALLBACK RecordingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return lParam;  // the test decides about the focus
    std::string entry = Describe(message, wParam, lParam);
    if (!entry.empty()) Log().push_back(entry);
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        EndDialog(dialog, 100 + LOWORD(wParam));
    return FALSE;
}

INT_PTR CALLBACK RecordingPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const PROPSHEETPAGEW* entry = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        Log().push_back("init page " + std::to_string(entry->lParam));
        return FALSE;
    }
    std::string described = Describe(message, wParam, lParam);
    int index = GetDlgItem(page, IDC_SMTP_SERVER) ? 1 : 0;
    if (!described.empty()) Log().push_back("page " + std::to_string(index) + " " + described);
    return FALSE;
}

class WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetModuleImage(KESTROVE_CONFIG_IMAGE);
        Log().clear();
    }
    static INT_PTR RunTestDialog(LPARAM focusByManager, HWND parent = nullptr) {
        return DialogBoxParamW(winsim::ProgramInstance(), MAKEINTRESOURCEW(IDD_SMTP_TEST), parent, RecordingDialog,
                               focusByManager);
    }
    static INT_PTR RunSheet(UINT startPage, DWORD flags = PSH_PROPSHEETPAGE) {
        PROPSHEETPAGEW pages[2] = {};
        int templates[2] = {IDD_GENERAL, IDD_SMTP_SETTINGS};
        for (int i = 0; i < 2; ++i) {
            pages[i].dwSize = sizeof(PROPSHEETPAGEW);
            pages[i].hInstance = winsim::ProgramInstance();
            pages[i].pszTemplate = MAKEINTRESOURCEW(templates[i]);
            pages[i].pfnDlgProc = RecordingPage;
            pages[i].lParam = i;
        }
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = flags;
        header.hInstance = winsim::ProgramInstance();
        header.pszCaption = L"sheet";
        header.nPages = 2;
        header.nStartPage = startPage;
        header.ppsp = pages;
        return PropertySheetW(&header);
    }
    static HWND Control(int id) { return GetDlgItem(winsim::ActiveWindow(), id); }
};

}  // namespace

TEST_F(WindowManagerTest, SingleLineEditsReportNewTextMultilineOnesOnlyEdits) {
    winsim::QueueUserStep([] {
        SendMessageW(Control(IDC_TEST_RECIPIENT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        SendMessageW(Control(IDC_TEST_LOG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ab"));
        SendMessageW(Control(IDC_TEST_LOG), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"1"));
        SendMessageW(Control(IDC_TEST_LOG), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"2\r\n"));
        EXPECT_EQ(L"12\r\nab", winsim::WindowText(Control(IDC_TEST_LOG)));  // at the caret, which follows each insertion
        EXPECT_TRUE(winsim::TypeText(Control(IDC_TEST_LOG), L"typed"));     // read-only: the keys change nothing
        EXPECT_EQ(L"12\r\nab", winsim::WindowText(Control(IDC_TEST_LOG)));
        EXPECT_EQ((std::vector<std::string>{"command 1000/768", "command 1019/768", "command 1019/768"}), Log());
        winsim::PressEscape(Control(IDC_TEST_RECIPIENT));
    });
    EXPECT_EQ(100 + IDCANCEL, RunTestDialog(FALSE));
}

TEST_F(WindowManagerTest, GetTextCutsAtTheBufferAndEveryKeyIsAChange) {
    winsim::QueueUserStep([] {
        HWND edit = Control(IDC_TEST_RECIPIENT);
        winsim::TypeText(edit, std::wstring(300, L'x'));
        WCHAR buffer[256];
        EXPECT_EQ(255, SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer)));
        EXPECT_EQ(std::wstring(255, L'x'), buffer);
        EXPECT_EQ(300, SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
        EXPECT_EQ(300u, Log().size());  // one change per key
        winsim::PressCloseBox(winsim::ActiveWindow());
    });
    EXPECT_EQ(100 + IDCANCEL, RunTestDialog(FALSE));
}

TEST_F(WindowManagerTest, FocusFollowsWhatInitDialogReturns) {
    int focusedId = 0;
    winsim::QueueUserStep([&focusedId] {
        focusedId = winsim::WindowId(GetFocus());
        winsim::PressEscape(Control(IDOK));
    });
    RunTestDialog(TRUE);
    EXPECT_EQ(IDOK, focusedId);  // the first control with WS_TABSTOP
    EXPECT_EQ(nullptr, GetFocus());  // the dialog and its controls are gone
    HWND focused = reinterpret_cast<HWND>(1);
    winsim::QueueUserStep([&focused] {
        focused = GetFocus();
        winsim::PressEscape(Control(IDOK));
    });
    RunTestDialog(FALSE);
    EXPECT_EQ(nullptr, focused);
}

TEST_F(WindowManagerTest, EnterSendsTheDefaultButtonExceptInAReturnWantingBox) {
    winsim::QueueUserStep([] {
        EXPECT_FALSE(winsim::PressEnter(Control(IDC_TEST_LOG)));  // read-only box: Enter stays there
        EXPECT_TRUE(Log().empty());
        EXPECT_TRUE(winsim::PressEnter(Control(IDC_TEST_RECIPIENT)));
    });
    EXPECT_EQ(100 + IDOK, RunTestDialog(FALSE));
    EXPECT_EQ((std::vector<std::string>{"command 1/0"}), Log());
    winsim::QueueUserStep([] { EXPECT_TRUE(winsim::PressEnter(Control(IDCANCEL))); });  // a focused push button
    EXPECT_EQ(100 + IDCANCEL, RunTestDialog(FALSE));
}

TEST_F(WindowManagerTest, AModalDialogDisablesItsOwnerAndTakesTheInput) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"Owner";
    ASSERT_NE(0, RegisterClassExW(&windowClass));
    HWND owner = CreateWindowExW(0, L"Owner", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, owner,
                                 reinterpret_cast<HMENU>(7), nullptr, nullptr);
    SetFocus(child);
    winsim::QueueUserStep([owner, child] {
        HWND dialog = winsim::ActiveWindow();
        EXPECT_EQ(owner, GetParent(dialog));
        EXPECT_FALSE(winsim::WindowEnabled(owner));
        EXPECT_FALSE(winsim::TypeText(child, L"x"));
        EXPECT_TRUE(winsim::TypeText(Control(IDC_TEST_RECIPIENT), L"x"));
        winsim::ClickDlgButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(100 + IDCANCEL, RunTestDialog(FALSE, child));
    EXPECT_TRUE(winsim::WindowEnabled(owner));
    EXPECT_EQ(child, GetFocus());
    EXPECT_EQ(L"", winsim::WindowText(child));
}

TEST_F(WindowManagerTest, ClassInfoIsWhatWasRegistered) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = winsim::ProgramInstance();
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_CONFIGURATOR);
    windowClass.lpszClassName = L"Framed";
    ATOM atom = RegisterClassExW(&windowClass);
    ASSERT_NE(0, atom);
    WNDCLASSEXW found = {};
    found.cbSize = sizeof(found);
    EXPECT_EQ(atom, GetClassInfoExW(winsim::ProgramInstance(), L"FRAMED", &found));
    EXPECT_EQ(static_cast<UINT>(CS_VREDRAW), found.style);
    EXPECT_EQ(DefWindowProcW, found.lpfnWndProc);
    EXPECT_EQ(MAKEINTRESOURCEW(IDC_CONFIGURATOR), found.lpszMenuName);
    EXPECT_EQ(winsim::ProgramInstance(), found.hInstance);
    EXPECT_EQ(FALSE, GetClassInfoExW(winsim::ProgramInstance(), L"Unregistered", &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST), GetLastError());
}

TEST_F(WindowManagerTest, AMissingTemplateGivesMinusOne) {
    EXPECT_EQ(-1, DialogBoxParamW(winsim::ProgramInstance(), MAKEINTRESOURCEW(999), nullptr, RecordingDialog, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
}

TEST_F(WindowManagerTest, CheckBoxesNotifyOnClicksOnly) {
    winsim::QueueUserStep([] {
        HWND sheet = winsim::ActiveWindow();
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 0, 0));
        HWND box = GetDlgItem(page, IDC_EMAIL_NOTIFY);
        SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(BST_CHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
        winsim::Click(box);
        EXPECT_EQ(BST_UNCHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
        winsim::PressSheetButton(sheet, winsim::SheetButton::Cancel);
    });
    EXPECT_EQ(0, RunSheet(0));
    EXPECT_EQ((std::vector<std::string>{"init page 0", "page 0 notify 200/0", "page 0 command 1066/0",
                                        "page 0 notify 203/0"}),
              Log());
}

TEST_F(WindowManagerTest, PagesAreCreatedOnFirstDisplayAndAppliedInIndexOrder) {
    winsim::QueueUserStep([] {
        HWND sheet = winsim::ActiveWindow();
        EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 0, 0)));
        EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 2, 0)));
        EXPECT_FALSE(winsim::ApplyEnabled(sheet));
        Log().push_back("apply");
        winsim::PressSheetButton(sheet, winsim::SheetButton::Apply);  // disabled: nothing
        EXPECT_FALSE(SendMessageW(sheet, PSM_SETCURSEL, 2, 0));
        winsim::SelectTab(sheet, 0);
        SendMessageW(sheet, PSM_CHANGED, SendMessageW(sheet, PSM_INDEXTOHWND, 0, 0), 0);
        Log().push_back("apply");
        winsim::PressSheetButton(sheet, winsim::SheetButton::Apply);
        Log().push_back("ok");
        winsim::PressSheetButton(sheet, winsim::SheetButton::Ok);
    });
    EXPECT_EQ(1, RunSheet(1));
    const unsigned kSetActive = 200, kKillActive = 201, kApply = 202;
    auto n = [](int page, unsigned code, int lParam) {
        return "page " + std::to_string(page) + " notify " + std::to_string(code) + "/" + std::to_string(lParam);
    };
    EXPECT_EQ((std::vector<std::string>{"init page 1", n(1, kSetActive, 0), "apply", n(1, kKillActive, 0),
                                        "init page 0", n(0, kSetActive, 0), "apply", n(0, kKillActive, 0),
                                        n(0, kApply, 0), n(1, kApply, 0), "ok", n(0, kKillActive, 0),
                                        n(0, kApply, 1), n(1, kApply, 1)}),
              Log());
}

TEST_F(WindowManagerTest, CancelResetsTheExistingPagesAndNoApplyButtonWhenAskedSo) {
    winsim::QueueUserStep([] {
        HWND sheet = winsim::ActiveWindow();
        EXPECT_EQ(nullptr, GetDlgItem(sheet, ID_APPLY_NOW));
        winsim::PressCloseBox(sheet);
    });
    EXPECT_EQ(0, RunSheet(0, PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW));
    EXPECT_EQ((std::vector<std::string>{"init page 0", "page 0 notify 200/0", "page 0 notify 203/1"}), Log());
}

TEST_F(WindowManagerTest, AWindowWaitingForAStepThatNeverComesEndsTheTest) {
    EXPECT_DEATH(RunTestDialog(FALSE), "DialogBoxParamW waits for user input, but the test has no further user step");
}
