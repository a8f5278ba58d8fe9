// Names of files that the configuration gives relative to a folder. Portable: no Windows headers.
#pragma once

#include <string>

namespace plug {

// True when name, joined to a folder, stays inside that folder: not empty, no leading backslash
// or slash, no drive or stream (no colon), and no component that climbs out (".." and the names
// Windows may read as it: dots and blanks only, two dots or more).
// A configuration file may come from a place any user can write; a name that fails this test
// is treated as a missing file.
// This is the rule, and scripts/check-image.py (contained_name_problem) reports the same names
// on a device image: change the two together. A leading separator is refused although, joined
// to a folder, it would stay inside (the folder ends in a backslash, and Windows reads the
// doubled one as one): on its own the name is absolute, naming the root of a drive, so it is
// not a name relative to the folder, and the image check tells the maker so before a CD is made.
bool IsContainedRelativeName(const std::wstring& name);

} // namespace plug
