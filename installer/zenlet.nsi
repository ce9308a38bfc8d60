; The add-in's installer: for the current user, without administrator rights. It puts
; zenlet.dll in the user's programs folder, registers it (its class under the user's classes),
; and tells Outlook of the add-in. The uninstaller takes all of that away again; the user's
; options stay unless asked for (a question, or /REMOVEOPTIONS when silent).
;   makensis -DZENLET_DLL=<path of zenlet.dll> -DOUTFILE=<installer> zenlet.nsi
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "FileFunc.nsh"

!define PRODUCT "Morvane Zenlet"
!define VERSION "0.1.0.32"
!define ADDIN_KEY "Software\Microsoft\Office\Outlook\Addins\Zenlet.Connect"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zenlet"
!define OPTIONS_KEY "Software\Morvane.com\Zenlet"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Morvane Zenlet"
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Morvane"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "LegalCopyright" "Copyright (c) Morvane. All rights reserved."

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${ZENLET_DLL}"
  ClearErrors
  RegDLL "$INSTDIR\zenlet.dll"
  IfErrors 0 registered
    MessageBox MB_ICONSTOP "Zenlet could not be registered. The installation is incomplete." /SD IDOK
    SetErrorLevel 2
    Abort
  registered:
  WriteRegStr HKCU "${ADDIN_KEY}" "FriendlyName" "${PRODUCT}"
  WriteRegStr HKCU "${ADDIN_KEY}" "Description" "Your Facebook status, notifications and friends' news in Outlook"
  WriteRegDWORD HKCU "${ADDIN_KEY}" "LoadBehavior" 3
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Morvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  UnRegDLL "$INSTDIR\zenlet.dll"
  DeleteRegKey HKCU "${ADDIN_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEOPTIONS" $R1
  IfErrors 0 remove_options
    MessageBox MB_YESNO|MB_ICONQUESTION "Also remove your Zenlet settings and saved login?" /SD IDNO IDNO keep_options
  remove_options:
    DeleteRegKey HKCU "${OPTIONS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Morvane.com"
  keep_options:

  Delete "$INSTDIR\zenlet.dll"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
