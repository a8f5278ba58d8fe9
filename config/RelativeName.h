// Names of files that the configuration gives relative to a folder. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// True when name, joined to a folder, stays inside that folder: not empty, not absolute (no
// leading backslash or slash), no drive or stream (no colon), and no component that climbs out
// (".." and the names Windows may read as it: dots and blanks only, two dots or more).
// A configuration file may come from a place any user can write; a name that fails this test
// is treated as a missing file.
bool IsContainedRelativeName(const std::wstring& name);

} // namespace plug
