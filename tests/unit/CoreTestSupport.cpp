#include "CoreTestSupport.h"

#include "common/StandIns.h"
#include "config/ConfigFile.h"

namespace plugtest {

namespace {
const wchar_t kTitle[] = L"Test Installer";
} // namespace

std::map<std::wstring, std::wstring> KeyLanguage()
{
    std::map<std::wstring, std::wstring> values;
    values[L"STR_STRING_TITLE"] = kTitle;
    for (const wchar_t* key :
         {L"STR_STRING_ERROR_CANNOT_FIND_SCSIDLL", L"STR_STRING_NON_ADMIN_NOTI", L"STR_STRING_DRV_NOT_INSTALL_NOTIFY",
          L"STR_STRING_PCSUITE_NOT_INSTALL_CM", L"STR_STRING_CANNOT_START_ITK",
          L"STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY", L"STR_STRING_ERROR_ITK_FILENAME_EMPTY",
          L"STR_STRING_ERROR_CANNOT_FIND_CONFIG", L"STR_STRING_APP_INIT_FAILED_000"})
        values[key] = key;
    for (int row = 0; row <= 6; ++row) {
        for (int column = 0; column <= 1; ++column) {
            std::wstring key = L"STR_STRING_ERROR_SCSI_" + std::to_wstring(row) + L"_" + std::to_wstring(column);
            values[key] = key;
        }
    }
    for (const wchar_t* key : {L"STR_STRING_PCSUITE_NOT_INSTALL", L"STR_STRING_NOT_FOUND_PCSUITE"})
        values[key] = std::wstring(key) + L" (Norvo PC Suite)";
    return values;
}

CoreTest::CoreTest()
{
    plug::config_detail::ResetMissingConfigMessage();
    ClaimWhatInstallersMayMake(m_install.registry, m_install.files);
    m_window = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    m_host.owner = m_window;
    m_run.m_bVistaOS = FALSE;
    StartFromPc(L"R");
    m_sim.SetState(L'R', sim::DeviceState());
    WriteConfig({});
}

CoreTest::~CoreTest()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

void CoreTest::WriteConfig(const ConfigValues& values)
{
    std::wstring text;
    for (const auto& section : values)
        text += ProfileText(section.first, section.second);
    if (text.empty())
        text = L"[INSTALL]\n";
    WriteUtf16File(m_config.Path(), text);
}

void CoreTest::StartFromPc(const std::wstring& letter)
{
    m_run.m_strArgument = L"-l " + letter;
    m_run.m_strDriveLetter = letter;
}

void CoreTest::StartFromCd()
{
    m_run.m_strArgument.clear();
    m_run.m_strDriveLetter.clear();
}

void CoreTest::DenyUsers()
{
    sim::DeviceState denied;
    denied.denyDirect = true;
    m_sim.SetState(L'R', denied);
}

std::vector<std::wstring> CoreTest::Boxes() const
{
    std::vector<std::wstring> boxes;
    for (const RecordedBox& box : m_boxes.Boxes()) {
        std::wstring text = box.text;
        if (box.owner != m_window)
            text += box.owner ? L" [owner]" : L" [no owner]";
        if (box.caption != kTitle)
            text += L" [caption]";
        if (box.style != (MB_ICONEXCLAMATION | MB_OK))
            text += L" [style]";
        boxes.push_back(text);
    }
    return boxes;
}

std::vector<std::wstring> CoreTest::DeviceCommands() const
{
    std::vector<std::wstring> commands;
    for (const SimCommand& command : m_sim.Commands())
        commands.push_back(std::wstring(1, command.drive) + L" " + command.cdb);
    return commands;
}

bool CoreTest::ModeChanged() const { return m_sim.State(L'R').modemMode; }

void CoreTest::DriverPackageOnly()
{
    m_install.RegisterProduct(kQctDriversCode, false, L"1.0.0.0");
    m_install.PutQctPackageFiles(L"Norvo USB Modem Drivers");
}

void CoreTest::Place(const std::wstring& standIn, const std::wstring& name)
{
    m_placed.emplace_back(new ScopedFile(ProgramFolder() + name));
    PlaceStandIn(standIn, ProgramFolder(), name);
}

} // namespace plugtest
