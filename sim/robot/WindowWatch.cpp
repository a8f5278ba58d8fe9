#include "WindowWatch.h"

#include "ProcessWatch.h"
#include "RobotEvents.h"

#include <cstdio>
#include <vector>

namespace robot {

namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr int kGuideOk = 1005, kGuideClose = 1006, kGuideInstallCd = 1007, kGuideDownload = 1008;
constexpr DWORD kRepressAfterMs = 3000; // a box still there after this is answered again
constexpr int kMaxPresses = 5;

std::wstring TextOf(HWND window)
{
    wchar_t buffer[4096] = {};
    ::GetWindowTextW(window, buffer, static_cast<int>(sizeof(buffer) / sizeof(buffer[0])));
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t buffer[256] = {};
    ::GetClassNameW(window, buffer, static_cast<int>(sizeof(buffer) / sizeof(buffer[0])));
    return buffer;
}

std::wstring HandleText(HWND window)
{
    wchar_t buffer[32] = {};
    std::swprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), L"%llx",
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    return buffer;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> visible;
    DWORD self = ::GetCurrentProcessId();
    for (HWND window : windows) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid != self && ::IsWindowVisible(window))
            visible.push_back(window);
    }
    return visible;
}

struct Button {
    int id;
    const wchar_t* name;
};
const Button kBoxButtons[] = {{IDOK, L"OK"},         {IDCANCEL, L"Cancel"}, {IDABORT, L"Abort"}, {IDRETRY, L"Retry"},
                              {IDIGNORE, L"Ignore"}, {IDYES, L"Yes"},       {IDNO, L"No"}};

std::wstring ButtonsOf(HWND box)
{
    std::wstring names;
    for (const Button& button : kBoxButtons) {
        if (::GetDlgItem(box, button.id))
            names += (names.empty() ? L"" : L",") + std::wstring(button.name);
    }
    return names;
}

// The button that carries the answer on this box, and a note when the box has no such button.
int ButtonFor(HWND box, Answer answer, std::wstring* note)
{
    const int okLike[] = {IDOK, IDYES, IDRETRY, IDIGNORE, IDCANCEL, IDNO, IDABORT};
    const int cancelLike[] = {IDCANCEL, IDNO, IDABORT, IDOK, IDYES, IDRETRY, IDIGNORE};
    const int* order = answer == Answer::Ok ? okLike : cancelLike;
    for (int i = 0; i < 7; ++i) {
        if (::GetDlgItem(box, order[i])) {
            if (i > 1)
                *note = L"the box has no such button";
            return order[i];
        }
    }
    *note = L"the box has no button";
    return 0;
}

const wchar_t* ButtonName(int id)
{
    for (const Button& button : kBoxButtons) {
        if (button.id == id)
            return button.name;
    }
    return id == kGuideOk ? L"OK" : id == kGuideClose ? L"X" : L"?";
}

const wchar_t* KindName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::MessageBox:
        return L"messagebox";
    case WindowKind::Guide:
        return L"guide";
    default:
        return L"window";
    }
}

} // namespace

WindowKind KindOf(HWND window)
{
    if (ClassOf(window) != L"#32770")
        return WindowKind::Window;
    HWND text = ::GetDlgItem(window, kMessageTextId);
    if (text && ClassOf(text) == L"Static")
        return WindowKind::MessageBox;
    if (::GetDlgItem(window, kGuideOk) && ::GetDlgItem(window, kGuideClose) && ::GetDlgItem(window, kGuideInstallCd) &&
        ::GetDlgItem(window, kGuideDownload) && !::GetDlgItem(window, IDCANCEL))
        return WindowKind::Guide;
    return WindowKind::Window;
}

WindowWatch::WindowWatch(AnswerPolicy policy, DWORD ackWaitMs, const RunControl& control)
    : m_policy(std::move(policy)), m_ackWaitMs(ackWaitMs), m_control(control)
{
}

