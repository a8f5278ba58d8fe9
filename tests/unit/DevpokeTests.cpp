// The real Devpoke.dll under Wine. Its calls to CreateFileA and DeviceIoControl can be routed to
// a fake device by patching the library's import table, which shows the exact request it hands
// to Windows; without the patch it meets what Wine answers for real drives.
#include "common/DevpokeExpectation.h"
#include "config/ModulePath.h"
#include "framework/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using plugtest::ExpectedDevpokeRequest;

namespace {

using DevpokeFunction = int(__cdecl*)(int, int, int, unsigned char*, int);

// Replaces, in module's import table, every entry that points at target by replacement.
// Returns the number of entries replaced.
int PatchImport(HMODULE module, void* target, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int replaced = 0;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         directory.VirtualAddress && import->Name; ++import) {
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk); thunk->u1.Function;
             ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) != target)
                continue;
            DWORD previous = 0;
            ::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &previous);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), previous, &previous);
            ++replaced;
        }
    }
    return replaced;
}

void* Kernel32Function(const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
}

// What the fake Windows saw and how it answers.
struct FakeWindows {
    std::vector<std::string> openedPaths;
    DWORD openAccess = 0, openShare = 0, openDisposition = 0, openFlags = 0;
    DWORD openError = 0;           // nonzero: the open fails with this error
    HANDLE deviceHandle = nullptr; // handed out by the open
    DWORD controlCode = 0;
    std::vector<uint8_t> request; // the input buffer as Devpoke passed it
    DWORD inputLength = 0, outputLength = 0;
    bool sameBuffer = false; // input and output are one buffer
    bool requestSucceeds = true;
    std::vector<uint8_t> deviceAnswer; // written to the data area
    DWORD returnedBytes = 0;
    std::atomic<int> threadsInside{0}; // for the concurrency test
    bool waitForSecondThread = false;
};
FakeWindows* g_fake = nullptr;

HANDLE WINAPI FakeCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                              DWORD flags, HANDLE)
{
    g_fake->openedPaths.push_back(path);
    g_fake->openAccess = access;
    g_fake->openShare = share;
    g_fake->openDisposition = disposition;
    g_fake->openFlags = flags;
    if (g_fake->openError) {
        ::SetLastError(g_fake->openError);
        return INVALID_HANDLE_VALUE;
    }
    g_fake->deviceHandle = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); // closed by Devpoke
    return g_fake->deviceHandle;
}

BOOL WINAPI FakeDeviceIoControl(HANDLE, DWORD code, LPVOID input, DWORD inputLength, LPVOID output, DWORD outputLength,
                                LPDWORD returned, LPOVERLAPPED)
{
    if (g_fake->waitForSecondThread) {
        ++g_fake->threadsInside;
        for (int i = 0; i < 200 && g_fake->threadsInside < 2; ++i)
            ::Sleep(10);
        // Each call reports its own command byte back as the answer.
        auto* bytes = static_cast<BYTE*>(output);
        bytes[80] = bytes[29];
        *returned = 81;
        return TRUE;
    }
    g_fake->controlCode = code;
    g_fake->request.assign(static_cast<BYTE*>(input), static_cast<BYTE*>(input) + 1104);
    g_fake->inputLength = inputLength;
    g_fake->outputLength = outputLength;
    g_fake->sameBuffer = (input == output);
    if (!g_fake->requestSucceeds) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    std::memcpy(static_cast<BYTE*>(output) + 80, g_fake->deviceAnswer.data(), g_fake->deviceAnswer.size());
    *returned = g_fake->returnedBytes;
    return TRUE;
}

class RealDevpoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The test folder's own Devpoke.dll is the simulated device; the real one lies in real\.
        m_library.Attach(::LoadLibraryW((plug::GetModuleDirectory() + L"real\\Devpoke.dll").c_str()));
        ASSERT_TRUE(m_library.IsValid());
        m_devpoke = reinterpret_cast<DevpokeFunction>(
            reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "Devpoke")));
        ASSERT_NE(nullptr, m_devpoke);
    }
    void TearDown() override
    {
        if (m_patched) {
            PatchImport(m_library.Get(), reinterpret_cast<void*>(&FakeCreateFileA), Kernel32Function("CreateFileA"));
            PatchImport(m_library.Get(), reinterpret_cast<void*>(&FakeDeviceIoControl),
                        Kernel32Function("DeviceIoControl"));
        }
        g_fake = nullptr;
    }

    // Routes the library's device access to m_fake.
    void UseFakeWindows()
    {
        g_fake = &m_fake;
        ASSERT_EQ(1, PatchImport(m_library.Get(), Kernel32Function("CreateFileA"),
                                 reinterpret_cast<void*>(&FakeCreateFileA)));
        ASSERT_EQ(1, PatchImport(m_library.Get(), Kernel32Function("DeviceIoControl"),
                                 reinterpret_cast<void*>(&FakeDeviceIoControl)));
        m_patched = true;
    }

    int Send(int letter, int first, int second, unsigned char* answer, int length)
    {
        return m_devpoke(letter, first, second, answer, length);
    }

    // A letter that names no drive in this prefix.
    static wchar_t MissingDrive()
    {
        DWORD drives = ::GetLogicalDrives();
        for (int i = 25; i >= 0; --i) {
            if (!(drives & (1u << i)))
                return static_cast<wchar_t>(L'A' + i);
        }
        return 0;
    }

    plug::UniqueModule m_library;
    DevpokeFunction m_devpoke = nullptr;
    FakeWindows m_fake;
    bool m_patched = false;
};

} // namespace

TEST_F(RealDevpoke, PhoneSettingQueryHandsWindowsTheRequestAndCopiesTheAnswer)
{
    UseFakeWindows();
    m_fake.deviceAnswer = {0x4C, 0x07, 0xD0};
    m_fake.returnedBytes = 83;
    unsigned char answer[4] = {0, 0, 0, 0x55};
    EXPECT_EQ(3, Send('E', 0x02, 0x20, answer, 3));

    ASSERT_EQ(1u, m_fake.openedPaths.size());
    EXPECT_EQ("\\\\.\\E:", m_fake.openedPaths[0]);
    EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE), m_fake.openAccess);
    EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), m_fake.openShare);
    EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), m_fake.openDisposition);
    EXPECT_EQ(0u, m_fake.openFlags);
    EXPECT_EQ(0x4D004u, m_fake.controlCode);
    EXPECT_EQ(44u, m_fake.inputLength);
    EXPECT_EQ(83u, m_fake.outputLength);
    EXPECT_TRUE(m_fake.sameBuffer);
    EXPECT_EQ(ExpectedDevpokeRequest(0x02, 0x20, 3), m_fake.request);
    EXPECT_EQ(0x4C, answer[0]);
    EXPECT_EQ(0x07, answer[1]);
    EXPECT_EQ(0xD0, answer[2]);
    EXPECT_EQ(0x55, answer[3]);
    EXPECT_FALSE(::GetHandleInformation(m_fake.deviceHandle, nullptr)) << "the drive handle stays open";
}

TEST_F(RealDevpoke, ModeChangeFormsAndTheirResults)
{
    UseFakeWindows();
    unsigned char answer[1] = {0};
    m_fake.returnedBytes = 44; // only the header comes back
    EXPECT_EQ(0, Send('e', 0x01, 0x01, answer, 0));
    EXPECT_EQ("\\\\.\\e:", m_fake.openedPaths.back()); // the letter keeps its case
    EXPECT_EQ(80u, m_fake.outputLength);
    EXPECT_EQ(ExpectedDevpokeRequest(0x01, 0x01, 0), m_fake.request);

    m_fake.returnedBytes = 81;
    m_fake.deviceAnswer = {0x7E};
    EXPECT_EQ(1, Send('E', 0x01, 0x81, answer, 1));
    EXPECT_EQ(ExpectedDevpokeRequest(0x01, 0x81, 1), m_fake.request);
    EXPECT_EQ(0x7E, answer[0]);
}

TEST_F(RealDevpoke, OpenAndRequestFailuresGiveTheirCodes)
{
    UseFakeWindows();
    unsigned char answer[3] = {};
    m_fake.openError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(-20, Send('E', 0x02, 0x20, answer, 3));
    m_fake.openError = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(-2, Send('E', 0x02, 0x20, answer, 3));
    m_fake.openError = ERROR_SHARING_VIOLATION;
    EXPECT_EQ(-2, Send('E', 0x02, 0x20, answer, 3));

    m_fake.openError = 0;
    m_fake.requestSucceeds = false;
    EXPECT_EQ(-3, Send('E', 0x02, 0x20, answer, 3));
    EXPECT_FALSE(::GetHandleInformation(m_fake.deviceHandle, nullptr)) << "the drive handle stays open";
}

