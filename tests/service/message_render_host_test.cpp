// Failure paths of the message lookup and rendering that need winsim's controls.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include "message_support.h"
#include "registry_support.h"
#include "service/message_render.h"

namespace {

const wchar_t* kSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\Kestrove Test Source";

class MessageRenderHostTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
    void TearDown() override {
        EXPECT_EQ(0, winsim::RegistryOpenHandles());
        EXPECT_EQ(0, winsim::LoadedDataFiles());
    }
    static std::string Lookup(int* fileNumber, HMODULE* module) {
        testing::internal::CaptureStdout();
        *module = LookupMessageFile(L"Security", L"Kestrove Test Source", fileNumber);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(MessageRenderHostTest, ValueBufferAllocationFailureGivesNoModuleQuietly) {
    testsupport::SetRegistryString(kSourceKey, L"EventMessageFile", testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL));
    winsim::FailCall("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    int fileNumber = 35;
    HMODULE module = nullptr;
    EXPECT_EQ("", Lookup(&fileNumber, &module));
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(35, fileNumber);
    EXPECT_EQ(0, winsim::CallCount("LoadLibraryExW"));
}

TEST_F(MessageRenderHostTest, FailedExpansionPrintsTheUnexpandedValue) {
    testsupport::SetRegistryString(kSourceKey, L"EventMessageFile", L"%SystemRoot%\\system32\\msaudite.dll");
    winsim::FailCall("ExpandEnvironmentStringsW", ERROR_NOT_ENOUGH_MEMORY);
    int fileNumber = 35;
    HMODULE module = nullptr;
    EXPECT_EQ("Cannot expand string: \"%SystemRoot%\\system32\\msaudite.dll\"", Lookup(&fileNumber, &module));
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(0, winsim::CallCount("LoadLibraryExW"));
}

TEST_F(MessageRenderHostTest, LoadedModuleBelongsToTheCaller) {
    testsupport::SetRegistryString(kSourceKey, L"EventMessageFile", testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL));
    int fileNumber = 35;
    HMODULE module = nullptr;
    Lookup(&fileNumber, &module);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(1, winsim::LoadedDataFiles());
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(MessageRenderHostTest, ArrayAllocationFailureLeavesInsertsUnfilled) {
    HMODULE module =
        LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    std::wstring strings = testsupport::PackedStrings(testsupport::FailedLogonInserts(L"10", L"198.51.100.23"));
    winsim::FailCall("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    testing::internal::CaptureStdout();
    LPWSTR text = GetMessageString(module, 4625, 21, strings.c_str());
    EXPECT_EQ("Failed to allocate memory for the insert string array.\n", testing::internal::GetCapturedStdout());
    ASSERT_NE(nullptr, text);
    EXPECT_NE(nullptr, wcsstr(text, L"\r\nLogon Type:\t\t\t%11\r\n"));
    EXPECT_NE(nullptr, wcsstr(text, L"\tSource Network Address:\t%20\r\n"));
    LocalFree(text);
    FreeLibrary(module);
}

TEST_F(MessageRenderHostTest, NullModuleRendersFromTheProgramsOwnImage) {
    winsim::SetModuleImage(KESTROVE_TEST_MESSAGES_DLL);
    std::wstring strings = testsupport::PackedStrings({L"one"});
    testing::internal::CaptureStdout();
    LPWSTR text = GetMessageString(nullptr, testsupport::kInsertsMessage, 1, strings.c_str());
    EXPECT_EQ("hResource is NULL.  Lookup of messages will not be possible.\r\n",
              testing::internal::GetCapturedStdout());
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ(L"[one][%2][%21][%22][%25][%99]\r\n", text);
    LocalFree(text);
}

TEST_F(MessageRenderHostTest, FormatFailureGivesNullAndItsError) {
    HMODULE module =
        LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    std::wstring strings = testsupport::PackedStrings({L"one"});
    winsim::FailCall("FormatMessageW", ERROR_NOT_ENOUGH_MEMORY);
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, GetMessageString(module, testsupport::kInsertsMessage, 1, strings.c_str()));
    EXPECT_EQ("Format message failed with 8\n", testing::internal::GetCapturedStdout());
    FreeLibrary(module);
}

}  // namespace
