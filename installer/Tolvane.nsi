; The Tolvane installer. Built by installer/CMakeLists.txt, which defines
; VERSION, OUTFILE, SHIPPED_NSH (the lists of the files it installs, made
; from cmake/Shipped.cmake), REGISTER_TOOL, LICENSE_NOTE and ICON.
;
; Installs Tolvane.dll and its tools into the Palm Desktop folder (the
; folder of the HotSync Manager that the registry names, or one the user
; picks) and registers the conduit. Installing again replaces the files and
; registers again without ever unregistering: unregistration deletes every
; user's Tolvane folder, queue included. Silent with /S; /D=FOLDER picks
; the folder, given last and without quotes as for every Windows installer
; (a quoted or misplaced one stops Setup, instead of installing elsewhere).
; /LOG=FILE (before /D=) appends every line of the details list, and what
; stopped Setup, to FILE, for a silent install that shows nothing; the
; uninstaller takes it too (before _?=).
;
; Setup and the uninstaller run the registration helper with administrator
; rights, from a copy that they carry, in a folder of its own that only the
; Administrators and SYSTEM may change, with that folder as the current one.
; Before anything is copied, the helper says whether the chosen folder holds
; every Palm Desktop library that the conduit loads (Setup stops when one is
; missing: the conduit would show a box that a silent install never
; answers), and whether others than the administrators may change it: Setup
; asks on its page, and a silent Setup writes it into its details and goes on.
;
; Nothing is left half done: before anything is replaced the registration
; helper checks that no program holds one of the files; a refused
; registration of a first install takes the copied files away again; the
; uninstaller removes nothing when the unregistration fails and then keeps
; itself, so that it can run again.
;
; Exit codes of Setup: 0 installed, 1 cancelled by the user, 2 no Palm
; Desktop found (or one that lacks a library), 3 registration failed, 4 a
; file is in use, the folder cannot be written, or no private folder could be
; made for the helper (nothing changed), 5 a /D= option that Windows
; installers do not read (quoted, or not last). Of the uninstaller: 0
; removed, 1 cancelled, 3 unregistration failed, 4 a file is in use (or no
; private folder for the helper), 5 a _?= folder that holds no uninstaller
; (an option given after it); nothing is removed in those cases.
;
; The uninstaller keeps every user's Tolvane folder, queue and settings,
; unless /DELETEQUEUES is given or the box on its page is ticked. The
; registered quiet-uninstall command runs the uninstaller in place (_?=), so
; that whoever runs it waits for it and gets its real exit code; it then
; leaves a copy of itself behind to delete the uninstaller once it has ended.

; A Unicode installer with the system's visual style, aware of the screen's
; DPI, for every Windows from XP on; no file keeps its build date, so that two
; builds of one commit are alike byte for byte.
Unicode true
XPStyle on
InstallColors /windows
ManifestSupportedOS all
ManifestDPIAware true
SetDateSave off
SetCompressor /SOLID lzma
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include "${SHIPPED_NSH}"

!define CORE_KEY "Software\U.S. Robotics\Pilot Desktop\Core"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"
!define UNINSTALLER "Tolvane-uninstall.exe"
!define SENDTO_LINK "Tolvane card queue.lnk"
!define MENU_LINK "Tolvane Queue.lnk"
!define EXIT_NO_DESKTOP 2
!define EXIT_REGISTRATION 3
!define EXIT_IN_USE 4
!define EXIT_BAD_OPTION 5
; The registration helper's exit code when it cannot load the conduit or the Palm Desktop.
!define HELPER_CANNOT_LOAD 2
!define HELPER_IN_USE 4
; ... when others than the administrators may change the Palm Desktop folder.
!define HELPER_SHARED_FOLDER 6

Name "Tolvane"
Caption "Tolvane ${VERSION} Setup"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
; The Palm Desktop lives below Program Files and Add/Remove Programs lists
; Tolvane in HKLM: both need an administrator. Setup reads HotSyncPath, and
; puts the Send To entry, for the account it runs as (Windows has no Send To
; folder for all users); the Start menu entry is for every user. A standard
; user who elevates with another account's password installs as that
; account (README).
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
DirText "$DirIntro" "Palm Desktop folder"

; NSIS ends its progress page with "Completed" in the title whatever the
; outcome; the title takes the outcome from here instead.
SubCaption 4 ": $Outcome"
UninstallSubCaption 2 ": $Outcome"

