#include "DialogTemplate.h"

#include <cstring>
#include <iterator>

namespace plug {

namespace {

// Offsets of the fields the dialog manager reads first, in the two forms.
struct TemplateHeader {
    size_t style;
    size_t controlCount;
    size_t afterFrame; // the menu's name follows the frame's position and size
};
constexpr TemplateHeader kPlainHeader = {0, 8, 18};
constexpr TemplateHeader kExtendedHeader = {12, 16, 26};
constexpr size_t kShortestTemplate = 18;

bool IsExtended(const std::vector<BYTE>& dialogTemplate)
{
    WORD version = 0;
    WORD signature = 0;
    std::memcpy(&version, dialogTemplate.data(), sizeof(version));
    std::memcpy(&signature, dialogTemplate.data() + 2, sizeof(signature));
    return version == 1 && signature == 0xFFFF;
}

// Reads the fields of a template in order, never past its end.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& data) : m_data(data) {}

    bool Seek(size_t offset)
    {
        m_at = offset;
        return m_at <= m_data.size();
    }
    bool Skip(size_t bytes) { return Seek(m_at + bytes); }
    // Records start on a DWORD boundary of the template.
    bool AlignToDword() { return Seek((m_at + 3) & ~static_cast<size_t>(3)); }

    template <typename T>
    bool Read(T& value)
    {
        if (m_at > m_data.size() || m_data.size() - m_at < sizeof(T))
            return false;
        std::memcpy(&value, m_data.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return true;
    }

    // A zero-terminated text; *text points to it in the template.
    bool Text(const wchar_t** text)
    {
        const size_t start = m_at;
        for (WORD unit = 1; unit != 0;) {
            if (!Read(unit))
                return false;
        }
        *text = reinterpret_cast<const wchar_t*>(m_data.data() + start);
        return true;
    }

    // A name or an ordinal (0xFFFF and a WORD; a lone 0 for none). *start points to it in the
    // template; *ordinal is the ordinal, or 0 for a name or none.
    bool NameOrOrdinal(const wchar_t** start, WORD* ordinal)
    {
        *start = reinterpret_cast<const wchar_t*>(m_data.data() + m_at);
        *ordinal = 0;
        WORD first = 0;
        if (!Read(first))
            return false;
        if (first == 0xFFFF)
            return Read(*ordinal);
        if (first == 0)
            return true;
        return Seek(m_at - sizeof(first)) && Text(start);
    }

private:
    const std::vector<BYTE>& m_data;
    size_t m_at = 0;
};

// The classes that a template names by ordinal.
const wchar_t* PredefinedClass(WORD ordinal)
{
    static const wchar_t* const kNames[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
    const size_t index = static_cast<size_t>(ordinal) - 0x80;
    return ordinal >= 0x80 && index < std::size(kNames) ? kNames[index] : nullptr;
}

// Past the menu, the class, the title and the font of a DLGTEMPLATEEX.
bool SkipDialogHeader(TemplateReader& reader, DWORD style)
{
    const wchar_t* name = nullptr;
    WORD ordinal = 0;
    if (!reader.Seek(kExtendedHeader.afterFrame) || !reader.NameOrOrdinal(&name, &ordinal) ||
        !reader.NameOrOrdinal(&name, &ordinal) || !reader.Text(&name))
        return false;
    if (!(style & DS_SETFONT))
        return true;
    WORD pointSize = 0;
    const size_t weightItalicAndCharacterSet = 4;
    return reader.Read(pointSize) && reader.Skip(weightItalicAndCharacterSet) && reader.Text(&name);
}

// A DLGITEMTEMPLATEEX.
bool ReadControl(TemplateReader& reader, DialogControl& control)
{
    if (!reader.AlignToDword() || !reader.Read(control.helpId) || !reader.Read(control.exStyle) ||
        !reader.Read(control.style) || !reader.Read(control.x) || !reader.Read(control.y) || !reader.Read(control.cx) ||
        !reader.Read(control.cy) || !reader.Read(control.id))
        return false;
    WORD classOrdinal = 0;
    WORD titleOrdinal = 0;
    if (!reader.NameOrOrdinal(&control.className, &classOrdinal) ||
        !reader.NameOrOrdinal(&control.title, &titleOrdinal) || !reader.Read(control.creationDataBytes) ||
        !reader.Skip(control.creationDataBytes))
        return false;
    if (classOrdinal != 0)
        control.className = PredefinedClass(classOrdinal);
    return control.className != nullptr && *control.className != L'\0';
}

} // namespace

DWORD* DialogTemplateStyle(std::vector<BYTE>& dialogTemplate)
{
    if (dialogTemplate.size() < kShortestTemplate)
        return nullptr;
    const TemplateHeader& header = IsExtended(dialogTemplate) ? kExtendedHeader : kPlainHeader;
    return reinterpret_cast<DWORD*>(dialogTemplate.data() + header.style);
}

bool ReadDialogControls(const std::vector<BYTE>& dialogTemplate, std::vector<DialogControl>& controls)
{
    controls.clear();
    if (dialogTemplate.size() < kShortestTemplate || !IsExtended(dialogTemplate))
        return false;
    TemplateReader reader(dialogTemplate);
    DWORD style = 0;
    WORD count = 0;
    if (!reader.Seek(kExtendedHeader.style) || !reader.Read(style) || !reader.Seek(kExtendedHeader.controlCount) ||
        !reader.Read(count) || !SkipDialogHeader(reader, style))
        return false;
    for (WORD index = 0; index < count; ++index) {
        DialogControl control;
        if (!ReadControl(reader, control))
            return false;
        controls.push_back(control);
    }
    return true;
}

bool RemoveDialogControls(std::vector<BYTE>& dialogTemplate)
{
    if (dialogTemplate.size() < kShortestTemplate)
        return false;
    const TemplateHeader& header = IsExtended(dialogTemplate) ? kExtendedHeader : kPlainHeader;
    const WORD none = 0;
    std::memcpy(dialogTemplate.data() + header.controlCount, &none, sizeof(none));
    return true;
}

} // namespace plug
