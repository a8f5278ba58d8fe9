#include "FileVersion.h"

#include "version/TranslationChoice.h"
#include "version/VersionText.h"
#include "framework/StringFormat.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace plug {

namespace {

const wchar_t* const kStringNames[CVersionResource::StringCount] = {
    L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",    L"LegalCopyright", L"OriginalFileName",
    L"ProductName", L"ProductVersion",  L"Comments",    L"LegalTrademarks", L"PrivateBuild",   L"SpecialBuild",
};

// A file's version resource, loaded into a buffer of its own.
class VersionBlock {
public:
    // S_OK when the resource is loaded; E_FAIL when the file has none or it cannot be loaded,
    // E_OUTOFMEMORY when no buffer can be had.
    HRESULT Load(LPCWSTR path)
    {
        DWORD unused = 0;
        DWORD size = ::GetFileVersionInfoSizeW(path, &unused);
        if (size == 0)
            return E_FAIL;
        m_data.reset(new (std::nothrow) BYTE[size]);
        if (!m_data)
            return E_OUTOFMEMORY;
        if (!::GetFileVersionInfoW(path, 0, size, m_data.get())) {
            m_data.reset();
            return E_FAIL;
        }
        return S_OK;
    }

    // The value of subBlock and its length as the version API counts it; false when absent.
    bool Query(const std::wstring& subBlock, void** value, UINT* length) const
    {
        *value = nullptr;
        *length = 0;
        return ::VerQueryValueW(m_data.get(), subBlock.c_str(), value, length) && *value;
    }

    // The fixed block, when the resource has one of exactly its size.
    const VS_FIXEDFILEINFO* FixedInfo() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (!Query(L"\\", &value, &length) || length != sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

private:
    std::unique_ptr<BYTE[]> m_data;
};

} // namespace

void CVersionResource::Reset()
{
    std::memset(&m_fixedInfo, 0, sizeof(m_fixedInfo));
    for (std::wstring& text : m_strings)
        text.clear();
    m_language = 0;
    m_codePage = 0;
}

BOOL CVersionResource::LoadVersionStrings(const std::wstring& path)
{
    Reset();
    VersionBlock block;
    if (FAILED(block.Load(path.c_str())))
        return FALSE;
    if (const VS_FIXEDFILEINFO* fixed = block.FixedInfo())
        m_fixedInfo = *fixed;

    void* value = nullptr;
    UINT length = 0;
    if (!block.Query(L"\\VarFileInfo\\Translation", &value, &length) || length < sizeof(DWORD))
        return TRUE; // no translation table: no string table can be named
    const DWORD* entries = static_cast<const DWORD*>(value);
    size_t chosen = ChooseTranslation(reinterpret_cast<const uint32_t*>(entries), length / sizeof(DWORD),
                                      ::GetUserDefaultLangID());
    m_language = LOWORD(entries[chosen]);
    m_codePage = HIWORD(entries[chosen]);

    std::wstring prefix = FormatString(L"\\StringFileInfo\\%04X%04X\\", m_language, m_codePage);
    for (int index = 0; index < StringCount; ++index) {
        if (block.Query(prefix + kStringNames[index], &value, &length))
            m_strings[index].assign(static_cast<const wchar_t*>(value),
                                    wcsnlen(static_cast<const wchar_t*>(value), length));
    }
    return TRUE;
}

HRESULT GetFixedFileVersion(LPCWSTR path, DWORD* fileVersionMS, DWORD* fileVersionLS)
{
    if (!path || !fileVersionMS || !fileVersionLS)
        return E_INVALIDARG;
    VersionBlock block;
    HRESULT loaded = block.Load(path);
    if (FAILED(loaded))
        return loaded;
    const VS_FIXEDFILEINFO* fixed = block.FixedInfo();
    if (!fixed)
        return E_FAIL;
    *fileVersionMS = fixed->dwFileVersionMS;
    *fileVersionLS = fixed->dwFileVersionLS;
    return S_OK;
}

std::wstring GetFileVersionText(const std::wstring& path)
{
    DWORD ms = 0;
    DWORD ls = 0;
    if (SUCCEEDED(GetFixedFileVersion(path.c_str(), &ms, &ls)))
        return FormatString(L"%d.%d.%d.%d", static_cast<int>(HIWORD(ms)), static_cast<int>(LOWORD(ms)),
                            static_cast<int>(HIWORD(ls)), static_cast<int>(LOWORD(ls)));
    CVersionResource resource;
    resource.LoadVersionStrings(path);
    return FilterVersionString(resource.String(CVersionResource::FileVersion));
}

} // namespace plug
