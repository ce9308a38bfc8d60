; The add-in's installer: for the current user, without administrator rights. It puts the
; add-in's DLLs in the user's programs folder, x64\zenlet.dll for a 64-bit Outlook and
; x86\zenlet.dll for a 32-bit one, registers each with the regsvr32 of its own bitness (each
; class in its own view of the user's classes), and tells Outlook of the add-in once: the
; add-in key is the same for both. On a 32-bit Windows only the 32-bit DLL is installed. The
; installer itself is a 32-bit program, so that it runs on either Windows.
; The uninstaller takes all of that away again; the user's options stay unless asked for (a
; question, or /REMOVEOPTIONS when silent).
;   makensis -DZENLET_X64_DLL=<64-bit zenlet.dll> -DZENLET_X86_DLL=<32-bit zenlet.dll>
;            -DOUTFILE=<installer> zenlet.nsi
; Where 32-bit programs cannot run (a test machine), -DTARGET=amd64-unicode without
; ZENLET_X86_DLL gives an installer of the 64-bit DLL alone, for 64-bit Windows only.
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Unicode true
Target ${TARGET}
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

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

; Runs regsvr32 /s [/u] on the DLL of one bitness; $0 is its exit code afterwards, or "error"
; when it could not be started. $SYSDIR names System32: for this 32-bit program the system
; shows the 32-bit regsvr32 there (SysWOW64), and the 64-bit one once redirection is off.
!macro RunRegsvr32 BITS ARGUMENTS DLL
  ClearErrors
  !if ${BITS} == 64
    ${DisableX64FSRedirection}
  !endif
  ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGUMENTS} "${DLL}"' $0
  IfErrors 0 +2
    StrCpy $0 "error"
  !if ${BITS} == 64
    ${EnableX64FSRedirection}
  !endif
  DetailPrint "regsvr32 ${ARGUMENTS} ${DLL} (${BITS}-bit): $0"
!macroend

; Unregisters both DLLs (whichever are there) and removes the files. The installer uses it to
; take back a registration that failed halfway, the uninstaller for its work.
!macro RemoveAddin PREFIX
  Function ${PREFIX}RemoveAddin
    ${If} ${FileExists} "$INSTDIR\x64\zenlet.dll"
      !insertmacro RunRegsvr32 64 "/u" "$INSTDIR\x64\zenlet.dll"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\x86\zenlet.dll"
      !insertmacro RunRegsvr32 32 "/u" "$INSTDIR\x86\zenlet.dll"
    ${EndIf}
    Delete "$INSTDIR\x64\zenlet.dll"
    Delete "$INSTDIR\x86\zenlet.dll"
    RMDir "$INSTDIR\x64"
    RMDir "$INSTDIR\x86"
    ; The one DLL of versions before the 32-bit one.
    Delete "$INSTDIR\zenlet.dll"
  FunctionEnd
!macroend
!insertmacro RemoveAddin ""
!insertmacro RemoveAddin "un."

Function RegistrationFailed
  Call RemoveAddin
  RMDir "$INSTDIR"
  MessageBox MB_ICONSTOP "Zenlet could not be registered. The installation is incomplete." /SD IDOK
  SetErrorLevel 2
  Abort
FunctionEnd

Section "Install"
  SetShellVarContext current
  ; An earlier version's DLL beside the new folders would be left over at uninstall.
  Delete "$INSTDIR\zenlet.dll"
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\x64"
    File "${ZENLET_X64_DLL}"
    !insertmacro RunRegsvr32 64 "" "$INSTDIR\x64\zenlet.dll"
    StrCmp $0 "0" +2
      Call RegistrationFailed
  ${EndIf}
!ifdef ZENLET_X86_DLL
  SetOutPath "$INSTDIR\x86"
  File "${ZENLET_X86_DLL}"
  !insertmacro RunRegsvr32 32 "" "$INSTDIR\x86\zenlet.dll"
  StrCmp $0 "0" +2
    Call RegistrationFailed
!endif
  SetOutPath "$INSTDIR"

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
  Call un.RemoveAddin
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

  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
