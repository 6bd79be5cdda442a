/* Upgrade.dll: the exports a Ledgerwick Complete version-5 setup program
 * calls. Every export is __stdcall (WINAPI) with an undecorated name, so it
 * can be reached by name from any setup tool (NSIS System plug-in, Inno
 * Setup "external", LoadLibraryA + GetProcAddress). Text arguments are ANSI.
 * Call one export at a time, from one thread. See docs/integration.md. */
#ifndef LEDGERWICK_UPGRADE_H
#define LEDGERWICK_UPGRADE_H

#ifdef _WIN32
#define LEDGERWICK_UPGRADE_API __declspec(dllimport) __stdcall
#else
#define LEDGERWICK_UPGRADE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Carries an installation older than version 5 over: INI settings into the
 * registry, data files, backups and letters into the data folder, the old
 * program removed, the old folder retired. previousVersion 5 or more does
 * nothing. oldInstallPath may be NULL or "" (then "C:\Ledgerwick").
 * Returns -1 when the last log line was written and the log then failed to
 * close, else 0; it reports nothing about the upgrade itself. */
int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5(int previousVersion,
                                                                  const char *oldInstallPath);

/* 1 when the application's main window is open, else 0. */
int LEDGERWICK_UPGRADE_API LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning(void);

/* Reads the list file's first "Source: " line and stores the file name it
 * names as the InstallerFilename setting. */
void LEDGERWICK_UPGRADE_API LedgerwickInstaller_GetInstallerFilename(const char *listFilePath);

/* Deletes the diagnostic log; non-zero when a log file was deleted. */
int LEDGERWICK_UPGRADE_API DeleteLogFile(void);

#ifdef __cplusplus
}
#endif

#endif
