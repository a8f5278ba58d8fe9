#include "ProcessStart.h"

#include <shellapi.h>

namespace plug {

namespace {

// Saves the current directory and restores it when it goes: the shell start may change it.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper()
    {
        DWORD length = ::GetCurrentDirectoryW(0, nullptr);
        if (length > 0) {
            m_saved.resize(length);
            m_saved.resize(::GetCurrentDirectoryW(length, &m_saved[0]));
        }
    }
    ~CurrentDirectoryKeeper()
    {
        if (!m_saved.empty())
            ::SetCurrentDirectoryW(m_saved.c_str());
    }

private:
    std::wstring m_saved;
};

} // namespace

UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters, int showCommand)
{
    std::wstring folder;
    size_t slash = program.rfind(L'\\');
    if (slash != std::wstring::npos)
        folder = program.substr(0, slash);

    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    start.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    start.nShow = showCommand;
    {
        CurrentDirectoryKeeper keeper;
        if (!::ShellExecuteExW(&start))
            return UniqueHandle();
    }
    return UniqueHandle(start.hProcess);
}

} // namespace plug
