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

!include "FileFunc.nsh"
!include "LogicLib.nsh"

; The exports are __stdcall, System::Call's default convention. NSIS 3 loads
; plug-in DLLs with the search restricted to the system folder, so the DLL is
; called by its full path and imports nothing but system DLLs.
!define UPGRADE "$PLUGINSDIR\Upgrade.dll"

Var PreviousVersion
Var OldFolder

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
