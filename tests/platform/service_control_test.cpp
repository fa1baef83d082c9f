// Service control manager behaviour the install and removal steps rely on,
// checked against winsim and Wine alike.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

const wchar_t* kName = L"Kestrove Platform Test";
const wchar_t* kPath = L"C:\\Kestrove\\platform-test.exe";

class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
        ASSERT_NE(nullptr, manager_) << GetLastError();
        // A run that failed half way may have left the service behind.
        if (SC_HANDLE old = OpenServiceW(manager_, kName, DELETE)) {
            DeleteService(old);
            CloseServiceHandle(old);
        }
    }
    void TearDown() override {
        if (SC_HANDLE service = OpenServiceW(manager_, kName, DELETE)) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager_);
    }
    SC_HANDLE Create(DWORD access = SERVICE_ALL_ACCESS) {
        return CreateServiceW(manager_, kName, kName, access, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                              SERVICE_ERROR_IGNORE, kPath, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceControlTest, NewServiceIsStoppedAndItsNameTaken) {
    SC_HANDLE service = Create();
    ASSERT_NE(nullptr, service) << GetLastError();
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), status.dwServiceType);
    EXPECT_EQ(0u, status.dwControlsAccepted);

    EXPECT_EQ(nullptr, Create());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_EXISTS), GetLastError());
    CloseServiceHandle(service);
}

TEST_F(ServiceControlTest, NamesCompareWithoutCase) {
    CloseServiceHandle(Create());
    SC_HANDLE service = OpenServiceW(manager_, L"KESTROVE platform TEST", SERVICE_QUERY_STATUS);
    EXPECT_NE(nullptr, service);
    CloseServiceHandle(service);
}

TEST_F(ServiceControlTest, UnknownServiceDoesNotOpen) {
    EXPECT_EQ(nullptr, OpenServiceW(manager_, L"Kestrove No Such Service", SERVICE_QUERY_STATUS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
}

TEST_F(ServiceControlTest, StopOfAStoppedServiceIsRefused) {
    SC_HANDLE service = Create();
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    CloseServiceHandle(service);
}

TEST_F(ServiceControlTest, DeletedServiceStaysUntilItsLastHandleCloses) {
    SC_HANDLE service = Create();
    SC_HANDLE second = OpenServiceW(manager_, kName, SERVICE_QUERY_STATUS);
    ASSERT_NE(nullptr, second);
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());

    CloseServiceHandle(service);
    EXPECT_EQ(nullptr, Create());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());

    CloseServiceHandle(second);
    EXPECT_EQ(nullptr, OpenServiceW(manager_, kName, SERVICE_QUERY_STATUS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    SC_HANDLE again = Create();
    EXPECT_NE(nullptr, again);
    CloseServiceHandle(again);
}

TEST_F(ServiceControlTest, HandlesGrantOnlyTheRightsAskedFor) {
    CloseServiceHandle(Create());
    SC_HANDLE service = OpenServiceW(manager_, kName, SERVICE_QUERY_STATUS);
    ASSERT_NE(nullptr, service);
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    wchar_t text[] = L"text";
    SERVICE_DESCRIPTIONW description{text};
    EXPECT_FALSE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseServiceHandle(service);

    service = OpenServiceW(manager_, kName, SERVICE_STOP);
    EXPECT_FALSE(QueryServiceStatus(service, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseServiceHandle(service);
}

TEST_F(ServiceControlTest, ConnectOnlyManagerCannotCreate) {
    SC_HANDLE connectOnly = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(nullptr, connectOnly);
    EXPECT_EQ(nullptr, CreateServiceW(connectOnly, kName, kName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, kPath, nullptr, nullptr, nullptr,
                                      nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseServiceHandle(connectOnly);
}

TEST_F(ServiceControlTest, DescriptionIsSetThroughAFullAccessHandle) {
    SC_HANDLE service = Create();
    wchar_t text[] = L"A description.";
    SERVICE_DESCRIPTIONW description{text};
    EXPECT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description));
    CloseServiceHandle(service);
}

TEST_F(ServiceControlTest, ClosedHandleIsInvalid) {
    SC_HANDLE service = Create();
    ASSERT_TRUE(CloseServiceHandle(service));
    SERVICE_STATUS status{};
    EXPECT_FALSE(QueryServiceStatus(service, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

void WINAPI UnusedServiceMain(DWORD, LPWSTR*) {}

TEST(ServiceDispatcherTest, ProcessNotStartedAsAServiceCannotConnect) {
    wchar_t name[] = L"Kestrove Platform Test";
    SERVICE_TABLE_ENTRYW table[] = {{name, UnusedServiceMain}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
}

}  // namespace
