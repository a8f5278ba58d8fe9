// HostileCopyData.exe WINDOW-HEX: sends a running instance's main window WM_COPYDATA messages
// that no second instance would send (wrong sizes, a payload of garbage, texts without their
// ends, requests naming windows that do not exist, a flood), and last one same-device notice
// that asks for the already-running message. Prints one line per message: what it sent and
// whether the window was still there afterwards. Exit code: 0 when the window outlived every
// message, 1 when it went, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr ULONG_PTR kSameDeviceNotice = 0x465;

struct Message {
    const char* what;
    ULONG_PTR dwData;
    std::vector<unsigned char> payload; // empty: lpData NULL
    DWORD cbData;                       // for a payload, its size
    WPARAM wParam;
};

std::vector<Message> HostileMessages(HWND self)
{
    std::vector<Message> messages;
    messages.push_back({"one byte where a profile is expected", 0, {0x41}, 1, 0});
    messages.push_back({"2099 bytes: one short of a profile", 0, std::vector<unsigned char>(2099, 0x42), 2099, 0});
    messages.push_back({"2101 bytes: one more than a profile", 0, std::vector<unsigned char>(2101, 0x43), 2101, 0});
    messages.push_back({"a profile-sized payload of 0xFF: no text ends, types -1", 0,
                        std::vector<unsigned char>(2100, 0xFF), 2100, 0});
    messages.push_back(
        {"a profile-sized payload with a foreign dwData", 0x12345678, std::vector<unsigned char>(2100, 0x00), 2100, 0});
    messages.push_back({"1 MB of text", 0, std::vector<unsigned char>(1 << 20, 0x44), 1 << 20, 0});
    messages.push_back({"a profile request naming no window", 0, {}, 0, 0});
    messages.push_back(
        {"a profile request naming a window that does not exist", 0, {}, 0, static_cast<WPARAM>(0x7FFF0001)});
    messages.push_back({"a profile request naming this sender", 0, {}, 0, reinterpret_cast<WPARAM>(self)});
    messages.push_back({"a same-device notice of size 7", kSameDeviceNotice, {}, 0, 0});
    for (int i = 0; i < 200; ++i)
        messages.push_back({"flood: a request naming no window", 0, {}, 0, 0});
    messages.push_back({"a same-device notice that asks for the running message",
                        kSameDeviceNotice,
                        {},
                        1,
                        reinterpret_cast<WPARAM>(self)});
    return messages;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::printf("usage: HostileCopyData WINDOW-HEX\n");
        return 2;
    }
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 16)));
    if (!::IsWindow(target)) {
        std::printf("no window %p\n", static_cast<void*>(target));
        return 2;
    }
    // A window of our own, for the requests that name the sender.
    HWND self = ::CreateWindowExW(0, L"STATIC", L"hostile sender", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    int exitCode = 0;
    for (Message& message : HostileMessages(self)) {
        COPYDATASTRUCT data = {message.dwData, message.cbData,
                               message.payload.empty() ? nullptr : message.payload.data()};
        DWORD_PTR result = 0;
        LRESULT sent = ::SendMessageTimeoutW(target, WM_COPYDATA, message.wParam, reinterpret_cast<LPARAM>(&data),
                                             SMTO_ABORTIFHUNG, 5000, &result);
        bool alive = ::IsWindow(target) != FALSE;
        std::printf("sent=%d\talive=%d\t%s\n", sent ? 1 : 0, alive ? 1 : 0, message.what);
        if (!alive) {
            exitCode = 1;
            break;
        }
    }
    std::fflush(stdout);
    if (self)
        ::DestroyWindow(self);
    return exitCode;
}
