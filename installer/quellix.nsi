; Quellix setup: the shipped 32-bit quellix.exe with its delivered files,
; installed per machine into Program Files ("Program Files (x86)" on 64-bit
; Windows). Built by the i686 build (see the release section of
; CMakeLists.txt), which passes:
;   VERSION    product version, project()'s in CMakeLists.txt
;   EXE        the built quellix.exe
;   DELIVERED  the folder with stop-gwx-from-startup.bat and readme.txt
;   ICON       the program's icon
;   PICTURE    the 164 x 314 BMP beside the welcome and finish pages
;   SIGN       scripts/sign-file.sh, which signs a file when a key is given
;   OUTFILE    the setup program to write
;
; Switches: /S installs (or, given to uninstall.exe, uninstalls) without a
; window; /D=folder chooses the folder (last on the command line, no quotes).

Unicode true
SetCompressor /SOLID lzma
; No file times in the setup (File keeps each file's by default): the same
; files pack to the same bytes whenever they are built.
SetDateSave off
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"

!define PRODUCT "Quellix"
!define COMPANY "Quellix Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quellix"
!define SHORTCUT "$SMPROGRAMS\Quellix.lnk"
!define IFEO "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quellix"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2016-2026 ${COMPANY}. Freeware."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PICTURE}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${PICTURE}"

; Signed where a key is given: the uninstaller as it goes into the setup,
; then the setup.
!uninstfinalize 'bash "${SIGN}" "%1"' = 0
!finalize 'bash "${SIGN}" "%1"' = 0

!define MUI_ABORTWARNING

!define REMOVE_PROTECTION_FIRST "Uninstalling Quellix also removes its blocks of the GWX programs, which start this copy of Quellix. The DisableOSUpgrade setting and the end-of-support blocks stay in force; to remove them too, open Quellix and click each $\"Protected (click to Unprotect)$\" switch before you uninstall it."

; The readme stands where a licence would: read, then Next.
!define MUI_LICENSEPAGE_TEXT_TOP "Please read how Quellix works before you install it."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Click Next to continue."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"

!define MUI_FINISHPAGE_TEXT "Quellix has been installed on your computer.$\r$\n$\r$\nUse Start > Quellix to open it.$\r$\n$\r$\n${REMOVE_PROTECTION_FIRST}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\quellix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run Quellix"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "View readme"

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${REMOVE_PROTECTION_FIRST}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${DELIVERED}/readme.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; How long setup waits for "quellix.exe /postins" before it goes on.
!define POSTINS_WAIT_MS 30000
!define STARTF_USESHOWWINDOW 0x1
!define CREATE_NO_WINDOW 0x08000000

Section "Quellix" SecMain
  SectionIn RO
  SetShellVarContext all
  Call ChooseOwnFolder
  ; Secured before the first file goes in.
  CreateDirectory "$INSTDIR"
  Call ProtectFolderOutsideProgramFiles
  SetOutPath "$INSTDIR"
  ; Over an earlier version, log.txt and log2.txt stay as they are.
  File "${EXE}"
  File "${DELIVERED}/stop-gwx-from-startup.bat"
  File "${DELIVERED}/readme.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\quellix.exe" "" "$INSTDIR\quellix.exe" 0

  ; A 32-bit setup: these land in the 32-bit view of the registry.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quellix.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Comments" "${REMOVE_PROTECTION_FIRST}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Last: the start event, hidden. Setup waits for it a while at most, then
  ; goes on as when nothing listens: whatever it does, the installation has
  ; succeeded. (nsExec would wait for ever on a start event that never ends.)
  DetailPrint "Reporting the installation..."
  System::Call '*(&l4, p 0, p 0, p 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i ${STARTF_USESHOWWINDOW}, &i2 ${SW_HIDE}, &i2 0, p 0, p 0, p 0, p 0) p .r1'
  System::Call '*(p 0, p 0, i 0, i 0) p .r2'
  StrCpy $3 '"$INSTDIR\quellix.exe" /postins'
  System::Call 'kernel32::CreateProcess(p 0, t r3, p 0, p 0, i 0, i ${CREATE_NO_WINDOW}, p 0, p 0, p r1, p r2) i .r0'
  ${If} $0 <> 0
    System::Call '*$2(p .r4, p .r5)'
    System::Call 'kernel32::WaitForSingleObject(p r4, i ${POSTINS_WAIT_MS})'
    System::Call 'kernel32::CloseHandle(p r4)'
    System::Call 'kernel32::CloseHandle(p r5)'
  ${EndIf}
  System::Free $1
  System::Free $2
SectionEnd

; One installation at a time: the MSI package's goes into the same folder and
; Start menu entry, and either removal would leave the other's entry naming
; files that are gone. Silently (/S): exit code 2, and the message on the
; standard error that the caller gave setup, if any.
Function .onInit
  ReadRegStr $0 HKLM "Software\Quellix" "InstallDir"
  ${If} $0 != ""
    StrCpy $1 "Quellix is already installed in $0 from its Windows Installer package. Remove that one first (Programs and Features), then run this setup."
    MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
    System::Call 'kernel32::GetStdHandle(i -12) p .r2'
    ${If} $2 <> 0
    ${AndIf} $2 <> -1
      FileWrite $2 "$1$\r$\n"
    ${EndIf}
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; A folder that holds anything but the earlier installation is the user's:
; the program then goes into a Quellix folder inside it, so that neither
; setup nor the uninstaller touches the user's files.
Function ChooseOwnFolder
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Do}
    ${If} $INSTDIR == $1
      ${Break}
    ${EndIf}
    ${DirState} "$INSTDIR" $0
    ${If} $0 <> 1
      ${Break}
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\Quellix"
  ${Loop}
