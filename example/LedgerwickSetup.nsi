; Example setup program: how a Ledgerwick Complete version-5 setup calls
; Upgrade.dll. It is built and run by the project's end-to-end tests and by
; scripts/demo, so every call shown here is exercised for real.
;
;   makensis -DUPGRADE_DLL=path\to\x86\Upgrade.dll -DOUTFILE=LedgerwickSetup.exe LedgerwickSetup.nsi
;   makensis -DARCH=x64 -DUPGRADE_DLL=path\to\x64\Upgrade.dll -DOUTFILE=LedgerwickSetup64.exe LedgerwickSetup.nsi
;
; ARCH picks the setup program's own width, and the DLL must have the same
; width: a process loads only DLLs of its own kind. x86 (the default) makes a
; 32-bit setup that carries the 32-bit DLL; x64 a 64-bit setup that carries
; the 64-bit DLL (its HKLM writes then land in the 64-bit registry view).
;
; Command line of the built setup (all optional):
;   /S                    silent
;   /PREVIOUS=<n>         version of the installation being replaced (default 4)
;   /OLDFOLDER=<folder>   its installation folder (default C:\Ledgerwick)
;   /REPORT=<file>        keep the upgrade's report there (default: only in
;                         the setup's temporary folder)
;   /DETAILS=<file>       save the details list there and close when done, for
;                         an unattended run that still shows its window
;
; A silent run's exit code is the upgrade's result mask (docs/integration.md):
; 1 files carried, 2 files kept in the old folder, 4 settings migrated,
; 8 something failed, 16 nothing to do. The setup's own stops use codes the
; mask never gives: 32 the application is running, 33 the upgrade refused its
; arguments, 740 not an administrator.

!ifndef ARCH
  !define ARCH x86
!endif
!if "${ARCH}" == "x86"
  Target x86-unicode
!else if "${ARCH}" == "x64"
  Target amd64-unicode
!else
  !error "ARCH must be x86 or x64, not ${ARCH}"
!endif
!ifndef UPGRADE_DLL
  !error "Pass -DUPGRADE_DLL=<path of the Upgrade.dll of the setup's width (ARCH)>"
!endif
!ifndef OUTFILE
  !define OUTFILE "LedgerwickSetup.exe"
!endif
; The upgrade's progress reaches the setup through a callback. A 32-bit setup
; makes it with the System plug-in. The amd64 System plug-in makes no
; callbacks, so a 64-bit setup needs ProgressBridge.dll (ProgressBridge.c
; beside this script): pass the folder that holds it built for amd64 as
;   -DPROGRESS_BRIDGE_DIR=<folder>
; Without it, a 64-bit setup calls the upgrade without progress (ExW).
!if "${ARCH}" == "x64"
  !ifdef PROGRESS_BRIDGE_DIR
    !addplugindir /amd64-unicode "${PROGRESS_BRIDGE_DIR}"
    !define PROGRESS_BY_BRIDGE
  !endif
!else
  !define PROGRESS_BY_SYSTEM
!endif

; Unicode (the Target), yet the DLL still receives ANSI text: every text
; argument is passed as "m".
; A real version-5 setup installs program files and the DLL stores the
; installer's file name under HKEY_LOCAL_MACHINE: both need an administrator.
; The upgrade itself works in the profile of the account the setup runs as,
; so that must be the account that used version 4 (docs/integration.md).
RequestExecutionLevel admin
Name "Ledgerwick Complete 5"
OutFile "${OUTFILE}"
ShowInstDetails show
Page instfiles

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WordFunc.nsh"

; The exports are __stdcall, System::Call's default convention. NSIS 3 loads
; plug-in DLLs with the search restricted to the system folder, so the DLL is
; called by its full path and imports nothing but system DLLs.
!define UPGRADE "$PLUGINSDIR\Upgrade.dll"

Var PreviousVersion
Var OldFolder
Var ReportFile
Var DetailsFile
Var Counts
Var DataFolder
Var OldFolderAfter
Var ProgressBar

Function .onInit
  ; Where the manifest's request is not enforced (UAC off), say so rather
  ; than fail half-way through writing program files.
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "This setup needs administrator rights. Please run it again as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}

  InitPluginsDir
  File "/oname=$PLUGINSDIR\Upgrade.dll" "${UPGRADE_DLL}"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PREVIOUS=" $PreviousVersion
  ${If} ${Errors}
  ${OrIf} $PreviousVersion == ""
    StrCpy $PreviousVersion 4
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/OLDFOLDER=" $OldFolder
  ${If} ${Errors}
  ${OrIf} $OldFolder == ""
    StrCpy $OldFolder "C:\Ledgerwick"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/REPORT=" $ReportFile
  ${If} ${Errors}
  ${OrIf} $ReportFile == ""
    StrCpy $ReportFile "$PLUGINSDIR\upgrade report.txt"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/DETAILS=" $DetailsFile
  ${If} ${Errors}
    StrCpy $DetailsFile ""
  ${EndIf}

  ; Every call ends with ?u: the DLL is unloaded after it, so whatever call
  ; is the last one, the setup can delete the DLL afterwards.
  System::Call "${UPGRADE}::LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning() i .r0 ?u"
  ${If} $0 == 1
    MessageBox MB_ICONSTOP|MB_OK "Ledgerwick Complete is running. Please close it, then run this setup again." /SD IDOK
    SetErrorLevel 32
    Quit
  ${EndIf}
