// The configurator's frame: a whole run through wWinMain, and the main window's
// menu commands, accelerators and About box, which a run never reaches.
#include <cstdio>
#include <cwchar>

#include "configurator_ui_host.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

using testsupport::ConfiguratorUiTest;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

namespace {

const char kRestartNotice[] =
    "[box Mirdal RDP Kestrove Configurator | The Mirdal RDP Kestrove service must be restarted for any changes to "
    "take effect. | type 0x40 | owner TARNWICKCONFIGURATOR \"Tarnwick Configurator\" hidden]";
// The sheet is the only window ever shown; the main window stays hidden.
const char kOnlyTheSheetShown[] = "[shown: \"Mirdal Software - RDP Kestrove Configurator\"]";

class FrameTest : public ConfiguratorUiTest {
protected:
    static int Run(const wchar_t* arguments) {
        std::wstring commandLine = arguments;
        StartCountingWrites();
        return wWinMain(winsim::ProgramInstance(), nullptr, &commandLine[0], SW_SHOWDEFAULT);
    }
};

// The frame's window procedure behind a window whose creation does not run the sheet.
LRESULT CALLBACK FrameWithoutSheet(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_CREATE ? 0 : MainWndProc(window, message, wParam, lParam);
}

}  // namespace

TEST_F(FrameTest, CancellingTheSheetStillShowsTheRestartNoticeAndExitsWithMinusOne) {
    Then([] {
        std::fprintf(stderr, "[winsock started %d]", winsim::WinsockStartups());  // before the sheet
        winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel);
    });
    EXPECT_EXIT(
        {
            ReportBoxesOnStderr();
            Run(L"");
        },
        testing::ExitedWithCode(255), AllOf(HasSubstr(kRestartNotice), HasSubstr(kOnlyTheSheetShown),
                                            HasSubstr("[writes 0]"), HasSubstr("[winsock started 1]")));
}

TEST_F(FrameTest, ArgumentsChangeNothingAndOkSavesBeforeTheNotice) {
    CreateKeys();
    Then([] {
        Retype(Page(Active(), 0), IDC_FAILS_BEFORE_BLOCK, L"6");
        winsim::PressSheetButton(Active(), winsim::SheetButton::Ok);
    });
    EXPECT_EXIT(
        {
            ReportBoxesOnStderr();
            Run(L"-install -uninstall");
        },
        testing::ExitedWithCode(255),
        AllOf(HasSubstr(kRestartNotice), HasSubstr("[writes 3] [main 6,10,1]"), Not(HasSubstr("Error reading"))));
}

TEST_F(FrameTest, ASettingsErrorEndsTheRunWithoutTheRestartNotice) {
    testsupport::CreateRegistryKey(KESTROVE_SETTINGS_KEY);
    Then([] { winsim::SelectTab(Active(), 1); });
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Ok); });
    EXPECT_EXIT(
        {
            ReportBoxesOnStderr();
            Run(L"");
        },
        testing::ExitedWithCode(255), AllOf(HasSubstr("[box Mirdal Software | Error reading program settings"),
                                            Not(HasSubstr("restarted"))));
}

TEST_F(FrameTest, NoMainWindowEndsWithZeroAndShowsNothing) {
    winsim::FailCall("CreateWindowExW", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, Run(L""));
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    EXPECT_TRUE(winsim::WindowsShown().empty());
    EXPECT_EQ(std::wstring(L"Tarnwick Configurator"), g_szTitle);
    EXPECT_EQ(std::wstring(L"TARNWICKCONFIGURATOR"), g_szWindowClass);
    WNDCLASSEXW registered = {};
    registered.cbSize = sizeof(registered);
    ASSERT_NE(FALSE, GetClassInfoExW(winsim::ProgramInstance(), g_szWindowClass, &registered));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), registered.style);
    EXPECT_EQ(MAKEINTRESOURCEW(IDC_CONFIGURATOR), registered.lpszMenuName);
    EXPECT_EQ(MainWndProc, registered.lpfnWndProc);
}

TEST_F(FrameTest, MenuCommandsAcceleratorsAndTheAboutBoxWorkInTheMessageLoop) {
    std::wcscpy(g_szWindowClass, L"TARNWICKCONFIGURATOR");
    RegisterMainWindowClass(winsim::ProgramInstance());
    WNDCLASSEXW testClass = {};
    testClass.cbSize = sizeof(testClass);
    testClass.lpfnWndProc = FrameWithoutSheet;
    testClass.hInstance = winsim::ProgramInstance();
    testClass.lpszClassName = L"FrameWithoutSheet";
    ASSERT_NE(0, RegisterClassExW(&testClass));
    HWND window = CreateWindowExW(0, L"FrameWithoutSheet", L"frame", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, winsim::ProgramInstance(), nullptr);
    ASSERT_NE(nullptr, window);
    HACCEL accelerators = LoadAcceleratorsW(winsim::ProgramInstance(), MAKEINTRESOURCEW(IDC_CONFIGURATOR));
    ASSERT_NE(nullptr, accelerators);

    std::vector<std::wstring> aboutBoxes;
    auto closeAbout = [&aboutBoxes](bool escape) {
        return [&aboutBoxes, escape] {
            HWND about = Active();
            std::vector<HWND> items = winsim::ChildWindows(about);
            ASSERT_FALSE(items.empty()) << "no About box is open";
            aboutBoxes.push_back(winsim::WindowText(about) + L"/" + winsim::WindowText(items[0]));
            EXPECT_FALSE(winsim::WindowEnabled(GetParent(about)));  // the owner, while the box is open
            if (escape) {
                winsim::PressEscape(about);
            } else {
                winsim::PressCloseBox(about);
            }
        };
    };
    Then([window] { winsim::PostInput(window, WM_SYSCHAR, L'?', 0); });
    Then(closeAbout(true));
    Then([window] {
        winsim::PostInput(window, WM_CHAR, L'/', 0);  // without Alt: no accelerator
        winsim::PostInput(window, WM_SYSCHAR, L'/', 0);
    });
    Then(closeAbout(false));
    Then([window] { winsim::PostInput(window, WM_COMMAND, IDM_EXIT, 0); });

    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    EXPECT_EQ(0u, message.wParam);
    EXPECT_FALSE(winsim::WindowExists(window));
    EXPECT_EQ((std::vector<std::wstring>{L"About Tarnwick Configurator/Tarnwick Configurator, Version 1.0",
                                         L"About Tarnwick Configurator/Tarnwick Configurator, Version 1.0"}),
              aboutBoxes);
    EXPECT_EQ(2, winsim::CallCount("DialogBoxParamW"));
}
