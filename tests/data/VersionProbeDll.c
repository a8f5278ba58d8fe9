/* A library that only carries a version resource (or none) for the file version tests. */
__declspec(dllexport) int version_probe_marker = 1;