FunctionEnd

Section "Upgrade"
  ; The list file names this setup in its "Source: " line; the DLL stores
  ; the setup's file name as the InstallerFilename setting. Written as
  ; UTF-16 with its mark, and its path passed wide ("w"), so a setup in a
  ; folder named in any script is named right.
  FileOpen $1 "$PLUGINSDIR\install.lst" w
  FileWriteUTF16LE /BOM $1 "[Files]$\r$\nSource: $EXEPATH|main$\r$\n"
  FileClose $1
  System::Call "${UPGRADE}::LedgerwickInstaller_GetInstallerFilenameW(w '$PLUGINSDIR\install.lst') ?u"

  ; The upgrade export that tells what it did. Its text arguments are wide
  ; ("w"). Flag 1 previews: nothing changes, the report says what would.
  StrCpy $2 $OldFolder
  ${IfNot} ${Silent}
    StrCpy $3 "$PLUGINSDIR\preview.txt"
    System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5ExW(i $PreviousVersion, w r2, i 1, w r3) i .r0 ?u"
    ${If} $0 >= 0
      Push $3
      Call ReadReportSummary
      DetailPrint "Preview of the upgrade: $Counts"
      DetailPrint "  data folder: $DataFolder; old folder afterwards: $OldFolderAfter"
    ${EndIf}
  ${EndIf}

  ; A setup that wants no mask or report calls the plain wide export instead:
  ;   System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5W(i $PreviousVersion, w r2) i .r0 ?u"
  DetailPrint "Upgrading version $PreviousVersion in $OldFolder"
  ; In Functions, up to the result's lines: NSIS moves the bar itself after
  ; every instruction of a Section, which would take it back from where the
  ; upgrade's callback left it.
  Call UpgradeWithProgress

  ${If} $DetailsFile != ""
    Call SaveDetails
    SetAutoClose true
  ${EndIf}
SectionEnd

; The real run, its progress on the setup's own bar: the upgrade export with
; progress (ProgressW) takes the same arguments as ExW and gives the same
; result, and calls back with done, total and the item being worked on.
; The old folder in $2; the result into $0.
;
; A setup that cannot take a callback keeps the plain call; it gives the same
; result and report, only without progress (and so does ProgressW with a
; NULL callback):
;   System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5ExW(i $PreviousVersion, w r2, i 0, w '$ReportFile') i .r0 ?u"
Function UpgradeWithProgress
  StrCpy $ProgressBar 0 ; a silent run has no window: nothing is drawn
  ${IfNot} ${Silent}
    FindWindow $R2 "#32770" "" $HWNDPARENT ; the instfiles page
    GetDlgItem $ProgressBar $R2 1004
  ${EndIf}
  SetDetailsPrint textonly ; the items on the status line, not in the list
!ifdef PROGRESS_BY_SYSTEM
  ; The callback: (context, done, total, item) into $R6, $R7, $R8; it
  ; returns what the script pushes. While the DLL runs, each call of it
  ; returns to the script with "callback1" in $R0 (the setup's only
  ; callback); System::Call $R1 then resumes the DLL.
  System::Get "(p, l .R6, l .R7, w .R8) isR0"
  Pop $R1
  StrCpy $R0 ""
  System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5ProgressW(i $PreviousVersion, w r2, i 0, w '$ReportFile', k R1, p 0) i .r0 ?u"
  ${DoWhile} $R0 == "callback1"
    Call ShowUpgradeProgress
    StrCpy $R0 ""
    Push 1 ; go on; 0 would stop the upgrade after the operation in hand
    System::Call $R1
  ${Loop}
  System::Free $R1
!else ifdef PROGRESS_BY_BRIDGE
  GetFunctionAddress $R1 OnBridgeProgress
  ProgressBridge::Upgrade "${UPGRADE}" $PreviousVersion $2 0 $ReportFile $R1
  Pop $0
  ${If} $0 == "error"
    StrCpy $0 -4
  ${EndIf}
!else
  System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5ExW(i $PreviousVersion, w r2, i 0, w '$ReportFile') i .r0 ?u"
!endif
  SetDetailsPrint both
  Call ShowUpgradeResult
FunctionEnd

