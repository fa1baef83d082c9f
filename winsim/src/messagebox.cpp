// MessageBoxW and MessageBoxA: recorded, and answered from a script.
#include <winsim/control.h>

#include <deque>
#include <mutex>

#include "internal.h"

namespace {

struct MessageBoxState {
    std::mutex mutex;
    std::vector<winsim::MessageBoxRecord> shown;
    std::deque<int> answers;
    std::function<void(const winsim::MessageBoxRecord&)> handler;
};

MessageBoxState& Boxes() {
    static MessageBoxState& state = *new MessageBoxState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.shown.clear();
                              state.answers.clear();
                              state.handler = nullptr;
                          }),
                          true);
    (void)hooked;
    return state;
}

int Show(const winsim::MessageBoxRecord& record) {
    MessageBoxState& boxes = Boxes();
    std::function<void(const winsim::MessageBoxRecord&)> handler;
    int answer = IDOK;
    {
        std::lock_guard<std::mutex> lock(boxes.mutex);
        boxes.shown.push_back(record);
        handler = boxes.handler;
        if (!boxes.answers.empty()) {
            answer = boxes.answers.front();
            boxes.answers.pop_front();
        }
    }
    if (handler) handler(record);
    return answer;
}

}  // namespace

extern "C" {

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("MessageBoxW", &code)) {
        SetLastError(code);
        return 0;
    }
    return Show({owner, text ? text : L"", caption ? caption : L"Error", type, false});
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("MessageBoxA", &code)) {
        SetLastError(code);
        return 0;
    }
    return Show({owner, winsim::detail::Widen(text ? text : ""), winsim::detail::Widen(caption ? caption : "Error"),
                 type, true});
}

}  // extern "C"

namespace winsim {

std::vector<MessageBoxRecord> MessageBoxes() {
    std::lock_guard<std::mutex> lock(Boxes().mutex);
    return Boxes().shown;
}

void QueueMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> lock(Boxes().mutex);
    Boxes().answers.push_back(answer);
}

void OnMessageBox(std::function<void(const MessageBoxRecord&)> handler) {
    std::lock_guard<std::mutex> lock(Boxes().mutex);
    Boxes().handler = std::move(handler);
}

}  // namespace winsim
