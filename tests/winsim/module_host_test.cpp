// winsim's own side of modules and messages: handles, reset, encodings.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "message_support.h"

namespace {

class WinsimModuleTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
    static HMODULE LoadTestDll() {
        return LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE);
    }
};

TEST_F(WinsimModuleTest, HandlesAreCountedFreedOnceAndDieWithReset) {
    HMODULE first = LoadTestDll();
    HMODULE second = LoadTestDll();
    ASSERT_NE(nullptr, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(2, winsim::LoadedDataFiles());
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    winsim::Reset();
    EXPECT_EQ(0, winsim::LoadedDataFiles());
    EXPECT_FALSE(FreeLibrary(second));
}

TEST_F(WinsimModuleTest, ProgramPathIsTheModuleImage) {
    winsim::SetModuleImage(KESTROVE_SERVICE_IMAGE);
    WCHAR path[MAX_PATH];
    EXPECT_EQ(testsupport::Wide(KESTROVE_SERVICE_IMAGE).size(), GetModuleFileNameW(nullptr, path, MAX_PATH));
    EXPECT_EQ(testsupport::Wide(KESTROVE_SERVICE_IMAGE), path);
    // Windows since Vista terminates a cut path.
    EXPECT_EQ(5u, GetModuleFileNameW(nullptr, path, 5));
    EXPECT_EQ(testsupport::Wide(KESTROVE_SERVICE_IMAGE).substr(0, 4), path);
}

TEST_F(WinsimModuleTest, SystemTableIsEmpty) {
    LPWSTR text = nullptr;
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError());
}

TEST_F(WinsimModuleTest, ImageWithResourcesButNoMessageTable) {
    winsim::SetModuleImage(KESTROVE_CONFIG_IMAGE);
    EXPECT_EQ(L"<error 1813>", testsupport::Render(nullptr, 1, {}, FORMAT_MESSAGE_IGNORE_INSERTS));
}

TEST_F(WinsimModuleTest, EmptyFileIsInvalidAndFolderIsDenied) {
    // A file of this process's own: copies of the tests run at once.
    std::string empty =
        std::string(KESTROVE_BINARY_DIR) + "/winsim-empty-file-" + std::to_string(getpid()) + ".bin";
    FILE* file = std::fopen(empty.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    std::fclose(file);
    EXPECT_EQ(nullptr, LoadLibraryExW(testsupport::Wide(empty.c_str()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_INVALID), GetLastError());
    std::remove(empty.c_str());
    EXPECT_EQ(nullptr, LoadLibraryExW(testsupport::Wide(KESTROVE_BINARY_DIR).c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(WinsimModuleTest, OtherLoadFlagsAreNotImplemented) {
    EXPECT_DEATH(LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr, 0),
                 "LoadLibraryExW is not implemented");
}

}  // namespace