; The run's result in $0: the report's summary in the details, the user told
; where files stayed, a silent run's exit code.
Function ShowUpgradeResult
  ${If} $0 < 0
    DetailPrint "The upgrade did not run (result $0)"
    SetErrorLevel 33
  ${Else}
    Push $ReportFile
    Call ReadReportSummary
    DetailPrint "Upgrade finished (result $0): $Counts"
    DetailPrint "  data folder: $DataFolder"
    IntOp $1 $0 & 10 ; 2 kept, 8 failed
    ${If} $1 != 0
      DetailPrint "Some of your files stayed in $OldFolderAfter; the report lists them: $ReportFile"
      MessageBox MB_ICONINFORMATION|MB_OK "Some of your files could not be carried into $DataFolder. They are still in $OldFolderAfter.$\r$\n$\r$\nThe list is in $ReportFile." /SD IDOK
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel $0
    ${EndIf}
  ${EndIf}
FunctionEnd

!ifdef PROGRESS_BY_BRIDGE
; ProgressBridge's callback: done, total and item on the stack; leaves 1
; there to go on.
Function OnBridgeProgress
  Pop $R6
  Pop $R7
  Pop $R8
  Call ShowUpgradeProgress
  Push 1
FunctionEnd
!endif

!ifdef PROGRESS_BY_SYSTEM | PROGRESS_BY_BRIDGE
; One progress call: done in $R6, total in $R7 (0 while the work is being
; counted), the file or phase in $R8. The bar runs 0..30000, as NSIS's own.
!define PBM_SETPOS 0x0402
Function ShowUpgradeProgress
  ${If} $R7 == 0
    DetailPrint "Counting your files"
    Return
  ${EndIf}
  ${If} $ProgressBar != 0
    ; 64-bit arithmetic: done * 30000 overflows IntOp from about 70,000 units.
    System::Int64Op $R6 * 30000
    Pop $R9
    System::Int64Op $R9 / $R7
    Pop $R9
    SendMessage $ProgressBar ${PBM_SETPOS} $R9 0
  ${EndIf}
  DetailPrint "Carrying your files: $R8"
FunctionEnd
!endif

; The report's last line: "summary", the counts, the data folder and the old
; folder's final name, separated by tabs. Into $Counts, $DataFolder and
; $OldFolderAfter; the report's path on the stack.
Function ReadReportSummary
  Exch $R1
  Push $R2
  Push $R3
  StrCpy $Counts "(no report)"
  StrCpy $DataFolder ""
  StrCpy $OldFolderAfter ""
  ClearErrors
  FileOpen $R2 $R1 r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileRead $R2 $R3
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      StrCpy $R1 $R3 8
      ${If} $R1 == "summary$\t"
        ; Plain paths (the report is UTF-8; FileRead reads the ANSI code page).
        ${WordFind} $R3 "$\t" "+2" $Counts
        ${WordFind} $R3 "$\t" "+3" $DataFolder
        ${WordFind} $R3 "$\t" "+4" $OldFolderAfter
        ${WordReplace} $OldFolderAfter "$\r$\n" "" "+" $OldFolderAfter
      ${EndIf}
    ${Loop}
    FileClose $R2
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd

; Writes every line of the details list to $DetailsFile.
!define LVM_GETITEMCOUNT 0x1004
!define LVM_GETITEMTEXTW 0x1073
Function SaveDetails
  FindWindow $R0 "#32770" "" $HWNDPARENT
  GetDlgItem $R0 $R0 1016
  ${If} $R0 == 0
    Return
  ${EndIf}
  FileOpen $R1 $DetailsFile w
  ${If} $R1 == ""
    Return
  ${EndIf}
  SendMessage $R0 ${LVM_GETITEMCOUNT} 0 0 $R2
  System::Call "*(&w${NSIS_MAX_STRLEN}) p .R3"
  ; LVITEMW: mask, iItem, iSubItem, state, stateMask, (padding on x64),
  ; pszText, cchTextMax, ...
!if "${ARCH}" == "x64"
  System::Call "*(i 0, i 0, i 0, i 0, i 0, i 0, p R3, i ${NSIS_MAX_STRLEN}, i 0, i 0, p 0, i 0, i 0, p 0) p .R4"
!else
  System::Call "*(i 0, i 0, i 0, i 0, i 0, p R3, i ${NSIS_MAX_STRLEN}, i 0, p 0, i 0, i 0, p 0) p .R4"
!endif
  StrCpy $R5 0
  ${DoWhile} $R5 < $R2
    System::Call "user32::SendMessageW(p R0, i ${LVM_GETITEMTEXTW}, p R5, p R4)"
    System::Call "*$R3(&w${NSIS_MAX_STRLEN} .R6)"
    FileWrite $R1 "$R6$\r$\n"
    IntOp $R5 $R5 + 1
  ${Loop}
  FileClose $R1
  System::Free $R4
  System::Free $R3
FunctionEnd
