// FormatMessageW over a message DLL loaded as a data file: inserts, escapes,
// languages and buffers, on winsim and Wine alike.
#include <gtest/gtest.h>
#include <windows.h>

#include "message_support.h"

namespace {

using testsupport::Render;

class FormatMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override {
        if (module_) {
            EXPECT_TRUE(FreeLibrary(module_));
        }
    }
    static std::vector<std::wstring> Numbered(int count) {
        std::vector<std::wstring> inserts;
        for (int i = 1; i <= count; ++i) inserts.push_back(L"i" + std::to_wstring(i));
        return inserts;
    }
    HMODULE module_ = nullptr;
};

TEST_F(FormatMessageTest, InsertNTakesSlotNMinusOne) {
    EXPECT_EQ(L"[i1][i2][i21][i22][i25][i99]\r\n", Render(module_, testsupport::kInsertsMessage, Numbered(99)));
}

TEST_F(FormatMessageTest, InsertedTextIsNotFormattedAgain) {
    std::vector<std::wstring> inserts = Numbered(99);
    inserts[0] = L"%2%n";
    inserts[1] = L"%%";
    EXPECT_EQ(L"[%2%n][%%][i21][i22][i25][i99]\r\n", Render(module_, testsupport::kInsertsMessage, inserts));
}

TEST_F(FormatMessageTest, EscapesStandForCharacters) {
    // %r a bare carriage return, %n CR LF, %t a tab; any other character
    // after a percent sign stands for itself.
    EXPECT_EQ(L"a\rb\r\nc%d\tebf.g!h\r\n", Render(module_, testsupport::kEscapesMessage, Numbered(1)));
}

TEST_F(FormatMessageTest, IgnoredInsertsStayAsWritten) {
    EXPECT_EQ(L"[%1][%2][%21][%22][%25][%99]\r\n",
              Render(module_, testsupport::kInsertsMessage, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
    EXPECT_EQ(L"a\rb\r\nc%%d\te%bf%.g%!h\r\n",
              Render(module_, testsupport::kEscapesMessage, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
}

TEST_F(FormatMessageTest, PercentZeroEndsTheTextWithoutLineEnd) {
    EXPECT_EQ(L"kept", Render(module_, testsupport::kStopMessage, {}));
}

TEST_F(FormatMessageTest, InsertFormatsFollowPrintf) {
    std::vector<DWORD_PTR> slots = {reinterpret_cast<DWORD_PTR>(L"one"), 42, 0xabc, reinterpret_cast<DWORD_PTR>(L"ab")};
    LPWSTR text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, module_,
        testsupport::kFormatsMessage, 0, reinterpret_cast<LPWSTR>(&text), 0, reinterpret_cast<va_list*>(slots.data()));
    ASSERT_EQ(28u, length) << GetLastError();
    EXPECT_STREQ(L"[one][42][00000abc][ab   ]\r\n", text);
    LocalFree(text);
}

TEST_F(FormatMessageTest, InsertsWithoutArgumentsAreAnInvalidParameter) {
    EXPECT_EQ(L"<error 87>", Render(module_, testsupport::kInsertsMessage, {}));
    EXPECT_EQ(L"<error 87>", Render(module_, testsupport::kInsertsMessage, {}, FORMAT_MESSAGE_FROM_SYSTEM));
    EXPECT_EQ(L"No inserts here.\r\n", Render(module_, testsupport::kPlainMessage, {}));
}

TEST_F(FormatMessageTest, UnknownMessageIsNotFoundInModuleOrSystem) {
    EXPECT_EQ(L"<error 317>", Render(module_, 9999, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
    EXPECT_EQ(L"<error 317>",
              Render(module_, 9999, {}, FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM));
}

TEST_F(FormatMessageTest, NullModuleSearchesTheProgramsOwnImage) {
    // The test program carries no resources at all.
    EXPECT_EQ(L"<error 1812>", Render(nullptr, testsupport::kPlainMessage, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
    EXPECT_EQ(L"<error 317>", Render(nullptr, testsupport::kFailedLogonMessage, {},
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM));
}

TEST_F(FormatMessageTest, SpecificLanguageIsTheOnlyOneTried) {
    LPWSTR text = nullptr;
    DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    ASSERT_EQ(18u, FormatMessageW(flags, module_, testsupport::kPlainMessage, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  reinterpret_cast<LPWSTR>(&text), 0, nullptr));
    LocalFree(text);
    EXPECT_EQ(0u, FormatMessageW(flags, module_, testsupport::kPlainMessage, 0x0407, reinterpret_cast<LPWSTR>(&text),
                                 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND), GetLastError());
}

TEST_F(FormatMessageTest, CallersBufferMustHoldTheTerminator) {
    WCHAR buffer[32];
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE, module_, testsupport::kPlainMessage, 0, buffer, 18,
                                 nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(18u, FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE, module_, testsupport::kPlainMessage, 0, buffer, 19,
                                  nullptr));
    EXPECT_STREQ(L"No inserts here.\r\n", buffer);
}

TEST_F(FormatMessageTest, FailedLogonTextHasTheLabelsTheServiceReads) {
    std::wstring text = Render(module_, testsupport::kFailedLogonMessage,
                               testsupport::FailedLogonInserts(L"10", L"203.0.113.7"));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nLogon Type:\t\t\t10\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tAccount Name:\t\tadministrator\r\n\tAccount Domain:\t\tCONTOSO\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tWorkstation Name:\tATTACKER-PC\r\n"
                                            L"\tSource Network Address:\t203.0.113.7\r\n"
                                            L"\tSource Port:\t\t51234\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tFailure Reason:\t\t%%2313\r\n"));
    EXPECT_EQ(0u, text.find(L"An account failed to log on.\r\n\r\nSubject:\r\n"));
}

}  // namespace
