; The Windows setup program, made by scripts/package-windows.sh with NSIS,
; run in the folder that holds what is installed (the program, Qt's DLLs,
; the licences):
;   makensis -NOCD -DVERSION=0.1.0 -DLISTS=<folder> -DICON=<orvypc.ico> -DOUTFILE=<setup.exe> orvypc.nsi
; LISTS holds files.nsh and unfiles.nsh, the lines that install and remove
; each of those files.
;
; Per user, without administrator rights, into the user's own program folder
; (%LOCALAPPDATA%\Programs\OrvyPc); per machine, into Program Files, when run
; elevated (or with /AllUsers; /CurrentUser asks for the user's own). A
; Start-menu entry, the uninstaller under "Apps and features", the program's
; own registration on install and its unregistration on uninstall. The
; command line can go on the user's PATH (a choice on the components page,
; /PATH=yes when silent). The uninstaller removes exactly the files it
; installed: never the user's logbook (%LOCALAPPDATA%\OrvyPc) or settings.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define NAME "OrvyPc"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define ENV_KEY_USER "Environment"
!define ENV_KEY_MACHINE "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${NAME}"
OutFile "${OUTFILE}"
BrandingText "${NAME} ${VERSION}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${NAME}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include WordFunc.nsh
!include x64.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\orvypc.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${NAME}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${NAME} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "See licences\README.txt"

Section "${NAME}" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !include "${LISTS}/files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\orvypc.exe" "" "$INSTDIR\orvypc.exe" 0 \
    SW_SHOWNORMAL "" "Status and test results of the luminaires on a DALI emergency-lighting gateway"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvypc.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The program's own registration, for the user who installs it.
  ExecWait '"$INSTDIR\orvypc.exe" /RegServerPerUser' $0
  ${If} $0 != 0
    DetailPrint "The program's registration ended with $0."
  ${EndIf}
SectionEnd

Section /o "Command line on PATH (orvypc in a console)" SectionPath
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKLM "${ENV_KEY_MACHINE}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "${ENV_KEY_USER}" "Path"
  ${EndIf}
  ; Not twice: the folder as a whole entry.
  ClearErrors
  ${WordFind} ";$0;" ";$INSTDIR;" "E+1{" $1
  ${If} ${Errors}
    ${If} $0 == ""
      StrCpy $0 "$INSTDIR"
    ${Else}
      StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    ${If} $MultiUser.InstallMode == "AllUsers"
      WriteRegExpandStr HKLM "${ENV_KEY_MACHINE}" "Path" "$0"
    ${Else}
      WriteRegExpandStr HKCU "${ENV_KEY_USER}" "Path" "$0"
    ${EndIf}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "OnPath" "1"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
  ${EndIf}
SectionEnd

LangString DESC_Program ${LANG_ENGLISH} "The program, its command line and the Qt libraries it runs on."
LangString DESC_Path ${LANG_ENGLISH} "Type orvypc in a console (cmd, PowerShell) to run its commands."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} $(DESC_Program)
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionPath} $(DESC_Path)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${NAME} needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
  ; Silent: /PATH=yes puts the command line on PATH.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 == "yes"
    SectionSetFlags ${SectionPath} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Uninstall"
  ExecWait '"$INSTDIR\orvypc.exe" /UnregServerPerUser'

  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "OnPath"
  ${If} $0 == "1"
    ${If} $MultiUser.InstallMode == "AllUsers"
      ReadRegStr $1 HKLM "${ENV_KEY_MACHINE}" "Path"
    ${Else}
      ReadRegStr $1 HKCU "${ENV_KEY_USER}" "Path"
    ${EndIf}
    ; The folder as a whole entry, wherever it stands.
    ${WordReplace} ";$1;" ";$INSTDIR;" ";" "+" $1
    StrCpy $1 $1 "" 1
    StrCpy $1 $1 -1
    ${If} $MultiUser.InstallMode == "AllUsers"
      WriteRegExpandStr HKLM "${ENV_KEY_MACHINE}" "Path" "$1"
    ${Else}
      WriteRegExpandStr HKCU "${ENV_KEY_USER}" "Path" "$1"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
  ${EndIf}

  Delete "$SMPROGRAMS\${NAME}.lnk"
  !include "${LISTS}/unfiles.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
