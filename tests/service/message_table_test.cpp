// The service's own message table, rendered from its image through the
// platform's FormatMessageW as the Event Viewer would (winsim and Wine alike).
#include <gtest/gtest.h>
#include <windows.h>

#include "message_support.h"

namespace {

using testsupport::Render;

class ServiceMessageTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(testsupport::Wide(KESTROVE_SERVICE_IMAGE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module_); }
    HMODULE module_ = nullptr;
};

TEST_F(ServiceMessageTableTest, CategoryNames) {
    EXPECT_EQ(L"First category event\r\n", Render(module_, 1, {}));
    EXPECT_EQ(L"Second category event\r\n", Render(module_, 2, {}));
}

TEST_F(ServiceMessageTableTest, StartAndStopTextsEndInABareCarriageReturnLine) {
    EXPECT_EQ(L"Mirdal RDP Kestrove has started successfully.\r\n\r\r\n", Render(module_, 3, {}));
    EXPECT_EQ(L"Mirdal RDP Kestrove has stopped.\r\n\r\r\n", Render(module_, 4, {}));
}

TEST_F(ServiceMessageTableTest, BlockTextHoldsTheAddress) {
    EXPECT_EQ(L"Mirdal RDP Kestrove blocked the following IP address: [203.0.113.9].\r\n\r\r\n",
              Render(module_, 5, {L"203.0.113.9"}));
}

TEST_F(ServiceMessageTableTest, FailureTextHoldsTheCodeWithItsLineFeedAndTheAddress) {
    EXPECT_EQ(L"Mirdal RDP Kestrove encountered an error [0x80070005\n] while attempting to block the following IP "
              L"address: [203.0.113.9].\r\n\r\r\n",
              Render(module_, 6, {L"0x80070005\n", L"203.0.113.9"}));
}

TEST_F(ServiceMessageTableTest, TableHoldsOnlyTheSixMessages) {
    EXPECT_EQ(L"<error 317>", Render(module_, 7, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
    EXPECT_EQ(L"<error 317>", Render(module_, 0, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
}

}  // namespace
