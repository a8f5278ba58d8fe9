#include "EmbeddedFile.h"

#include <windows.h>

namespace sim {

std::string LoadEmbeddedFile(int id)
{
    // Resources of the program's own image: nothing to free.
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!found)
        return std::string();
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(nullptr, found);
    if (!data || size == 0)
        return std::string();
    return std::string(static_cast<const char*>(data), size);
}

bool WriteVersionedCopy(ChangeSet* changes, const std::wstring& path, const std::string& model,
                        const FileVersion& version)
{
    std::string bytes = model;
    return StampFileVersion(&bytes, version) && changes->WriteFile(path, bytes);
}

} // namespace sim
