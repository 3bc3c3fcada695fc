; The Tolvane installer. Built by installer/CMakeLists.txt, which defines
; VERSION, OUTFILE, DLL, QUEUE_TOOL, REGISTER_TOOL and LICENSE_NOTE.
;
; Installs Tolvane.dll and its two tools into the Palm Desktop folder (the
; folder of the HotSync Manager that the registry names, or one the user
; picks) and registers the conduit. Installing again replaces the files and
; registers again without ever unregistering: unregistration deletes every
; user's Tolvane folder, queue included. Silent with /S; /D=FOLDER picks
; the folder. Exit codes: 0 installed, 2 no Palm Desktop found,
; 3 registration failed (the message says why).

Unicode false
SetCompressor /SOLID lzma
!include LogicLib.nsh
!include FileFunc.nsh

!define CORE_KEY "Software\U.S. Robotics\Pilot Desktop\Core"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"
!define UNINSTALLER "Tolvane-uninstall.exe"
!define SENDTO_LINK "Tolvane card queue.lnk"
!define EXIT_NO_DESKTOP 2
!define EXIT_REGISTRATION 3

Name "Tolvane"
Caption "Tolvane ${VERSION} Setup"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
DirText "Tolvane goes into the Palm Desktop folder, beside the HotSync Manager. Setup found the folder below; \
choose another if your Palm Desktop lives elsewhere." "Palm Desktop folder"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tolvane"
VIAddVersionKey "FileDescription" "Tolvane Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${LICENSE_NOTE}"

Page directory "" "" CheckDesktopPage
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; $0: empty when $INSTDIR holds a Palm Desktop, else why not.
Function FindDesktopProblem
  StrCpy $0 ""
  ${If} $INSTDIR == ""
    StrCpy $0 "No Palm Desktop installation found: the registry names no HotSync Manager \
(HKEY_CURRENT_USER\${CORE_KEY}, HotSyncPath). Install the Palm Desktop and do one HotSync first, \
or run Setup again and choose the Palm Desktop folder (silent: /D=FOLDER)."
  ${ElseIfNot} ${FileExists} "$INSTDIR\CONDMGR.DLL"
    StrCpy $0 "No Palm Desktop installation found in $INSTDIR: it holds no CONDMGR.DLL. \
Choose the folder of the Palm Desktop (where the HotSync Manager is)."
  ${EndIf}
FunctionEnd

Function .onInit
  ${If} $INSTDIR == ""
    ReadRegStr $1 HKCU "${CORE_KEY}" "HotSyncPath"
    ${If} $1 != ""
      ${GetParent} $1 $INSTDIR
    ${EndIf}
  ${EndIf}
  ${If} ${Silent}
    Call FindDesktopProblem
    ${If} $0 != ""
      MessageBox MB_ICONSTOP $0 /SD IDOK
      SetErrorLevel ${EXIT_NO_DESKTOP}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function CheckDesktopPage
  Call FindDesktopProblem
  ${If} $0 != ""
    MessageBox MB_ICONSTOP $0
    Abort
  ${EndIf}
FunctionEnd

Section "Tolvane"
  SetOutPath "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\Tolvane.dll"
    DetailPrint "Replacing the installed Tolvane; every user's queue and settings stay as they are."
  ${EndIf}
  File "/oname=Tolvane.dll" "${DLL}"
  File "/oname=tolvane-queue.exe" "${QUEUE_TOOL}"
  File "/oname=tolvane-register.exe" "${REGISTER_TOOL}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  nsExec::ExecToStack '"$INSTDIR\tolvane-register.exe" install "$INSTDIR\Tolvane.dll"'
  Pop $0
  Pop $1
  DetailPrint $1
  ${If} $0 != 0
    MessageBox MB_ICONSTOP "Tolvane could not be registered with the HotSync Manager.$\r$\n$\r$\n$1" /SD IDOK
    SetErrorLevel ${EXIT_REGISTRATION}
    Abort
  ${EndIf}

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tolvane (HotSync card install conduit)"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Tolvane"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; Explorer appends the chosen files to the arguments; "-" is the default user.
  CreateShortCut "$SENDTO\${SENDTO_LINK}" "$INSTDIR\tolvane-queue.exe" "--notify add -" \
    "$INSTDIR\tolvane-queue.exe" 0 SW_SHOWMINIMIZED "" "Queue for the card at the next HotSync"
SectionEnd

Section "Uninstall"
  nsExec::ExecToStack '"$INSTDIR\tolvane-register.exe" uninstall "$INSTDIR\Tolvane.dll"'
  Pop $0
  Pop $1
  DetailPrint $1
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "Tolvane could not be unregistered; its files are removed all the same.$\r$\n$\r$\n$1" /SD IDOK
    SetErrorLevel ${EXIT_REGISTRATION}
  ${EndIf}
  Delete "$SENDTO\${SENDTO_LINK}"
  Delete "$INSTDIR\Tolvane.dll"
  Delete "$INSTDIR\tolvane-queue.exe"
  Delete "$INSTDIR\tolvane-register.exe"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; The folder is the Palm Desktop's: only our own files leave it.
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
