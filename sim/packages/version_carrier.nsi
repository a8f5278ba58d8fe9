; A file of a package that carries the package's version in its version resource (the fixed block
; and the FileVersion string), as the maker's driver files and kit programs do. Started, it shows
; no window, stays for HOLD_MS milliseconds (so that a watcher of the processes sees it) and ends
; with 0.
;
; makensis -DTARGET=x86-unicode|amd64-unicode -DOUTFILE=file.exe -DTITLE=TEXT -DVERSION=A.B.C.D
;          -DHOLD_MS=N version_carrier.nsi
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
Name "${TITLE}"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1033 "FileDescription" "${TITLE}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Norvo Electronics"

Section
  Sleep ${HOLD_MS}
SectionEnd