Var Outcome      ; "Completed", or what failed
Var DirIntro     ; the folder page's text: whether the registry named a HotSync Manager
Var Reinstall    ; 1 when Tolvane.dll was in the folder before
Var KeepQueues   ; uninstaller: 1 keeps every user's Tolvane folder
Var KeepBox
Var Helper       ; the registration helper's copy in its private folder; "" until made
Var HelperDir    ; that folder
Var LogFile      ; /LOG=FILE: the file that every line of the details goes to as well; "" for none

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tolvane"
VIAddVersionKey "FileDescription" "Tolvane Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${LICENSE_NOTE}"

Page directory "" "" CheckDesktopPage
Page instfiles
UninstPage custom un.ConfirmPage un.ConfirmLeave
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

; $0: 1 when the text in $R0 holds the text in $R1 (in any letter case)
; anywhere, and then $1 where it starts. Changes $2 to $4.
!macro FIND_TEXT_FUNCTION prefix
Function ${prefix}FindText
  StrCpy $0 0
  StrLen $2 $R0
  StrLen $4 $R1
  StrCpy $1 0
  ${DoWhile} $1 < $2
    StrCpy $3 $R0 $4 $1
    ${If} $3 == $R1
      StrCpy $0 1
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro FIND_TEXT_FUNCTION ""
!insertmacro FIND_TEXT_FUNCTION "un."

Function .onInit
  StrCpy $Outcome "Completed"
  ; A /D= that NSIS took (last, unquoted) is no longer among the parameters;
  ; one that is still there was ignored, and Setup would install elsewhere.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $LogFile
  StrCpy $R1 "/D="
  Call FindText
  ${If} $0 == 0
    ; A /D= that is not last took the options after it into the folder
    ; ("C:\Palm /S"): no folder name holds " /".
    ; $CMDLINE is cut before /D=; Windows keeps the whole line.
    System::Call 'kernel32::GetCommandLineW() w .R0'
    StrCpy $R1 " /D="
    Call FindText
    ${If} $0 == 1
      IntOp $1 $1 + 4
      StrCpy $R0 $R0 "" $1
      StrCpy $R1 " /"
      Call FindText
      ${If} $0 == 1
        ; Asked to be silent, it stays silent while it says no.
        StrCpy $R1 " /S"
        Call FindText
        ${IfThen} $0 == 1 ${|} SetSilent silent ${|}
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $0 == 1
    Push "Setup did not start: /D=FOLDER must be the last option, without quotes."
    Call LogLine
    MessageBox MB_ICONSTOP "Setup did not start: it reads the folder option /D=FOLDER only as the last option and \
without quotes, also when the folder has spaces in its name:$\r$\n$\r$\n\
Tolvane-setup.exe /S /D=C:\Program Files (x86)\Palm Desktop" /SD IDOK
    SetErrorLevel ${EXIT_BAD_OPTION}
    Quit
  ${EndIf}
  StrCpy $DirIntro "Tolvane goes into the Palm Desktop folder, beside the HotSync Manager. Setup found the folder \
below; choose another if your Palm Desktop lives elsewhere."
  ${If} $INSTDIR == ""
    ReadRegStr $1 HKCU "${CORE_KEY}" "HotSyncPath"
    ${If} $1 != ""
      ${GetParent} $1 $INSTDIR
    ${ElseIfNot} ${Silent}
      ; An empty field would only grey out Install; the usual place is a start.
      StrCpy $INSTDIR "$PROGRAMFILES\Palm"
      StrCpy $DirIntro "No HotSync Manager is registered for this Windows user. Choose the Palm Desktop folder, \
which holds the HotSync Manager and CONDMGR.DLL (Start in, in the Properties of its Start menu entry)."
    ${EndIf}
  ${EndIf}
  ${If} ${Silent}
    Call FindDesktopProblem
    ${If} $0 != ""
      Push $0
      Call LogLine
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
  Call CarriedHelper
  ${If} $0 != ""
    MessageBox MB_ICONSTOP "Tolvane cannot be installed; nothing was changed.$\r$\n$\r$\n$0"
    SetErrorLevel ${EXIT_IN_USE}
    Quit
  ${EndIf}
  nsExec::ExecToStack '"$Helper" desktop "$INSTDIR"'
  Pop $0
  Pop $1
  ${If} $0 == ${HELPER_SHARED_FOLDER}
    MessageBox MB_ICONEXCLAMATION|MB_YESNO|MB_DEFBUTTON2 "$1$\r$\nInstall Tolvane into this folder all the same?" \
      IDYES shared_folder_accepted
    Abort
    shared_folder_accepted:
  ${ElseIf} $0 != 0
    MessageBox MB_ICONSTOP $1
    Abort
  ${EndIf}
