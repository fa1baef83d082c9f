// Message-file helpers of the rendering tests, through the Windows API only.
#include "message_support.h"

namespace testsupport {

std::wstring Wide(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return wide;
}

std::wstring TestMessagesFolder() {
    std::wstring path = Wide(KESTROVE_TEST_MESSAGES_DLL);
    return path.substr(0, path.rfind(L'/'));
}

std::wstring TestMessagesFileName() {
    std::wstring path = Wide(KESTROVE_TEST_MESSAGES_DLL);
    return path.substr(path.rfind(L'/') + 1);
}

std::wstring PackedStrings(const std::vector<std::wstring>& strings) {
    std::wstring packed;
    for (const std::wstring& text : strings) {
        packed += text;
        packed.push_back(L'\0');
    }
    return packed;
}

std::vector<std::wstring> FailedLogonInserts(const std::wstring& logonType, const std::wstring& address) {
    return {L"S-1-0-0",    L"-",          L"-",         L"0x0",         L"S-1-0-0", L"administrator", L"CONTOSO",
            L"0xc000006d", L"%%2313",     L"0xc000006a", logonType,     L"NtLmSsp", L"NTLM",          L"ATTACKER-PC",
            L"-",          L"-",          L"0",         L"0x0",         L"-",       address,          L"51234"};
}

std::wstring Render(HMODULE module, DWORD messageId, const std::vector<std::wstring>& inserts, DWORD extraFlags) {
    std::vector<DWORD_PTR> slots;
    for (const std::wstring& text : inserts) slots.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    LPWSTR text = nullptr;
    DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | extraFlags;
    if (!slots.empty()) flags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
    DWORD length = FormatMessageW(flags, module, messageId, 0, reinterpret_cast<LPWSTR>(&text), 0,
                                  slots.empty() ? nullptr : reinterpret_cast<va_list*>(slots.data()));
    if (length == 0) return L"<error " + std::to_wstring(GetLastError()) + L">";
    std::wstring result(text, length);
    LocalFree(text);
    return result;
}

}  // namespace testsupport
