// Test controls of message boxes: what was shown, and what the user answers.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

struct MessageBoxRecord {
    HWND owner;
    std::wstring text;     // MessageBoxA's texts widened byte for character
    std::wstring caption;
    UINT type;
    bool narrow;           // shown with MessageBoxA
};
std::vector<MessageBoxRecord> MessageBoxes();

// Answers of the next boxes, in order; once they are used up every box answers IDOK.
void QueueMessageBoxAnswer(int answer);

// Called while each box is shown (before it answers), on the showing thread.
void OnMessageBox(std::function<void(const MessageBoxRecord&)> handler);

}  // namespace winsim