FunctionEnd

; Shows each line of a helper's output (on the stack) as a line of its own in
; the details list: the list would show a line break as stray characters.
!macro DETAIL_LINES_FUNCTION prefix
; Appends the text on the stack, and a line break, to the /LOG= file.
Function ${prefix}LogLine
  Exch $R0
  Push $R1
  ${If} $LogFile != ""
    FileOpen $R1 "$LogFile" a
    FileSeek $R1 0 END
    FileWrite $R1 "$R0$\r$\n"
    FileClose $R1
  ${EndIf}
  Pop $R1
  Pop $R0
FunctionEnd

Function ${prefix}DetailLines
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R1 0
  StrCpy $R3 ""
  ${Do}
    StrCpy $R2 $R0 1 $R1
    ${If} $R2 == ""
    ${OrIf} $R2 == "$\n"
      ${If} $R3 != ""
        DetailPrint $R3
        Push $R3
        Call ${prefix}LogLine
      ${EndIf}
      StrCpy $R3 ""
      ${IfThen} $R2 == "" ${|} ${Break} ${|}
    ${ElseIf} $R2 != "$\r"
      StrCpy $R3 "$R3$R2"
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DETAIL_LINES_FUNCTION ""
!insertmacro DETAIL_LINES_FUNCTION "un."

; Runs the registration helper with the arguments given; leaves its exit code
; in $0 ("error" when it could not run) and its output in $1, shown in the details.
!macro RUN_HELPER prefix helper arguments
  nsExec::ExecToStack '"${helper}" ${arguments}'
  Pop $0
  Pop $1
  Push $1
  Call ${prefix}DetailLines
!macroend

; Stops a failed installation with its exit code: the page then says so
; instead of "Completed".
!macro STOP_INSTALL code message
  Push "${message}"
  Call LogLine
  MessageBox MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel ${code}
  StrCpy $Outcome "Not installed"
  Abort "Tolvane was not installed (see the lines above)."
!macroend

;  The Administrators and SYSTEM alone, nothing inherited from the temporary
; folder above (where any user may create files when Setup runs as SYSTEM).
!define PRIVATE_SDDL "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"

!macro PRIVATE_FOLDER_FUNCTIONS prefix
; Makes the folder $R9 with ${PRIVATE_SDDL} from its first moment; $0: not 0
; when this call made it (it did not exist before).
Function ${prefix}MakePrivateFolder
  StrCpy $0 0
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${PRIVATE_SDDL}", i 1, *p .r1, p 0) i .r2'
  ${IfThen} $2 == 0 ${|} Return ${|}
  System::Call '*(i 12, p r1, i 0) p .r2'
  System::Call 'kernel32::CreateDirectoryW(w R9, p r2) i .r0'
  System::Free $2
  System::Call 'kernel32::LocalFree(p r1)'
FunctionEnd

