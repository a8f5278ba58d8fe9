// Files a setup carries inside itself (RCDATA resources), written out with the scripted version.
#pragma once

#include "ChangeSet.h"
#include "VersionStamp.h"

#include <string>

namespace sim {

// The bytes of the running program's RCDATA resource id; empty when it has none.
std::string LoadEmbeddedFile(int id);

// Writes a copy of model (a file with a stampable version resource) to path, stamped with version.
// False when the model cannot be stamped or the file cannot be written.
bool WriteVersionedCopy(ChangeSet* changes, const std::wstring& path, const std::string& model,
                        const FileVersion& version);

} // namespace sim