FunctionEnd

; Program Files lets only administrators change what is in it. A folder
; elsewhere inherits rights that may let every signed-in user change the
; files the elevated program runs, so it gets an access list of its own:
; SYSTEM and Administrators full control, Users read and execute, nothing
; inherited from above. Its owner, and that of everything in it, becomes
; Administrators first: whoever made the folder beforehand would otherwise
; keep the right to change its access list. An earlier installation's folder
; that others have put files into keeps both: they would reach their files.
Function ProtectFolderOutsideProgramFiles
  StrLen $1 "$PROGRAMFILES\"
  StrCpy $0 "$INSTDIR" $1
  StrLen $3 "$PROGRAMFILES64\"
  StrCpy $2 "$INSTDIR" $3
  ${IfNot} $0 == "$PROGRAMFILES\"
  ${AndIfNot} $2 == "$PROGRAMFILES64\"
    Call HoldsOthersFiles
    ${If} $0 == 1
      DetailPrint "$INSTDIR holds others' files too: its owner and access list stay as they are"
      Return
    ${EndIf}
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /setowner *S-1-5-32-544 /T /C'
    Pop $0
    DetailPrint "Administrators own $INSTDIR (icacls): $0"
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX'
    Pop $0
    DetailPrint "Own access list for $INSTDIR (icacls): $0"
  ${EndIf}
FunctionEnd

; $0 is 1 when $INSTDIR holds anything but what setup installs and the
; program writes beside itself.
Function HoldsOthersFiles
  StrCpy $0 0
  FindFirst $1 $2 "$INSTDIR\*"
  ${DoWhile} $2 != ""
    ${Switch} $2
      ${Case} "."
      ${Case} ".."
      ${Case} "quellix.exe"
      ${Case} "stop-gwx-from-startup.bat"
      ${Case} "readme.txt"
      ${Case} "uninstall.exe"
      ${Case} "log.txt"
      ${Case} "log2.txt"
      ${Case} "disable-triggers.cmd"
        ${Break}
      ${Default}
        StrCpy $0 1
    ${EndSwitch}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

; The blocking entry of the executable named on the stack, when its
; "Debugger" value starts this copy: the program writes its path quoted, in
; full or, where the code page cannot spell it, in its short form. As the
; program's unprotect does, the value goes, and the entry when nothing else
; is left in it.
Function un.ForgetEntry
  Pop $0
  StrCpy $0 "${IFEO}\$0"
  ReadRegStr $1 HKLM $0 "Debugger"
  StrCpy $2 $1 1
  ${WordFind} $1 '"' "+1" $1
  StrCpy $3 $1 2 1
  ${If} $2 != '"'
  ${OrIf} $3 != ":\"
    Return
  ${EndIf}
  GetFullPathName /SHORT $2 $1
  GetFullPathName /SHORT $3 "$INSTDIR\quellix.exe"
  ${If} $2 == ""
    StrCpy $2 $1
    StrCpy $3 "$INSTDIR\quellix.exe"
  ${EndIf}
  ${If} $2 == $3
    DeleteRegValue HKLM $0 "Debugger"
    EnumRegValue $1 HKLM $0 0
    EnumRegKey $2 HKLM $0 0
    ${If} $1 == ""
    ${AndIf} $2 == ""
      DeleteRegKey HKLM $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; No blocking entry may go on starting this copy once it is gone: whoever
  ; could make its folder again would have Windows start their program in
  ; GWX's place. The policy value, the end-of-support blocks and entries
  ; that start another program stay.
  Push "GWX.EXE"
  Call un.ForgetEntry
  Push "GWXUX.EXE"
  Call un.ForgetEntry
  Push "GWXConfigManager.exe"
  Call un.ForgetEntry
  Push "GWXDetector.exe"
  Call un.ForgetEntry
  Push "GWXUXWorker.exe"
  Call un.ForgetEntry
  Delete "$INSTDIR\quellix.exe"
  Delete "$INSTDIR\stop-gwx-from-startup.bat"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\disable-triggers.cmd"
  Delete "$INSTDIR\log.txt"
  Delete "$INSTDIR\log2.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the user put there stays.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
