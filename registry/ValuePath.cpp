#include "ValuePath.h"

namespace plug {

ValuePath SplitValuePath(const std::wstring& valuePath)
{
    size_t slash = valuePath.rfind(L'\\');
    if (slash == std::wstring::npos)
        return ValuePath{std::wstring(), valuePath};
    return ValuePath{valuePath.substr(0, slash), valuePath.substr(slash + 1)};
}

std::wstring SoftwareValuePath(const std::wstring& baseKey, const std::wstring& key, const std::wstring& valueName)
{
    std::wstring path = L"SOFTWARE\\";
    if (!baseKey.empty())
        path += baseKey + L"\\";
    return path + key + L"\\" + valueName;
}

} // namespace plug
