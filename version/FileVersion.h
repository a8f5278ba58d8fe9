// The version resource of a file: its fixed version block and its version strings.
#pragma once

#include <windows.h>

#include <string>

namespace plug {

// The version-resource record: the fixed block and the twelve version strings of one file.
class CVersionResource {
public:
    // The strings in the order of the record.
    enum StringIndex {
        CompanyName,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        OriginalFileName,
        ProductName,
        ProductVersion,
        Comments,
        LegalTrademarks,
        PrivateBuild,
        SpecialBuild,
        StringCount
    };

    CVersionResource() { Reset(); }

    // Clears the fixed block to zeros and every string to empty.
    void Reset();
    // Loads the record from the file's version resource, starting with a reset. The fixed block
    // is copied when the resource has one of exactly its size; the strings come from the string
    // table of the translation that ChooseTranslation picks for the user's language. FALSE when
    // the file has no version resource or it cannot be loaded.
    BOOL LoadVersionStrings(const std::wstring& path);

    const VS_FIXEDFILEINFO& FixedInfo() const { return m_fixedInfo; }
    const std::wstring& String(StringIndex index) const { return m_strings[index]; }
    // The translation whose strings were read: language and code page; 0 when none was.
    WORD Language() const { return m_language; }
    WORD CodePage() const { return m_codePage; }

private:
    VS_FIXEDFILEINFO m_fixedInfo;
    std::wstring m_strings[StringCount];
    WORD m_language = 0;
    WORD m_codePage = 0;
};

// The file version of the fixed version block of path: S_OK with the most and least
// significant halves; E_INVALIDARG for a null argument, E_FAIL when the file has no version
// resource or no fixed block, E_OUTOFMEMORY when the resource cannot be buffered.
HRESULT GetFixedFileVersion(LPCWSTR path, DWORD* fileVersionMS, DWORD* fileVersionLS);

// The fixed block's version as "a.b.c.d"; else the "FileVersion" string reduced to its digits
// and dots; else empty.
std::wstring GetFileVersionText(const std::wstring& path);

} // namespace plug
