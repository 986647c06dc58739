; The Windows installer of Velloran: Velloran.exe, velloran-cli.exe and
; Corvalink.dll side by side in one folder (the dialog loads the library from
; its own folder), a Start-menu entry for the dialog, an entry in the list of
; installed programs, and an uninstaller that takes all of it away again.
; /S installs (and uninstalls) silently.
;
; makensis -DVERSION=4.0.0 -DARCH=win64|win32 -DFILES=<folder of the three
;          files> -DICON=<velloran.ico> -DOUTFILE=<setup program> velloran.nsi

!if "${ARCH}" == "win64"
  Target amd64-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloran"

Name "Velloran ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_FOLDER}\Velloran"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Velloran"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Velloran ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "The Velloran developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Velloran"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${FILES}/Velloran.exe"
  File "${FILES}/velloran-cli.exe"
  File "${FILES}/Corvalink.dll"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Velloran"
  CreateShortcut "$SMPROGRAMS\Velloran\Velloran.lnk" "$INSTDIR\Velloran.exe"
  CreateShortcut "$SMPROGRAMS\Velloran\Uninstall Velloran.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velloran"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Velloran developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Velloran.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Velloran\Velloran.lnk"
  Delete "$SMPROGRAMS\Velloran\Uninstall Velloran.lnk"
  RMDir "$SMPROGRAMS\Velloran"

  Delete "$INSTDIR\Velloran.exe"
  Delete "$INSTDIR\velloran-cli.exe"
  Delete "$INSTDIR\Corvalink.dll"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