void WindowWatch::Poll()
{
    std::vector<HWND> windows = VisibleTopLevelWindows();
    for (HWND window : windows) {
        auto found = m_seen.find(window);
        if (found == m_seen.end()) {
            Seen& seen = m_seen[window];
            seen.title = TextOf(window);
            seen.kind = KindOf(window);
            Appeared(window, seen);
            found = m_seen.find(window);
        } else {
            std::wstring title = TextOf(window);
            if (title != found->second.title) {
                found->second.title = title;
                WriteEvent(L"title", {{L"hwnd", HandleText(window)}, {L"title", title}});
            }
        }
        Seen& seen = found->second;
        bool answerable = seen.kind != WindowKind::Window;
        if (answerable &&
            (!seen.answered || (::GetTickCount() - seen.answeredAt > kRepressAfterMs && seen.presses < kMaxPresses)))
            Answer(window, seen);
    }
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        if (!::IsWindow(it->first) || !::IsWindowVisible(it->first)) {
            WriteEvent(L"window-gone", {{L"hwnd", HandleText(it->first)}, {L"title", it->second.title}});
            it = m_seen.erase(it);
        } else {
            ++it;
        }
    }
}

void WindowWatch::Appeared(HWND window, Seen& seen)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    HWND owner = ::GetWindow(window, GW_OWNER);
    RECT bounds = {};
    ::GetWindowRect(window, &bounds);
    EventFields fields = {{L"hwnd", HandleText(window)},
                          {L"pid", std::to_wstring(pid)},
                          {L"process", ProcessName(pid)},
                          {L"kind", KindName(seen.kind)},
                          {L"class", ClassOf(window)},
                          {L"title", seen.title},
                          {L"owner", owner ? TextOf(owner) : std::wstring()},
                          {L"rect", std::to_wstring(bounds.left) + L"," + std::to_wstring(bounds.top) + L"," +
                                        std::to_wstring(bounds.right) + L"," + std::to_wstring(bounds.bottom)}};
    if (seen.kind == WindowKind::MessageBox) {
        fields.push_back({L"number", std::to_wstring(++m_boxes)});
        fields.push_back({L"text", TextOf(::GetDlgItem(window, kMessageTextId))});
        fields.push_back({L"buttons", ButtonsOf(window)});
    } else if (seen.kind == WindowKind::Guide) {
        fields.push_back({L"number", std::to_wstring(++m_boxes)});
        fields.push_back({L"buttons", L"OK,X"});
    }
    WriteEvent(L"window", fields);
    if (seen.kind != WindowKind::Window)
        WaitForAck(m_boxes);
}

void WindowWatch::WaitForAck(unsigned long number) const
{
    for (DWORD waited = 0; waited < m_ackWaitMs && !m_control.StopRequested(); waited += 20) {
        if (m_control.Acknowledged(number))
            return;
        ::Sleep(20);
    }
}

void WindowWatch::Answer(HWND window, Seen& seen)
{
    std::wstring text = seen.kind == WindowKind::MessageBox ? TextOf(::GetDlgItem(window, kMessageTextId)) : L"";
    AnswerChoice choice = ChooseAnswer(m_policy, seen.title, text);
    std::wstring note;
    int button = seen.kind == WindowKind::Guide ? (choice.answer == Answer::Ok ? kGuideOk : kGuideClose)
                                                : ButtonFor(window, choice.answer, &note);
    seen.answered = true;
    seen.answeredAt = ::GetTickCount();
    ++seen.presses;
    WriteEvent(L"answer", {{L"hwnd", HandleText(window)},
                           {L"answer", AnswerName(choice.answer)},
                           {L"button", button ? ButtonName(button) : L""},
                           {L"reason", choice.reason},
                           {L"note", note},
                           {L"press", std::to_wstring(seen.presses)}});
    if (button)
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, button)));
}

} // namespace robot
