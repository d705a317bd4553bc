; The setup program of Tarrowind for 64-bit Windows, made by scripts/package-windows, which defines:
;   VERSION, VERSION4 (four numbers), OUTFILE, SIZE_KB (the installed files),
;   FILES   a folder with install.nsh and uninstall.nsh: the shipped files, written from the package,
;   WINDOW  when the window tarrowind.exe is shipped (else only the command line is),
;   ICON    the program icon, when there is one.
; Per machine into Program Files; /S installs or uninstalls silently. The uninstaller removes exactly the
; files installed, then their folders when empty, so nothing the user put there is lost.

Target amd64-unicode
!include MUI2.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarrowind"
!ifdef WINDOW
  !define MAIN_PROGRAM "tarrowind.exe"
!else
  !define MAIN_PROGRAM "tarrowind-cli.exe"
!endif

Name "Tarrowind"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarrowind"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "Tarrowind"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Tarrowind setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "Tarrowind"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The program's own languages; the one of the Windows display language is chosen.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "Arabic"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "TradChinese"
!insertmacro MUI_LANGUAGE "Japanese"

!macro RequireAdmin
  SetRegView 64
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "Tarrowind is installed for every user of this PC: run this as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdmin
FunctionEnd

Function un.onInit
  !insertmacro RequireAdmin
FunctionEnd

Section "Tarrowind"
  ; An earlier version's files go first, by its own uninstaller run in place (it cannot remove itself).
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}

  !include "${FILES}\install.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  !ifdef WINDOW
    CreateShortcut "$SMPROGRAMS\Tarrowind.lnk" "$INSTDIR\tarrowind.exe"
  !endif

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarrowind"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarrowind"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${MAIN_PROGRAM}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !ifdef WINDOW
    Delete "$SMPROGRAMS\Tarrowind.lnk"
  !endif
  !include "${FILES}\uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
