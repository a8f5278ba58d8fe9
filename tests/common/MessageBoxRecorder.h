// Records every message box the code under test shows and answers it at once.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace plugtest {

struct RecordedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
    DWORD threadId;
};

// While it lives, message boxes are recorded instead of shown. Answers are given in the order
// queued; when none is queued the box is answered IDOK. One recorder at a time.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void QueueAnswer(int answer);
    std::vector<RecordedBox> Boxes() const;
    size_t Count() const;
    void Clear();

private:
    static int Handler(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);
};

} // namespace plugtest