; $0: "" when the permissions of the folder $R9, read back, let nobody but
; the Administrators, SYSTEM and its owner (the account that runs this, which
; made it) in; else what they are.
Function ${prefix}PrivateFolderProblem
  System::Call 'advapi32::GetNamedSecurityInfoW(w R9, i 1, i 5, *p .r1, p 0, *p .r2, p 0, *p .r3) i .r0'
  ${If} $0 != 0
    StrCpy $0 "its permissions cannot be read (error $0)"
    Return
  ${EndIf}
  System::Call 'advapi32::ConvertSecurityDescriptorToStringSecurityDescriptorW(p r3, i 1, i 5, *p .r4, p 0) i .r0'
  System::Call 'kernel32::LocalFree(p r3)'
  ${If} $0 == 0
    StrCpy $0 "its permissions cannot be read"
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r5, p r4, i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::LocalFree(p r4)'
  ; "O:owner" "D:flags" then "(type;flags;rights;;;account)" for each entry.
  StrCpy $R8 $5
  StrCpy $R0 $R8
  StrCpy $R1 "D:"
  Call ${prefix}FindText
  StrCpy $6 $R8 2
  ${If} $0 == 0
  ${OrIf} $6 != "O:"
    StrCpy $0 $R8
    Return
  ${EndIf}
  IntOp $6 $1 - 2
  StrCpy $7 $R8 $6 2
  IntOp $1 $1 + 2
  StrCpy $8 $R8 "" $1
  StrCpy $6 $8 17
  ${If} $6 == "NO_ACCESS_CONTROL"
    StrCpy $0 $R8
    Return
  ${EndIf}
  ${Do}
    StrCpy $R0 $8
    StrCpy $R1 "("
    Call ${prefix}FindText
    ${IfThen} $0 == 0 ${|} ${Break} ${|}
    IntOp $1 $1 + 1
    StrCpy $8 $8 "" $1
    StrCpy $R0 $8
    StrCpy $R1 ")"
    Call ${prefix}FindText
    StrCpy $9 $8 $1
    StrCpy $8 $8 "" $1
    StrCpy $R0 $9
    StrCpy $R1 ";;;"
    Call ${prefix}FindText
    IntOp $1 $1 + 3
    StrCpy $6 $9 "" $1
    StrCpy $R2 $9 2
    ; Entries that deny take nothing away from the check.
    ${IfThen} $R2 == "D;" ${|} ${Continue} ${|}
    ${If} $0 == 0
    ${OrIf} $R2 != "A;"
      StrCpy $0 $R8
      Return
    ${EndIf}
    ${If} $6 != "BA"
    ${AndIf} $6 != "SY"
    ${AndIf} $6 != $7
      StrCpy $0 $R8
      Return
    ${EndIf}
  ${Loop}
  StrCpy $0 ""
FunctionEnd

; Puts the registration helper that Setup or the uninstaller carries into a
; new folder in $PLUGINSDIR made by MakePrivateFolder and read back, and makes
; that folder current: the helper runs with administrator rights, so neither
; it nor a DLL that it loads may come from a folder that others can write.
; $0: "" when $Helper is ready, else why not.
Function ${prefix}CarriedHelper
  StrCpy $0 ""
  ${IfThen} $Helper != "" ${|} Return ${|}
  InitPluginsDir
  ${For} $R7 1 9
    StrCpy $R9 "$PLUGINSDIR\helper$R7"
    Call ${prefix}MakePrivateFolder
    ${IfThen} $0 != 0 ${|} ${Break} ${|}
  ${Next}
  ${If} $0 == 0
    StrCpy $0 "No new folder could be made in $PLUGINSDIR for the registration helper."
    Return
  ${EndIf}
  Call ${prefix}PrivateFolderProblem
  ${If} $0 != ""
    StrCpy $0 "The folder $R9, made for the registration helper, is not closed to other users: $0"
    Return
  ${EndIf}
  SetOutPath "$R9"
  File "/oname=$R9\tolvane-register.exe" "${REGISTER_TOOL}"
  StrCpy $HelperDir "$R9"
  StrCpy $Helper "$R9\tolvane-register.exe"
FunctionEnd
!macroend
!insertmacro PRIVATE_FOLDER_FUNCTIONS ""
!insertmacro PRIVATE_FOLDER_FUNCTIONS "un."

; Our own files in $INSTDIR, for a first install whose registration failed.
Function RemoveCopiedFiles
  !insertmacro SHIPPED_FILES_DELETE
  Delete "$INSTDIR\${UNINSTALLER}"
FunctionEnd

