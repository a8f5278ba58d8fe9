// The executables of the device image as Windows itself reads them: each is marked to be run
// from the page file when started from removable media (the CD goes away at the mode change),
// and the checksum in its header is still the one Windows computes for the file (the build sets
// the flag after linking).
#include "common/TestFiles.h"
#include "framework/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <imagehlp.h>

#include <string>
#include <vector>

namespace {

// The .exe and .dll files under folder (with its backslash), any letter case.
std::vector<std::wstring> ExecutablesUnder(const std::wstring& folder)
{
    std::vector<std::wstring> found;
    for (const std::wstring& entry : plugtest::TreeEntries(folder)) {
        std::wstring suffix = entry.size() > 4 ? entry.substr(entry.size() - 4) : L"";
        if (_wcsicmp(suffix.c_str(), L".exe") == 0 || _wcsicmp(suffix.c_str(), L".dll") == 0)
            found.push_back(folder + entry);
    }
    return found;
}

// The COFF characteristics of path as the image helper library reads them; 0 when it cannot.
WORD Characteristics(const std::wstring& path)
{
    plug::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return 0;
    plug::UniqueHandle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return 0;
    void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (!view)
        return 0;
    PIMAGE_NT_HEADERS headers = ::ImageNtHeader(view);
    WORD characteristics = headers ? headers->FileHeader.Characteristics : 0;
    ::UnmapViewOfFile(view);
    return characteristics;
}

} // namespace

TEST(DeviceImage, EveryExecutableRunsFromThePageFileAndKeepsItsChecksum)
{
    std::vector<std::wstring> executables = ExecutablesUnder(std::wstring(PLUGSTART_IMAGE_DIR) + L"\\");
    EXPECT_GE(executables.size(), 5u) << "the program, its library and the three tools at least";
    for (const std::wstring& path : executables) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_TRUE(Characteristics(path) & IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP);
        DWORD inHeader = 0, computed = 0;
        ASSERT_EQ(static_cast<DWORD>(CHECKSUM_SUCCESS),
                  ::MapFileAndCheckSumW(const_cast<wchar_t*>(path.c_str()), &inHeader, &computed));
        EXPECT_EQ(computed, inHeader);
    }
}
