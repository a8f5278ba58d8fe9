#include "KitInstall.h"

#include "EmbeddedFile.h"
#include "FileTools.h"
#include "UninstallEntry.h"

namespace sim {

namespace {

const wchar_t kVtpCode[] = L"{7E4B90C2-1F5D-4A38-96CB-E2A07D5B8F19}";
const wchar_t kNorvoKitCode[] = L"{2D71E8A5-9B06-4F3C-A4E7-C85B1D0F3A62}";
const wchar_t kNorvoKitProgram[] = L"NorvoInternetKit.exe";
const wchar_t kPCSuiteKey[] = L"SOFTWARE\\Norvo Electronics Inc\\Norvo PC Suite III";
const wchar_t kPCSuiteProgram[] = L"Norvo_PCSuiteIII.exe";
const wchar_t kConnectionManagerKey[] = L"SOFTWARE\\K-21C-ConnectionManager";

// Where the type's programs go, below Program Files.
const wchar_t* KitFolder(KitType type)
{
    switch (type) {
    case KitType::ViaThePhone:
        return L"Vodafone\\Via The Phone";
    case KitType::NorvoInternetKit:
        return L"NorvoInternetKit";
    case KitType::PCSuite:
        return L"Norvo Electronics\\Norvo PC Suite III";
    case KitType::ConnectionManager:
        return L"K-21C Connection Manager";
    }
    return L"";
}

const wchar_t* DisplayName(KitType type)
{
    return type == KitType::ViaThePhone ? L"Via The Phone" : L"Norvo Internet Kit";
}

bool PlaceProgram(const std::wstring& path, const KitInstallScript& script, const std::string& model,
                  ChangeSet* changes, std::wstring* failure)
{
    if (WriteVersionedCopy(changes, path, model, script.version.fileVersion))
        return true;
    *failure = L"cannot write " + path;
    return false;
}

bool RegisterUninstallEntry(const KitInstallScript& script, const std::wstring& code, const std::wstring& folder,
                            ChangeSet* changes, std::wstring* failure)
{
    return WriteUninstallEntry({code, script.wow6432Node, DisplayName(script.type), folder, script.version}, changes,
                               failure);
}

bool RegisterUserValue(const wchar_t* key, const wchar_t* name, const std::wstring& value, ChangeSet* changes,
                       std::wstring* failure)
{
    if (changes->SetString(HKEY_CURRENT_USER, key, name, value))
        return true;
    *failure = std::wstring(L"cannot write ") + key;
    return false;
}

} // namespace

bool ParseKitType(const std::wstring& text, KitType* type)
{
    if (text.size() != 1 || text[0] < L'0' || text[0] > L'3')
        return false;
    *type = static_cast<KitType>(text[0] - L'0');
    return true;
}

const wchar_t* DefaultKitProgram(KitType type)
{
    switch (type) {
    case KitType::ViaThePhone:
        return L"ViaThePhone.exe";
    case KitType::NorvoInternetKit:
        return L"InternetKit.exe";
    case KitType::PCSuite:
        return kPCSuiteProgram;
    case KitType::ConnectionManager:
        return L"ConnectionManager.exe";
    }
    return L"";
}

bool InstallKit(const KitInstallScript& script, const std::string& model, ChangeSet* changes, std::wstring* failure)
{
    std::wstring programFiles = ProgramFilesFolder();
    if (programFiles.empty()) {
        *failure = L"no Program Files folder";
        return false;
    }
    std::wstring folder = JoinPath(programFiles, KitFolder(script.type));
    switch (script.type) {
    case KitType::ViaThePhone:
        return PlaceProgram(JoinPath(folder, script.programName), script, model, changes, failure) &&
               RegisterUninstallEntry(script, kVtpCode, folder, changes, failure);
    case KitType::NorvoInternetKit:
        return PlaceProgram(JoinPath(folder, kNorvoKitProgram), script, model, changes, failure) &&
               PlaceProgram(JoinPath(folder, script.programName), script, model, changes, failure) &&
               RegisterUninstallEntry(script, kNorvoKitCode, folder, changes, failure);
    case KitType::PCSuite: {
        std::wstring program = JoinPath(folder, kPCSuiteProgram);
        return PlaceProgram(program, script, model, changes, failure) &&
               RegisterUserValue(kPCSuiteKey, L"InstallPath", program, changes, failure);
    }
    case KitType::ConnectionManager:
        return PlaceProgram(JoinPath(folder, script.programName), script, model, changes, failure) &&
               RegisterUserValue(kConnectionManagerKey, L"CM_Install_path", folder, changes, failure);
    }
    *failure = L"unknown kit type";
    return false;
}

} // namespace sim
