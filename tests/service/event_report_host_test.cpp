// Application-log records and the event source key, read back from winsim.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include "message_support.h"
#include "service/event_report.h"

namespace {

const wchar_t* kSourceKey =
    L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Mirdal Software - RDP Kestrove";

class EventReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetModuleImage(KESTROVE_SERVICE_IMAGE);
    }
    void TearDown() override {
        EXPECT_EQ(0, winsim::OpenEventSources());
        EXPECT_EQ(0, winsim::RegistryOpenHandles());
    }
    // The record's text as the Event Viewer renders it: from the file that
    // the key names, with the record's strings.
    static std::wstring RenderedText(const winsim::ReportedEvent& record) {
        std::wstring file = winsim::RegistryGetString(kSourceKey, L"EventMessageFile");
        HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) return L"<no module>";
        std::wstring text = testsupport::Render(module, record.eventId, record.strings);
        FreeLibrary(module);
        return text;
    }
};

TEST_F(EventReportTest, KeyHoldsExactlyTheFourValues) {
    ReportServiceEvent(KESTROVE_EVENT_STARTED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    std::wstring image = testsupport::Wide(KESTROVE_SERVICE_IMAGE);
    EXPECT_EQ((std::vector<std::wstring>{L"EventMessageFile", L"TypesSupported", L"CategoryMessageFile",
                                         L"CategoryCount"}),
              winsim::RegistryValueNames(kSourceKey));
    for (const wchar_t* name : {L"EventMessageFile", L"CategoryMessageFile"}) {
        winsim::RegistryValue value;
        ASSERT_TRUE(winsim::RegistryGetValue(kSourceKey, name, &value));
        EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), value.type);
        EXPECT_EQ((image.size() + 1) * sizeof(WCHAR), value.data.size());
        EXPECT_EQ(image, winsim::RegistryGetString(kSourceKey, name));
    }
    winsim::RegistryValue types, count;
    ASSERT_TRUE(winsim::RegistryGetValue(kSourceKey, L"TypesSupported", &types));
    ASSERT_TRUE(winsim::RegistryGetValue(kSourceKey, L"CategoryCount", &count));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), types.type);
    EXPECT_EQ((std::vector<BYTE>{7, 0, 0, 0}), types.data);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), count.type);
    EXPECT_EQ((std::vector<BYTE>{2, 0, 0, 0}), count.data);
}

TEST_F(EventReportTest, EveryRecordRewritesTheKeyWithTheCurrentPath) {
    ReportServiceEvent(KESTROVE_EVENT_STARTED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    winsim::SetModuleImage(KESTROVE_TEST_MESSAGES_DLL);
    ReportServiceEvent(KESTROVE_EVENT_STOPPED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL), winsim::RegistryGetString(kSourceKey, L"EventMessageFile"));
    EXPECT_EQ(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL),
              winsim::RegistryGetString(kSourceKey, L"CategoryMessageFile"));
}

TEST_F(EventReportTest, FourRecordKindsWithTheirStringsAndTexts) {
    LPCWSTR blocked[] = {L"203.0.113.9"};
    LPCWSTR failed[] = {L"0x80070005\n", L"203.0.113.9"};
    ReportServiceEvent(KESTROVE_EVENT_STARTED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    ReportServiceEvent(KESTROVE_EVENT_STOPPED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    ReportServiceEvent(KESTROVE_EVENT_BLOCKED, blocked, 1, EVENTLOG_INFORMATION_TYPE);
    ReportServiceEvent(KESTROVE_EVENT_BLOCK_FAILED, failed, 2, EVENTLOG_INFORMATION_TYPE);

    std::vector<winsim::ReportedEvent> log = winsim::ApplicationLog();
    ASSERT_EQ(4u, log.size());
    const DWORD ids[] = {3, 4, 5, 6};
    const std::vector<std::wstring> strings[] = {{}, {}, {L"203.0.113.9"}, {L"0x80070005\n", L"203.0.113.9"}};
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(L"Mirdal Software - RDP Kestrove", log[i].source);
        EXPECT_EQ(ids[i], log[i].eventId);
        EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, log[i].type);
        EXPECT_EQ(0, log[i].category);
        EXPECT_FALSE(log[i].userSid);
        EXPECT_TRUE(log[i].data.empty());
        EXPECT_EQ(strings[i], log[i].strings);
    }
    EXPECT_EQ(L"Mirdal RDP Kestrove has started successfully.\r\n\r\r\n", RenderedText(log[0]));
    EXPECT_EQ(L"Mirdal RDP Kestrove has stopped.\r\n\r\r\n", RenderedText(log[1]));
    EXPECT_EQ(L"Mirdal RDP Kestrove blocked the following IP address: [203.0.113.9].\r\n\r\r\n", RenderedText(log[2]));
    EXPECT_EQ(L"Mirdal RDP Kestrove encountered an error [0x80070005\n] while attempting to block the following IP "
              L"address: [203.0.113.9].\r\n\r\r\n",
              RenderedText(log[3]));
}

TEST_F(EventReportTest, RecordIsWrittenWhenTheKeyCannotBeCreated) {
    winsim::FailCall("RegCreateKeyW", ERROR_ACCESS_DENIED);
    ReportServiceEvent(KESTROVE_EVENT_STARTED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    EXPECT_FALSE(winsim::RegistryKeyExists(kSourceKey));
    EXPECT_EQ(0, winsim::CallCount("RegSetValueExW"));
    EXPECT_EQ(1u, winsim::ApplicationLog().size());
}

TEST_F(EventReportTest, FailedRegistrationLosesTheRecordQuietly) {
    winsim::FailCall("RegisterEventSourceW", ERROR_ACCESS_DENIED);
    testing::internal::CaptureStdout();
    ReportServiceEvent(KESTROVE_EVENT_STARTED, nullptr, 0, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(winsim::ApplicationLog().empty());
    EXPECT_EQ(0, winsim::CallCount("ReportEventW"));
    EXPECT_EQ(0, winsim::CallCount("DeregisterEventSource"));
    EXPECT_TRUE(winsim::RegistryKeyExists(kSourceKey));
}

}  // namespace