TEST_F(RealDevpoke, NonLettersAndOversizedLengthsAreRefusedWithoutOpening)
{
    UseFakeWindows();
    std::vector<unsigned char> answer(2048);
    const int notLetters[] = {'0', '7', '.', ':', '\\', '@', '[', ' ', 0, 0x100 + '1'};
    for (int letter : notLetters)
        EXPECT_EQ(-1, Send(letter, 0x02, 0x20, answer.data(), 3)) << letter;
    // The data area holds 1024 bytes; more (or a negative length) would let Windows write past it.
    EXPECT_EQ(-3, Send('E', 0x02, 0x20, answer.data(), 1025));
    EXPECT_EQ(-3, Send('E', 0x02, 0x20, answer.data(), -1));
    EXPECT_EQ(-3, Send('E', 0x02, 0x20, nullptr, 3));
    EXPECT_TRUE(m_fake.openedPaths.empty());
}

// The request holds 1,024 bytes of answer: that length is asked for and taken whole, and one
// byte more is refused before the drive is opened.
TEST_F(RealDevpoke, TheLargestAnswerOf1024BytesIsTakenAndOneByteMoreIsRefused)
{
    UseFakeWindows();
    m_fake.deviceAnswer.resize(1024);
    for (size_t i = 0; i < m_fake.deviceAnswer.size(); ++i)
        m_fake.deviceAnswer[i] = static_cast<uint8_t>(i * 7 + 1);
    m_fake.returnedBytes = 80 + 1024;
    std::vector<unsigned char> answer(1025, 0xEE);
    EXPECT_EQ(1024, Send('E', 0x02, 0x20, answer.data(), 1024));
    EXPECT_EQ(1104u, m_fake.outputLength);
    EXPECT_EQ(ExpectedDevpokeRequest(0x02, 0x20, 1024), m_fake.request);
    EXPECT_TRUE(std::equal(m_fake.deviceAnswer.begin(), m_fake.deviceAnswer.end(), answer.begin()));
    EXPECT_EQ(0xEE, answer[1024]) << "written past the length asked for";

    m_fake.openedPaths.clear();
    EXPECT_EQ(-3, Send('E', 0x02, 0x20, answer.data(), 1025));
    EXPECT_TRUE(m_fake.openedPaths.empty());
}

// Each call builds its own request: two threads inside Windows at the same time each get the
// answer to their own command.
TEST_F(RealDevpoke, TwoThreadsAtOnceKeepTheirOwnRequests)
{
    UseFakeWindows();
    m_fake.waitForSecondThread = true;
    unsigned char first[1] = {0};
    unsigned char second[1] = {0};
    int firstResult = 0;
    std::thread other([&] { firstResult = Send('E', 0x11, 0x20, first, 1); });
    int secondResult = Send('F', 0x22, 0x20, second, 1);
    other.join();
    EXPECT_EQ(2, m_fake.threadsInside.load());
    EXPECT_EQ(1, firstResult);
    EXPECT_EQ(1, secondResult);
    EXPECT_EQ(0x11, first[0]);
    EXPECT_EQ(0x22, second[0]);
}

// Under Wine a drive that does not exist does not open (-2). Wine opens "\\.\R:" of a drive
// that is a folder, but the pass-through request fails (-3), for the CD-ROM drives as for the
// fixed ones. (A 64-bit test build also sends the 32-bit request layout, which a 64-bit system
// refuses as well; either way nothing answers like a device.)
TEST_F(RealDevpoke, UnderWineMissingDrivesDoNotOpenAndExistingOnesHaveNoScsiPort)
{
    wchar_t missing = MissingDrive();
    ASSERT_NE(0, missing);
    unsigned char none[3] = {};
    EXPECT_EQ(-2, Send(missing, 0x02, 0x20, none, 3));
    EXPECT_EQ(-2, Send(missing + (L'a' - L'A'), 0x01, 0x01, none, 0));
    for (wchar_t drive : {L'R', L'S', L'C'}) {
        unsigned char answer[3] = {0x11, 0x22, 0x33};
        EXPECT_EQ(-3, Send(drive, 0x02, 0x20, answer, 3)) << static_cast<char>(drive);
        EXPECT_EQ(0x11, answer[0]);
        EXPECT_EQ(-3, Send(drive, 0x01, 0x01, answer, 0)) << static_cast<char>(drive);
    }
}