Section "Tolvane"
  Call CarriedHelper
  ${If} $0 != ""
    !insertmacro STOP_INSTALL ${EXIT_IN_USE} "Tolvane was not installed; nothing was changed.$\r$\n$\r$\n$0"
  ${EndIf}
  ; Nothing is copied into a folder that lacks a Palm Desktop library; that
  ; others may change the folder is said, and the install goes on (on the
  ; folder page Setup asked already).
  !insertmacro RUN_HELPER "" "$Helper" 'desktop "$INSTDIR"'
  ${If} $0 != 0
  ${AndIf} $0 != ${HELPER_SHARED_FOLDER}
    !insertmacro STOP_INSTALL ${EXIT_NO_DESKTOP} "Tolvane was not installed; nothing was changed.$\r$\n$\r$\n$1"
  ${EndIf}
  ; Nothing changes while the HotSync Manager or another program holds a
  ; file that would be replaced, or while the folder cannot be written.
  !insertmacro RUN_HELPER "" "$Helper" 'check ${SHIPPED_FILES_QUOTED} "$INSTDIR\${UNINSTALLER}"'
  ${If} $0 != 0
    !insertmacro STOP_INSTALL ${EXIT_IN_USE} "Tolvane was not installed; nothing was changed.$\r$\n$\r$\n$1"
  ${EndIf}
  ClearErrors
  FileOpen $2 "$INSTDIR\Tolvane-setup.tmp" w
  ${If} ${Errors}
    !insertmacro STOP_INSTALL ${EXIT_IN_USE} "Tolvane was not installed; nothing was changed.$\r$\n$\r$\nSetup may not write \
into $INSTDIR. Run Setup as an administrator of this computer."
  ${EndIf}
  FileClose $2
  Delete "$INSTDIR\Tolvane-setup.tmp"

  SetOutPath "$INSTDIR"
  StrCpy $Reinstall 0
  ${If} ${FileExists} "$INSTDIR\Tolvane.dll"
    StrCpy $Reinstall 1
    DetailPrint "Replacing the installed Tolvane; every user's queue and settings stay as they are."
  ${EndIf}
  !insertmacro SHIPPED_FILES_COPY
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SetOutPath "$HelperDir"
  !insertmacro RUN_HELPER "" "$Helper" 'install "$INSTDIR\Tolvane.dll"'
  ${If} $0 != 0
    ${If} $Reinstall == 0
      Call RemoveCopiedFiles
      !insertmacro STOP_INSTALL ${EXIT_REGISTRATION} "Tolvane could not be registered with the HotSync Manager; \
Setup took its files away again.$\r$\n$\r$\n$1"
    ${EndIf}
    !insertmacro STOP_INSTALL ${EXIT_REGISTRATION} "Tolvane could not be registered with the HotSync Manager. \
Its new files are in place; run Setup again once the cause is mended. Every user's queue stays.$\r$\n$\r$\n$1"
  ${EndIf}

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tolvane (HotSync card install conduit)"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Tolvane"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tolvane-queue-window.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  ; In place (_?=), so that a package manager waits for the real outcome.
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; Explorer appends the chosen files to the arguments; the window's program
  ; asks which HotSync user when there are several.
  SetOutPath "$INSTDIR"
  CreateShortCut "$SENDTO\${SENDTO_LINK}" "$INSTDIR\tolvane-queue-window.exe" "--send-to" \
    "$INSTDIR\tolvane-queue-window.exe" 0 SW_SHOWNORMAL "" "Queue for the card at the next HotSync"
  ; An entry of an earlier version in this account's own Start menu goes.
  Delete "$SMPROGRAMS\${MENU_LINK}"
  SetShellVarContext all
  CreateShortCut "$SMPROGRAMS\${MENU_LINK}" "$INSTDIR\tolvane-queue-window.exe" "" \
    "$INSTDIR\tolvane-queue-window.exe" 0 SW_SHOWNORMAL "" "See and change what the next HotSync puts on the card"
  SetShellVarContext current
  Push "Tolvane ${VERSION} is installed in $INSTDIR."
  Call LogLine
SectionEnd

; --- The uninstaller ---------------------------------------------------------

; Started by an uninstaller that ran in place with /REMOVE=ITS_PATH: deletes
; that file as soon as that uninstaller has ended (a running program cannot
; be deleted), then this copy and its folder at the next restart.
Function un.RemoveFinishedUninstaller
  ${For} $R2 1 240
    Delete "$R1"
    ${IfNotThen} ${FileExists} "$R1" ${|} ${Break} ${|}
    Sleep 250
  ${Next}
  Delete /REBOOTOK "$EXEPATH"
  RMDir /REBOOTOK "$EXEDIR"
FunctionEnd

Function un.onInit
  StrCpy $Outcome "Completed"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $LogFile
  ClearErrors
  ${GetOptions} $R0 "/REMOVE=" $R1
  ${IfNot} ${Errors}
    Call un.RemoveFinishedUninstaller
    Quit
  ${EndIf}
  ; An option appended to the registered quiet-uninstall command lands in
  ; the _?= folder ("C:\Palm /norestart"), which then holds no uninstaller:
  ; nothing is removed rather than only part of Tolvane.
  ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Push "The uninstaller did not start: $INSTDIR holds no Tolvane uninstaller."
    Call un.LogLine
    MessageBox MB_ICONSTOP "The uninstaller did not start: $INSTDIR holds no Tolvane uninstaller. \
Give every option before _?=FOLDER, which must come last:$\r$\n$\r$\n\
Tolvane-uninstall.exe /S /norestart _?=C:\Program Files (x86)\Palm Desktop" /SD IDOK
    SetErrorLevel ${EXIT_BAD_OPTION}
    Quit
  ${EndIf}
  ; Nothing of a user's is deleted unless asked for, silent or on the page.
  StrCpy $KeepQueues 1
  ClearErrors
  ${GetOptions} $R0 "/DELETEQUEUES" $R1
  ${IfNot} ${Errors}
    StrCpy $KeepQueues 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/KEEPQUEUES" $R1
  ${IfNot} ${Errors}
    StrCpy $KeepQueues 1
  ${EndIf}
