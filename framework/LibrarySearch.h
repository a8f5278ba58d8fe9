// Where the program and its tools take the libraries they load at run time from. Needs no C or
// C++ runtime (the tools link none).
#pragma once

namespace plug {

// Takes the current directory out of the search for libraries, so that no library is loaded from
// wherever the process happens to stand (the device's CD, a download folder); the program's own
// folder, the system folders and PATH are searched as before. Called first thing at start-up,
// before any library is loaded at run time. The calls it needs are looked up, since older Windows
// lack them; where none is there, the search stays as it was.
void HardenLibrarySearch();

} // namespace plug
