; Example setup program: how a Ledgerwick Complete version-5 setup calls
; Upgrade.dll. It is built and run by the project's end-to-end tests and by
; scripts/demo, so every call shown here is exercised for real.
;
;   makensis -DUPGRADE_DLL=path\to\Upgrade.dll -DOUTFILE=LedgerwickSetup.exe LedgerwickSetup.nsi
;
; Command line of the built setup (all optional):
;   /S                    silent
;   /PREVIOUS=<n>         version of the installation being replaced (default 4)
;   /OLDFOLDER=<folder>   its installation folder (default C:\Ledgerwick)

!ifndef UPGRADE_DLL
  !error "Pass -DUPGRADE_DLL=<path of the 32-bit Upgrade.dll>"
!endif
!ifndef OUTFILE
  !define OUTFILE "LedgerwickSetup.exe"
!endif

Unicode true ; the DLL still receives ANSI text: every text argument is passed as "m"
RequestExecutionLevel user
Name "Ledgerwick Complete 5"
OutFile "${OUTFILE}"
ShowInstDetails show

!include "FileFunc.nsh"
!include "LogicLib.nsh"

; The exports are __stdcall, System::Call's default convention. NSIS 3 loads
; plug-in DLLs with the search restricted to the system folder, so the DLL is
; called by its full path and imports nothing but system DLLs.
!define UPGRADE "$PLUGINSDIR\Upgrade.dll"

Var PreviousVersion
Var OldFolder

Function .onInit
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

  ; Every call ends with ?u: the DLL is unloaded after it, so whatever call
  ; is the last one, the setup can delete the DLL afterwards.
  System::Call "${UPGRADE}::LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning() i .r0 ?u"
  ${If} $0 == 1
    MessageBox MB_ICONSTOP|MB_OK "Ledgerwick Complete is running. Please close it, then run this setup again." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Section "Upgrade"
  ; The list file names this setup in its "Source: " line; the DLL stores
  ; the setup's file name as the InstallerFilename setting.
  FileOpen $1 "$PLUGINSDIR\install.lst" w
  FileWrite $1 "[Files]$\r$\nSource: $EXEPATH|main$\r$\n"
  FileClose $1
  System::Call "${UPGRADE}::LedgerwickInstaller_GetInstallerFilename(m '$PLUGINSDIR\install.lst') ?u"

  DetailPrint "Upgrading version $PreviousVersion in $OldFolder"
  StrCpy $2 $OldFolder
  System::Call "${UPGRADE}::LedgerwickInstaller_UpgradeToVersion5(i $PreviousVersion, m r2) i .r0 ?u"
  DetailPrint "Upgrade finished (log status $0)"
SectionEnd
