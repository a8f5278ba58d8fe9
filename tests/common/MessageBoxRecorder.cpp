#include "MessageBoxRecorder.h"

#include "framework/MessageBoxSeam.h"

#include <mutex>

namespace plugtest {

namespace {
std::mutex g_lock; // boxes come from worker threads too
std::vector<RecordedBox> g_boxes;
std::deque<int> g_answers;
plug::MessageBoxHandler g_previous = nullptr;
} // namespace

MessageBoxRecorder::MessageBoxRecorder()
{
    Clear();
    g_previous = plug::SetMessageBoxHandler(&MessageBoxRecorder::Handler);
}

MessageBoxRecorder::~MessageBoxRecorder() { plug::SetMessageBoxHandler(g_previous); }

int MessageBoxRecorder::Handler(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_boxes.push_back(RecordedBox{owner, text, caption, style, ::GetCurrentThreadId()});
    if (g_answers.empty())
        return IDOK;
    int answer = g_answers.front();
    g_answers.pop_front();
    return answer;
}

void MessageBoxRecorder::QueueAnswer(int answer)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_answers.push_back(answer);
}

std::vector<RecordedBox> MessageBoxRecorder::Boxes() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_boxes;
}

size_t MessageBoxRecorder::Count() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_boxes.size();
}

void MessageBoxRecorder::Clear()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_boxes.clear();
    g_answers.clear();
}

} // namespace plugtest
