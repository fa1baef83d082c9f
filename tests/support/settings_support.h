// Shared set-up of the settings tests: clean keys and globals, value writers.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/settings.h"
#include "registry_support.h"

namespace testsupport {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettingsKeys();
        std::memset(&g_settings, 0, sizeof(g_settings));
        std::memset(g_smtpServer, 0, sizeof(g_smtpServer));
        std::memset(g_emailFrom, 0, sizeof(g_emailFrom));
        std::memset(g_adminEmailAddress, 0, sizeof(g_adminEmailAddress));
    }
    void TearDown() override { ClearSettingsKeys(); }

    static void SetMain(const wchar_t* name, const std::wstring& text) {
        SetRegistryString(KESTROVE_SETTINGS_KEY, name, text);
    }
    static void SetSmtp(const wchar_t* name, const std::wstring& text) {
        SetRegistryString(KESTROVE_SMTP_KEY, name, text);
    }
    static void SetAllSmtp() {
        SetSmtp(L"Server Address", L"mail.example.org");
        SetSmtp(L"EmailFrom", L"kestrove@example.org");
        SetSmtp(L"AdminEmailAddress", L"admin@example.org");
    }
};

}  // namespace testsupport
