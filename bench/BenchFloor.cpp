// The floor of a CD start with nothing to install: only the work that no program doing that start
// can skip, in the order Plugstart does it, and nothing more. It loads the libraries that
// Plugstart.exe loads (the same imports and the same manifest), reads the language title and the
// configuration keys of the start, takes the single-instance mutex, sends the phone-setting query
// through Devpoke.dll, reads the driver's and the kit's uninstall entries and the kit's file
// version, switches the device to modem mode and starts the kit through the shell with "-aik".
// No C or C++ runtime (cmake: plug_without_runtime); it starts from the CD beside the program,
// whose Devpoke.dll and config.ini it uses. The exit code names the step that failed (0: none).
#include "detect/ProductCodes.h"
#include "devpoke/Devpoke.h"
#include "devpoke/VendorCommands.h"
#include "framework/Handle.h"

#include <windows.h>

#include <commctrl.h>
#include <ras.h>
#include <shellapi.h>
#include <shlobj.h>

extern "C" __declspec(dllimport) int __cdecl _wcsicmp(const wchar_t*, const wchar_t*);

namespace {

constexpr DWORD kPathLength = MAX_PATH + 1;
constexpr DWORD kValueLength = 260;

enum FloorFailure {
    kNone,
    kNoFolder,
    kNoLanguageTitle,
    kNoConfiguration,
    kQueryFailed,
    kNoUninstallEntry,
    kNoKitVersion,
    kModeChangeFailed,
    kLaunchFailed,
};

// Keeps a function of each library that Plugstart.exe imports and this program does not call
// otherwise, so that the loader loads the same libraries for both.
void* volatile g_importedOnly[5];

void ImportTheSameLibraries()
{
    g_importedOnly[0] = reinterpret_cast<void*>(&::InitCommonControlsEx); // comctl32
    g_importedOnly[1] = reinterpret_cast<void*>(&::GetStockObject);       // gdi32
    g_importedOnly[2] = reinterpret_cast<void*>(&::MessageBoxW);          // user32
    g_importedOnly[3] = reinterpret_cast<void*>(&::RasEnumDevicesW);      // rasapi32
    g_importedOnly[4] = reinterpret_cast<void*>(&::_wcsicmp);             // msvcrt
}

// Appends text to path (kPathLength characters); false when it does not fit.
bool Append(wchar_t* path, const wchar_t* text)
{
    if (::lstrlenW(path) + ::lstrlenW(text) >= static_cast<int>(kPathLength))
        return false;
    ::lstrcatW(path, text);
    return true;
}

// target = first + second, within kPathLength characters.
bool Join(wchar_t* target, const wchar_t* first, const wchar_t* second)
{
    target[0] = L'\0';
    return Append(target, first) && Append(target, second);
}

// The program's folder with its trailing backslash.
bool ProgramFolder(wchar_t* folder)
{
    DWORD length = ::GetModuleFileNameW(nullptr, folder, kPathLength);
    if (length == 0 || length >= kPathLength)
        return false;
    while (length > 0 && folder[length - 1] != L'\\')
        --length;
    folder[length] = L'\0';
    return length > 0;
}

// The configuration keys that a CD start with nothing to install reads; the kit's program name
// goes to kitProgram.
bool ReadConfiguration(const wchar_t* folder, wchar_t* kitProgram)
{
    static const wchar_t* const kKeys[][2] = {
        {L"ITK", L"itk_type"},          {L"DRIVER", L"cdrom_autoset"}, {L"INSTALL", L"install_type"},
        {L"DRIVER", L"driver_type"},    {L"DRIVER", L"driver_name"},   {L"ITK", L"itk_setup"},
        {L"DRIVER", L"driver_version"}, {L"ITK", L"itk_version"},
    };
    wchar_t config[kPathLength];
    if (!Join(config, folder, L"config.ini"))
        return false;
    wchar_t value[kValueLength];
    for (const auto& key : kKeys)
        ::GetPrivateProfileStringW(key[0], key[1], L"", value, kValueLength, config);
    return ::GetPrivateProfileStringW(L"ITK", L"itk_run_file", L"", kitProgram, kValueLength, config) > 0;
}

// Opens the uninstall entry of productCode; reads valueName of it when one is given.
bool ReadUninstallEntry(const wchar_t* productCode, const wchar_t* valueName)
{
    wchar_t key[kPathLength];
    if (!Join(key, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", productCode))
        return false;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    plug::UniqueHKey entry(opened);
    if (!valueName)
        return true;
    wchar_t value[kValueLength];
    DWORD size = sizeof(value);
    return ::RegQueryValueExW(entry.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
           ERROR_SUCCESS;
}

// The fixed file version of path.
bool ReadFileVersion(const wchar_t* path)
{
    static BYTE block[16384];
    DWORD unused = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &unused);
    if (size == 0 || size > sizeof(block) || !::GetFileVersionInfoW(path, 0, size, block))
        return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    return ::VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed;
}

FloorFailure RunFloor()
{
    ImportTheSameLibraries();
    wchar_t folder[kPathLength];
    if (!ProgramFolder(folder))
        return kNoFolder;
    wchar_t languageFile[kPathLength];
    wchar_t title[kValueLength];
    if (!Join(languageFile, folder, L"tools\\lang_AutoRun_eng.opt") ||
        ::GetPrivateProfileStringW(L"STRING", L"STR_STRING_TITLE", L"", title, kValueLength, languageFile) == 0)
        return kNoLanguageTitle;
    plug::UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, L"Norvo Plugstart Program"));

    FloorFailure failure = kNone;
    wchar_t kitProgram[kValueLength];
    unsigned char reply[devpoke::kPhoneSettingLength] = {};
    unsigned char noAnswer[1] = {};
    wchar_t programFiles[kPathLength];
    wchar_t kitFolder[kPathLength];
    wchar_t kitFile[kPathLength];
    if (!ReadConfiguration(folder, kitProgram))
        failure = kNoConfiguration;
    else if (Devpoke(folder[0], devpoke::kPhoneSettingCommand, devpoke::kPhoneSettingParameter, reply,
                     devpoke::kPhoneSettingLength) < 0)
        failure = kQueryFailed;
    else if (!ReadUninstallEntry(plug::detect::kQctDriversCode, L"DisplayVersion") ||
             !ReadUninstallEntry(plug::detect::kNorvoKitCode, nullptr))
        failure = kNoUninstallEntry;
    else if (!::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE) ||
             !Join(kitFolder, programFiles, L"\\") || !Append(kitFolder, plug::detect::kNorvoKitFolderName) ||
             !Append(kitFolder, L"\\") || !Join(kitFile, kitFolder, plug::detect::kNorvoKitProgram) ||
             !ReadFileVersion(kitFile))
        failure = kNoKitVersion;
    else if (Devpoke(folder[0], devpoke::kModeCommand, devpoke::kModeFirstForm, noAnswer, 0) < 0)
        failure = kModeChangeFailed;
    else if (!Join(kitFile, kitFolder, kitProgram) ||
             reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", kitFile, L"-aik", nullptr, SW_SHOWNORMAL)) <=
                 32)
        failure = kLaunchFailed;
    return failure;
}

} // namespace

extern "C" void __cdecl FloorEntry() { ::ExitProcess(static_cast<UINT>(RunFloor())); }
