// Shared set-up of the configurator's user-interface tests on the host: the
// program's resources, clean settings, and the user's scripted steps.
#pragma once
#include <windows.h>
#include <gmock/gmock.h>
#include <winsim/control.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "configurator/frame.h"
#include "configurator/resource.h"
#include "configurator/save_settings.h"
#include "configurator/settings_sheet.h"
#include "settings_support.h"

namespace testsupport {

class ConfiguratorUiTest : public SettingsTest {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetModuleImage(KESTROVE_CONFIG_IMAGE);
        SettingsTest::SetUp();
        g_hInstance = winsim::ProgramInstance();
    }

    // Both keys without values, as an installation leaves them.
    static void CreateKeys() {
        CreateRegistryKey(KESTROVE_SETTINGS_KEY);
        CreateRegistryKey(KESTROVE_SMTP_KEY);
    }

    // The user's next action, run when a window waits for input.
    static void Then(std::function<void()> step) { winsim::QueueUserStep(std::move(step)); }

    static HWND Active() { return winsim::ActiveWindow(); }
    // Page index of the sheet that is open (the top modal window or its owner).
    static HWND Page(HWND sheet, int index) {
        return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
    }
    static std::wstring TextOf(HWND window, int id) { return winsim::WindowText(GetDlgItem(window, id)); }
    static bool Checked(HWND window, int id) {
        return SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    static bool Retype(HWND window, int id, const std::wstring& text) {
        HWND edit = GetDlgItem(window, id);
        return winsim::SelectAllText(edit) && winsim::PressDelete(edit) && winsim::TypeText(edit, text);
    }

    // Registry writes since the program under test started (set-up excluded).
    static int& WritesBefore() {
        static int before = 0;
        return before;
    }
    static void StartCountingWrites() { WritesBefore() = winsim::CallCount("RegSetValueExW"); }
    static int Writes() { return winsim::CallCount("RegSetValueExW") - WritesBefore(); }

    // Loads the settings and runs the sheet as the main window would.
    static int RunSheet() {
        StartCountingWrites();
        LoadSettings();
        return ShowSettingsSheet(nullptr);
    }

    // A child that dies with exit(-1) can only tell through its stderr: each
    // box with its owner, the registry writes so far, the main key's values
    // and every top-level window ever shown. Its stdout goes there too.
    static void ReportBoxesOnStderr() {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        winsim::OnMessageBox([](const winsim::MessageBoxRecord& box) {
            std::wstring owner = L"none";
            if (box.owner) {
                owner = winsim::WindowClass(box.owner) + L" \"" + winsim::WindowText(box.owner) + L"\" " +
                        (winsim::WindowVisible(box.owner) ? L"visible" : L"hidden");
            }
            std::wstring shown;
            for (const winsim::ShownWindow& window : winsim::WindowsShown()) shown += L" \"" + window.text + L"\"";
            std::fprintf(stderr, "[box %ls | %ls | type %#x | owner %ls] [writes %d] [main %ls,%ls,%ls] [shown:%ls]\n",
                         box.caption.c_str(), box.text.c_str(), box.type, owner.c_str(),
                         Writes(), Main(L"AuthenticationFailsBeforeBlock").c_str(),
                         Main(L"AttemptCountResetTimeout").c_str(), Main(L"EmailNotifyOnBlock").c_str(),
                         shown.c_str());
        });
    }
    static std::string SettingsErrorBox() {
        return "[box Mirdal Software | Error reading program settings from the registry.\r\n\r\n"
               "The program will now exit. | type 0x200010 | owner none]";
    }

    static std::wstring Main(const wchar_t* name) { return GetRegistryString(KESTROVE_SETTINGS_KEY, name); }
    static std::wstring Smtp(const wchar_t* name) { return GetRegistryString(KESTROVE_SMTP_KEY, name); }
};

}  // namespace testsupport
