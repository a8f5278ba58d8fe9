; The remover of an installed driver package: has Windows Installer remove the package under each
; of its product codes, without a window, and ends with 0 when each is removed or was not there
; (msiexec's 1605), else with the first other exit code of msiexec.
;
; makensis -DTARGET=x86-unicode|amd64-unicode -DOUTFILE=remover.exe -DTITLE=TEXT -DVERSION=A.B.C.D
;          -DCODE1={...} [-DCODE2={...} [-DCODE3={...}]] remover.nsi
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
Name "${TITLE}"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel admin
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1033 "FileDescription" "${TITLE} remover"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Norvo Electronics"

!macro Remove CODE
  ClearErrors
  ExecWait '"$SYSDIR\msiexec.exe" /x ${CODE} /qn' $0
  IfErrors 0 +2
    StrCpy $0 1603
  StrCmp $0 0 +4
  StrCmp $0 1605 +3
  StrCmp $1 0 0 +2
    StrCpy $1 $0
!macroend

Section
  StrCpy $1 0
  !insertmacro Remove "${CODE1}"
!ifdef CODE2
  !insertmacro Remove "${CODE2}"
!endif
!ifdef CODE3
  !insertmacro Remove "${CODE3}"
!endif
  SetErrorLevel $1
SectionEnd