FunctionEnd

; Run in place, the uninstaller cannot delete its own file: a copy of it in
; a folder of its own does that once this process has ended.
Function un.RemoveWhenEnded
  GetTempFileName $R0
  Delete "$R0"
  CreateDirectory "$R0"
  CopyFiles /SILENT "$EXEPATH" "$R0\${UNINSTALLER}"
  SetOutPath "$R0"
  Exec '"$R0\${UNINSTALLER}" /REMOVE="$EXEPATH" _?=$R0'
FunctionEnd

Function un.ConfirmPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 100u "Tolvane will be removed from $INSTDIR and unregistered from the HotSync Manager. \
Every HotSync user's Tolvane folder stays: the queue of files waiting for the card and the Tolvane settings, \
for when Tolvane is installed again.$\r$\n$\r$\n\
To delete them too, tick the box: every HotSync user's Tolvane folder on this computer is then DELETED, \
queue and settings. Files on the handheld's card stay."
  Pop $0
  ${NSD_CreateCheckbox} 0 104u 100% 12u "&Delete every user's Tolvane queue and settings"
  Pop $KeepBox
  ${If} $KeepQueues == 0
    ${NSD_Check} $KeepBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.ConfirmLeave
  ${NSD_GetState} $KeepBox $0
  StrCpy $KeepQueues 1
  ${If} $0 == ${BST_CHECKED}
    StrCpy $KeepQueues 0
  ${EndIf}
FunctionEnd

; Stops a failed uninstall: nothing is removed, the uninstaller stays to run again.
!macro STOP_UNINSTALL code message
  Push "Tolvane was not uninstalled; nothing was removed. ${message}"
  Call un.LogLine
  MessageBox MB_ICONSTOP "Tolvane was not uninstalled; nothing was removed.$\r$\n$\r$\n${message}" /SD IDOK
  SetErrorLevel ${code}
  StrCpy $Outcome "Not uninstalled"
  Abort "Tolvane was not uninstalled; nothing was removed."
!macroend

Section "Uninstall"
  Call un.CarriedHelper
  ${If} $0 != ""
    !insertmacro STOP_UNINSTALL ${EXIT_IN_USE} "$0"
  ${EndIf}
  !insertmacro RUN_HELPER "un." "$Helper" 'check ${SHIPPED_FILES_QUOTED}'
  ${If} $0 != 0
    !insertmacro STOP_UNINSTALL ${EXIT_IN_USE} "$1"
  ${EndIf}
  StrCpy $2 "uninstall"
  ${If} $KeepQueues == 1
    StrCpy $2 "remove-entry"
  ${EndIf}
  !insertmacro RUN_HELPER "un." "$Helper" '$2 "$INSTDIR\Tolvane.dll"'
  ${If} $0 == ${HELPER_CANNOT_LOAD}
  ${AndIfNot} ${FileExists} "$INSTDIR\CONDMGR.DLL"
    ; The Palm Desktop went first: no Conduit Manager holds an entry to remove.
    DetailPrint "The Palm Desktop is no longer in $INSTDIR: there is no registration to remove."
  ${ElseIf} $0 == ${HELPER_IN_USE}
    !insertmacro STOP_UNINSTALL ${EXIT_IN_USE} "$1"
  ${ElseIf} $0 != 0
    !insertmacro STOP_UNINSTALL ${EXIT_REGISTRATION} "Tolvane could not be unregistered from the HotSync Manager; \
run the uninstaller again once the cause is mended.$\r$\n$\r$\n$1"
  ${EndIf}

  Delete "$SENDTO\${SENDTO_LINK}"
  Delete "$SMPROGRAMS\${MENU_LINK}"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${MENU_LINK}"
  SetShellVarContext current
  !insertmacro SHIPPED_FILES_DELETE
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; The folder is the Palm Desktop's: only our own files leave it.
  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Call un.RemoveWhenEnded
  ${EndIf}
  Push "Tolvane is removed from $INSTDIR."
  Call un.LogLine
SectionEnd
