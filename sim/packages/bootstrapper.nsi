; The setup program a maker ships beside a Windows Installer package: it carries the package,
; unpacks it into the user's temporary folder and has Windows Installer install it, without a
; window. With WAIT 1 it waits for msiexec and ends with its exit code (0, 1603, 1638, ...); with
; WAIT 0 it starts msiexec and ends at once with 0, as many bootstrappers do.
;
; makensis -DTARGET=x86-unicode|amd64-unicode -DOUTFILE=setup.exe -DPACKAGE=package.msi
;          -DPACKAGE_NAME=NAME.msi -DTITLE=TEXT -DVERSION=A.B.C.D -DWAIT=1|0 bootstrapper.nsi
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
Name "${TITLE}"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel admin
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1033 "FileDescription" "${TITLE} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Norvo Electronics"

Section
  SetOutPath "$TEMP\Norvo packages"
  File "/oname=${PACKAGE_NAME}" "${PACKAGE}"
  ClearErrors
!if ${WAIT} == 1
  ExecWait '"$SYSDIR\msiexec.exe" /i "$OUTDIR\${PACKAGE_NAME}" /qn /l*v "$OUTDIR\${PACKAGE_NAME}.log"' $0
  IfErrors 0 +2
    StrCpy $0 1603
  SetErrorLevel $0
!else
  Exec '"$SYSDIR\msiexec.exe" /i "$OUTDIR\${PACKAGE_NAME}" /qn /l*v "$OUTDIR\${PACKAGE_NAME}.log"'
  IfErrors 0 +2
    SetErrorLevel 1603
!endif
SectionEnd
