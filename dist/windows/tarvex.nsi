; The Windows installer of Tarvex, made by tools/windows-build.sh with
; Debian's NSIS:
;   makensis -DVERSION=1.2 -DVERSION_QUAD=1.2.0.0 -DSOURCE=<program folder> -DFILES=<files.nsh> -DOUTFILE=<setup.exe> tarvex.nsi
; SOURCE is the folder of the zip; FILES lists its files and folders for the
; uninstaller, which removes those and nothing else.
;
; Per machine (Program Files, asking for elevation) or per user
; (%LOCALAPPDATA%\Programs); /AllUsers or /CurrentUser choose without asking.
; Silent: /S, with /D=FOLDER for another folder. The program folder is marked
; installed-by-package: Tarvex never writes there and keeps what a user makes
; in %APPDATA%\Tarvex (the services' in %ProgramData%\Tarvex), which neither
; an upgrade nor the uninstaller touches.

; A 64-bit installer for a 64-bit program (it runs where Tarvex runs).
Target amd64-unicode
!ifndef VERSION
  !error "VERSION is needed"
!endif
!ifndef VERSION_QUAD
  !error "VERSION_QUAD (the version in four numbers) is needed"
!endif
!ifndef SOURCE
  !error "SOURCE is needed"
!endif
!ifndef FILES
  !error "FILES is needed"
!endif
!ifndef OUTFILE
  !error "OUTFILE is needed"
!endif

!define NAME "Tarvex"
!define PUBLISHER "Tarvex developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvex"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${NAME}"
!define MULTIUSER_USE_PROGRAMFILES64
; An earlier install's choice (per machine or per user) and folder are kept.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

Name "${NAME}"
OutFile "${OUTFILE}"
BrandingText "${NAME} ${VERSION}"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "FileDescription" "${NAME} setup"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarvex.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tarvex"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var GivenFolder

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Tarvex is a 64-bit program: it needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; /D= is in $INSTDIR before the install mode sets its default folder.
  StrCpy $GivenFolder $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $GivenFolder != ""
    StrCpy $INSTDIR $GivenFolder
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Tarvex"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  FileOpen $0 "$INSTDIR\installed-by-package" w
  FileWrite $0 "This folder belongs to the Tarvex installer: Tarvex writes nothing here.$\r$\n"
  FileWrite $0 "What you make (settings, save slots, logs, added maps) is kept in %APPDATA%\Tarvex,$\r$\n"
  FileWrite $0 "and the services' in %ProgramData%\Tarvex.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\tarvex.exe" "" "$INSTDIR\tarvex.exe" 0 SW_SHOWNORMAL "" \
    "Set up and start a Star Trek: Voyager - Elite Force server"

  ; Where Windows lists installed programs.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvex.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  ; A slot's service runs this folder's tarvex-cli: it is stopped and removed first.
  ${If} $MultiUser.InstallMode == "AllUsers"
  ${AndIf} ${FileExists} "$INSTDIR\tarvex-cli.exe"
    nsExec::ExecToLog '"$INSTDIR\tarvex-cli.exe" service remove'
    Pop $0
  ${EndIf}
  !include "${FILES}"
  Delete "$INSTDIR\installed-by-package"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  SetShellVarContext current
  StrCpy $1 "$APPDATA\Tarvex"
  SetShellVarContext all
  StrCpy $2 "$APPDATA\Tarvex"
  DetailPrint "Kept: $1 and $2 (settings, save slots, logs, added maps)."
  MessageBox MB_OK|MB_ICONINFORMATION "Tarvex was removed.$\r$\n$\r$\nWhat you made is kept: $1 (your settings, save slots, logs and added maps) and $2 (the services' own). Delete those folders yourself if you no longer want them." /SD IDOK
SectionEnd
