// The language files of the device image: their form, keys, escapes and product names against
// the English file; the file each user's language selects; and whether the texts fit where the
// dialogs draw them, measured with the dialogs' fonts in a process running in that user's locale.
#include "common/ChildProcess.h"
#include "common/TestFiles.h"
#include "companion/GuideLayout.h"
#include "config/Language.h"
#include "config/LanguageTable.h"
#include "framework/Handle.h"
#include "workflow/MainDialogLayout.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <vector>

using namespace plugtest;

namespace {

const std::wstring kImage = PLUGSTART_IMAGE_DIR; // the device image, holding tools\lang_AutoRun_*.opt
const std::wstring kEnglish = kImage + L"\\tools\\lang_AutoRun_eng.opt";
const std::wstring kJapanese = L"tools\\lang_AutoRun_japan.opt";
const wchar_t kSuite[] = L"Norvo PC Suite";
const wchar_t* const kNames[] = {kSuite,          L"Norvo Internet Kit", L"Norvo Connection Manager",
                                 L"Norvo Mobile", L"Norvo Installer",    L"Devpoke.dll",
                                 L"config.ini"};

std::vector<std::wstring> Keys(const std::wstring& file)
{
    std::vector<wchar_t> buffer(65536);
    DWORD length = ::GetPrivateProfileStringW(L"STRING", nullptr, L"", buffer.data(), 65536, file.c_str());
    std::vector<std::wstring> keys;
    for (const wchar_t* key = buffer.data(); key < buffer.data() + length && *key; key += wcslen(key) + 1)
        keys.push_back(key);
    return keys;
}

std::wstring RawValue(const std::wstring& file, const std::wstring& key)
{
    wchar_t value[2048] = {};
    ::GetPrivateProfileStringW(L"STRING", key.c_str(), L"", value, 2048, file.c_str());
    return value;
}

// The escapes of a value in their order: "[_sp]", "\r", "\n", "\'".
std::vector<std::wstring> Escapes(const std::wstring& value)
{
    std::vector<std::wstring> escapes;
    for (size_t at = 0; at < value.size(); ++at) {
        if (value.compare(at, 5, L"[_sp]") == 0)
            escapes.push_back(L"[_sp]");
        else if (value[at] == L'\\' && at + 1 < value.size() && wcschr(L"rn'", value[at + 1]))
            escapes.push_back(value.substr(at++, 2));
    }
    return escapes;
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Form, keys, escapes and product names of a file against the English one; empty when sound.
// The connection manager's "_CM" texts are read only with the Japanese file.
std::wstring FileFaults(const std::wstring& file, bool japanese)
{
    const std::string bytes = ReadBinaryFile(file);
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE')
        return L"missing, or no UTF-16LE byte-order mark";
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    if (bytes.size() % 2 != 0 || text.find(L"[STRING]\r\n") == std::wstring::npos)
        return L"not UTF-16LE text with a [STRING] section and CRLF line ends";
    std::set<std::wstring> unknown;
    for (const std::wstring& key : Keys(file))
        unknown.insert(key);
    std::wostringstream faults;
    for (const std::wstring& key : Keys(kEnglish)) {
        const std::wstring source = RawValue(kEnglish, key);
        const std::wstring value = RawValue(file, key);
        if (!unknown.erase(key) && EndsWith(key, L"_CM") && !japanese)
            continue;
        if (value.find_first_not_of(L' ') == std::wstring::npos)
            faults << key << L": no text\n";
        else if (Escapes(value) != Escapes(source))
            faults << key << L": escapes differ from the English text's\n";
        for (const wchar_t* name : kNames) {
            if (source.find(name) != std::wstring::npos && value.find(name) == std::wstring::npos)
                faults << key << L": lacks \"" << name << L"\"\n";
        }
    }
    for (const std::wstring& key : unknown)
        faults << key << L": not a key of the English file\n";
    return faults.str();
}

TEST(LanguageFiles, EveryFileIsUtf16AndAnswersEveryEnglishKeyWithItsEscapesAndNames)
{
    ASSERT_EQ(63u, Keys(kEnglish).size()) << "the English file as built: " << kEnglish;
    // Every file that some user language selects.
    std::set<std::wstring> files;
    for (unsigned id = 0; id <= 0xFFFF; ++id)
        files.insert(plug::LanguageFileForLangId(static_cast<unsigned short>(id)));
    for (const std::wstring& name : files)
        EXPECT_EQ(L"", FileFaults(kImage + L"\\" + name, name == kJapanese)) << name;
    // The connection manager's texts of the Japanese users are their own.
    for (const std::wstring& key : Keys(kEnglish)) {
        if (EndsWith(key, L"_CM")) {
            EXPECT_NE(RawValue(kEnglish, key), RawValue(kImage + L"\\" + kJapanese, key)) << key << " not translated";
        }
    }
}

TEST(LanguageFiles, AFaultyFileIsNamedWithItsFault)
{
    TempDir dir;
    auto faultsOf = [&](const std::wstring& key, const std::wstring& value) {
        std::map<std::wstring, std::wstring> values;
        for (const std::wstring& each : Keys(kEnglish))
            values[each] = RawValue(kEnglish, each);
        if (value.empty())
            values.erase(key);
        else
            values[key] = value;
        WriteUtf16File(dir.File(L"faulty.opt"), ProfileText(L"STRING", values));
        return FileFaults(dir.File(L"faulty.opt"), false);
    };
    EXPECT_EQ(L"", faultsOf(L"STR_STRING_TITLE", L"Norvo Mobile Installer"));
    EXPECT_EQ(L"", faultsOf(L"STR_STRING_STATUS_TOP_STRING_1_0_CM", L"")); // only the Japanese users read it
    EXPECT_EQ(L"STR_STRING_BTN_OK: no text\n", faultsOf(L"STR_STRING_BTN_OK", L""));
    EXPECT_EQ(L"STR_STRING_ERROR_SCSI_0_0: escapes differ from the English text's\n",
              faultsOf(L"STR_STRING_ERROR_SCSI_0_0", L"The device could not be found.[_sp]Please unplug it."));
    EXPECT_EQ(L"STR_STRING_STATUS_TOP_STRING_3_0: lacks \"Norvo PC Suite\"\n",
              faultsOf(L"STR_STRING_STATUS_TOP_STRING_3_0", L"Starting Norvo PC-Suite..."));
    EXPECT_EQ(L"STR_STRING_BTN_CANCLE: not a key of the English file\n", faultsOf(L"STR_STRING_BTN_CANCLE", L"Cancel"));
    WriteBinaryFile(dir.File(L"ansi.opt"), "[STRING]\r\nSTR_STRING_TITLE=Norvo Mobile Installer\r\n");
    EXPECT_EQ(L"missing, or no UTF-16LE byte-order mark", FileFaults(dir.File(L"ansi.opt"), false));
}

namespace main_layout = plug::main_layout;
namespace guide_layout = plug::guide_layout;

// Measures texts with the fonts of the dialogs: "MS Sans Serif", width 0, DEFAULT_CHARSET,
// VARIABLE_PITCH, so that the font the user's locale maps it to is the one measured.
class DialogFonts {
public:
    // The main dialog's status box (239 x 33): the status font on one line, else the small font
    // on one line, else the small font word-wrapped on at most two lines.
    bool FitsStatusBox(const std::wstring& text) const
    {
        const LONG width = main_layout::kStatusBox.Width();
        return Line(m_bold12, text).cx <= width || Line(m_small, text).cx <= width ||
               Wrapped(m_small, text, width,
                       std::min<LONG>(main_layout::kStatusBox.Height(), 2 * Line(m_small, L"X").cy));
    }
    // A skinned button's caption, inside the button's 94 pixels less its 8-pixel focus margins.
    bool FitsButton(const std::wstring& text) const { return Line(m_small, text).cx <= 94 - 2 * 8; }
    // The unplug warning: the small font, word-wrapped in 250 x 41.
    bool FitsWarning(const std::wstring& text) const
    {
        return Wrapped(m_small, text, main_layout::kUnplugNotice.Width(), main_layout::kUnplugNotice.Height());
    }
    // The staging dialog's title: 18 pixels bold on one line in 255 pixels.
    bool FitsStagingTitle(const std::wstring& text) const { return Line(m_bold18, text).cx <= 255; }
    // The guide's caption strip (from 10 to 450) and its heading (450 wide).
    bool FitsGuideCaption(const std::wstring& text) const { return Line(m_bold12, text).cx <= 440; }
    bool FitsGuideHeading(const std::wstring& text) const { return Line(m_bold20, text).cx <= 450; }
    // The guide's lead line, 300 wide: the heading font, else 18 pixels bold on one line or
    // word-wrapped on two. Answers where the instruction below it starts, or 0 when it does not fit.
    LONG GuideInstructionTop(const std::wstring& lead) const
    {
        const LONG width = guide_layout::kBody.Width();
        const LONG top = guide_layout::kBody.top + guide_layout::kInstructionGap;
        if (Line(m_bold20, lead).cx <= width)
            return top + Line(m_bold20, lead).cy;
        const SIZE bold = Line(m_bold18, lead);
        if (bold.cx <= width)
            return top + bold.cy;
        return Wrapped(m_bold18, lead, width, 2 * bold.cy) ? top + 2 * bold.cy : 0;
    }
    // The guide's instruction: 18 pixels word-wrapped, 300 wide, from top down to 220.
    bool FitsGuideInstruction(const std::wstring& text, LONG top) const
    {
        return Wrapped(m_body18, text, guide_layout::kBody.Width(), guide_layout::kBody.bottom - top);
    }
    // Whether the font that the locale gives the dialogs draws every character of the text, so
    // that what is measured is what users see, not missing-glyph boxes.
    bool HasGlyphs(const std::wstring& text) const
    {
        plug::SelectObjectScope select(m_dc.Get(), m_small.Get());
        std::vector<WORD> glyphs(text.size());
        ::GetGlyphIndicesW(m_dc.Get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                           GGI_MARK_NONEXISTING_GLYPHS);
        return std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end();
    }

private:
    static HFONT Font(int height, int weight)
    {
        return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, L"MS Sans Serif");
    }
    SIZE Line(const plug::UniqueFont& font, const std::wstring& text) const
    {
        plug::SelectObjectScope select(m_dc.Get(), font.Get());
        SIZE size = {};
        ::GetTextExtentPoint32W(m_dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    bool Wrapped(const plug::UniqueFont& font, const std::wstring& text, LONG width, LONG height) const
    {
        plug::SelectObjectScope select(m_dc.Get(), font.Get());
        RECT box = {0, 0, width, 0};
        ::DrawTextW(m_dc.Get(), text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_WORDBREAK);
        return box.right <= width && box.bottom <= height;
    }

    plug::UniqueMemoryDC m_dc{::CreateCompatibleDC(nullptr)};
    plug::UniqueFont m_bold12{Font(12, 700)}, m_small{Font(12, 400)}, m_bold18{Font(18, 700)}, m_body18{Font(18, 400)},
        m_bold20{Font(20, 700)};
};

TEST(DialogFonts, LongTextsDoNotFit)
{
    DialogFonts fonts;
    EXPECT_TRUE(fonts.FitsStatusBox(L"Setting up Norvo Connection Manager..."));
    EXPECT_FALSE(fonts.FitsStatusBox(L"Setting up Norvo Connection Manager, the connection software of the device, "
                                     L"which takes a few minutes..."));
    EXPECT_FALSE(fonts.FitsStatusBox(L"Verbindungssoftwareinstallationsvorbereitungsdurchführung..."));
    EXPECT_TRUE(fonts.FitsButton(L"Cancel"));
    EXPECT_FALSE(fonts.FitsButton(L"Herunterladen und installieren"));
    EXPECT_FALSE(fonts.FitsStagingTitle(L"Preparing the installation of the device..."));
    EXPECT_TRUE(fonts.HasGlyphs(L"Cancel"));
    EXPECT_FALSE(fonts.HasGlyphs(L"Cancel \u0378")); // a code point that no font draws
    EXPECT_EQ(0, fonts.GuideInstructionTop(L"Norvo PC Suite is on the CD that came with your phone, and on the "
                                           L"website of Norvo, where you can download it."));
}

bool OneOf(const std::wstring& key, std::initializer_list<const wchar_t*> keys)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The texts of a language file that do not fit where they are drawn, one per line.
std::wstring Misfits(const std::wstring& file)
{
    plug::SetLanguageFile(file);
    DialogFonts fonts;
    std::wostringstream misfits;
    auto check = [&](bool fits, const std::wstring& key, const wchar_t* where, const std::wstring& text) {
        if (!fonts.HasGlyphs(text))
            misfits << key << L" (" << where << L"): the locale's font lacks glyphs (see scripts/setup.sh): ";
        else if (!fits)
            misfits << key << L" (" << where << L"): ";
        else
            return;
        misfits << text << L"\n";
    };
    const std::wstring lead = plug::GetLanguageString(L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP");
    const LONG belowLead = fonts.GuideInstructionTop(lead);
    check(belowLead != 0, L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP", L"guide lead line", lead);
    for (const std::wstring& key : Keys(file)) {
        const std::wstring text = plug::GetLanguageString(key);
        if (key == L"STR_STRING_INITDLG_STRING")
            check(fonts.FitsStagingTitle(text), key, L"staging title", text);
        if (key == L"STR_STRING_INITDLG_STRING" || key.rfind(L"STR_STRING_STATUS_TOP_STRING_", 0) == 0) {
            // The kit's name takes the suite's place in the status of its setup and start.
            for (const wchar_t* product : {kSuite, L"Norvo Internet Kit", L"Norvo Connection Manager"}) {
                const std::wstring shown = Replaced(text, kSuite, product);
                check(fonts.FitsStatusBox(shown), key, L"status box", shown);
            }
        }
        if (OneOf(key, {L"STR_STRING_BTN_CANCEL", L"STR_STRING_BTN_OK", L"STR_STRING_INSTALL_GUIDE_DOWNLOAD"}))
            check(fonts.FitsButton(text), key, L"button", text);
        if (key == L"STR_STRING_DONOT_UNPLUG_USB")
            check(fonts.FitsWarning(text), key, L"unplug warning", text);
        if (key == L"STR_STRING_INSTALL_GUIDE_TITLE")
            check(fonts.FitsGuideCaption(text), key, L"guide caption", text);
        if (key == L"STR_STEING_INSTALL_GUIDE_TXT_TOP")
            check(fonts.FitsGuideHeading(text), key, L"guide heading", text);
        const std::wstring instruction = L"STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_";
        if (key == instruction + L"1" || key == instruction + L"2")
            check(belowLead != 0 && fonts.FitsGuideInstruction(text, belowLead), key, L"guide instruction", text);
        if (key == instruction + L"3" || key == instruction + L"4")
            check(fonts.FitsGuideInstruction(text, guide_layout::kBody.top), key, L"guide instruction", text);
    }
    plug::SetLanguageFile(L"");
    return misfits.str();
}

// Started in a user's locale: answers the user's language, the file it selects and that file's
// texts that do not fit.
PLUGTEST_CHILD_MODE(users_language)
{
    wchar_t language[16] = {};
    swprintf(language, 16, L"%04X", ::GetUserDefaultLangID());
    const std::wstring selected = plug::SelectLanguageFile();
    const std::wstring misfits = Misfits(kImage + L"\\" + selected);
    WriteChildAnswer(arguments.at(0), std::wstring(language) + L"\n" + selected + L"\n" + misfits);
    return 0;
}

struct UserLanguage {
    const wchar_t* locale; // of the Unix side, which Wine maps to the user's language
    const wchar_t* file;
};

const UserLanguage kUsers[] = {
    {L"en_US.UTF-8", L"eng"},           {L"ja_JP.UTF-8", L"japan"},         {L"zh_CN.UTF-8", L"chi_sim"},
    {L"zh_TW.UTF-8", L"chi_tai"},       {L"zh_HK.UTF-8", L"chi_hk"},        {L"ko_KR.UTF-8", L"kor"},
    {L"bg_BG.UTF-8", L"bulgarian"},     {L"cs_CZ.UTF-8", L"czech"},         {L"da_DK.UTF-8", L"danish"},
    {L"de_DE.UTF-8", L"german"},        {L"el_GR.UTF-8", L"greek"},         {L"es_ES.UTF-8", L"spanish"},
    {L"es_MX.UTF-8", L"spanish_mx"},    {L"es_AR.UTF-8", L"spanish_la"},    {L"fi_FI.UTF-8", L"finnish"},
    {L"fr_FR.UTF-8", L"french"},        {L"hu_HU.UTF-8", L"hungarian"},     {L"it_IT.UTF-8", L"italian"},
    {L"nl_NL.UTF-8", L"dutch"},         {L"nb_NO.UTF-8", L"norwegian"},     {L"pl_PL.UTF-8", L"polish"},
    {L"pt_BR.UTF-8", L"portuguese_br"}, {L"pt_PT.UTF-8", L"portuguese"},    {L"ru_RU.UTF-8", L"russian"},
    {L"hr_HR.UTF-8", L"croatian"},      {L"sr_RS.UTF-8@latin", L"serbian"}, {L"sk_SK.UTF-8", L"slovakia"},
    {L"sv_SE.UTF-8", L"swedish"},       {L"tr_TR.UTF-8", L"turkish"},       {L"sl_SI.UTF-8", L"slovene"},
};

// One child per user language, run once for the tests below: its answer's lines.
class UsersLanguage : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const UserLanguage& user : kUsers) {
            std::wstring answer;
            const std::wstring locale = user.locale;
            if (!RunModeInUnixEnvironment(L"users_language", {L"LANG=" + locale, L"LC_ALL=" + locale}, L"", &answer))
                answer = L"\n\n(" + answer + L")";
            std::vector<std::wstring>& lines = s_answers[user.locale];
            std::wistringstream stream(answer);
            for (std::wstring line; std::getline(stream, line);)
                lines.push_back(line);
            lines.resize(std::max<size_t>(lines.size(), 2));
        }
    }
    static std::map<std::wstring, std::vector<std::wstring>> s_answers;
};
std::map<std::wstring, std::vector<std::wstring>> UsersLanguage::s_answers;

TEST_F(UsersLanguage, SelectsTheFileOfTheUsersLocale)
{
    for (const UserLanguage& user : kUsers) {
        const std::vector<std::wstring>& answer = s_answers[user.locale];
        EXPECT_EQ(std::wstring(L"tools\\lang_AutoRun_") + user.file + L".opt", answer[1])
            << user.locale << " (Windows language " << answer[0] << "; a locale that the host lacks reads as 0409: "
            << "scripts/setup.sh makes them)";
    }
}

TEST_F(UsersLanguage, EveryTextFitsWhereItIsDrawn)
{
    for (const UserLanguage& user : kUsers) {
        const std::vector<std::wstring>& answer = s_answers[user.locale];
        for (size_t line = 2; line < answer.size(); ++line)
            ADD_FAILURE() << answer[1] << " in " << user.locale << ": " << answer[line];
    }
}

} // namespace
