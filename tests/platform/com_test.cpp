// COM library behaviour that the firewall code relies on: apartments, BSTR, VARIANT.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <thread>

namespace {

// Each case on a thread of its own, so apartments never carry over.
template <class Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(ComPlatformTest, SecondInitialisationAnswersByMode) {
    OnFreshThread([] {
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
        CoUninitialize();
        CoUninitialize();
        CoUninitialize();
        // Fully undone: the other mode is free again.
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
    });
}

TEST(ComPlatformTest, CreatingAnObjectNeedsCom) {
    OnFreshThread([] {
        const CLSID unknownClass = {0x6B1E3A52, 0x4C7D, 0x4E0F, {0x9A, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        auto create = [&] {
            return CoCreateInstance(unknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&object));
        };
        EXPECT_EQ(CO_E_NOTINITIALIZED, create());
        EXPECT_EQ(nullptr, object);
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(REGDB_E_CLASSNOTREG, create());
        CoUninitialize();
        // The thread's last CoUninitialize leaves it as it was before CoInitializeEx.
        EXPECT_EQ(CO_E_NOTINITIALIZED, create());
    });
}

TEST(ComPlatformTest, BstrKeepsItsLength) {
    BSTR text = SysAllocString(L"10.1.2.3");
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(8u, SysStringLen(text));
    EXPECT_STREQ(L"10.1.2.3", text);
    SysFreeString(text);
    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    SysFreeString(nullptr);
}

TEST(ComPlatformTest, VariantClearFreesAndEmpties) {
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(VT_EMPTY, value.vt);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"text");
    EXPECT_EQ(S_OK, VariantClear(&value));
    EXPECT_EQ(VT_EMPTY, value.vt);
    EXPECT_EQ(S_OK, VariantClear(&value));
}

}  // namespace
