/* Upgrade.dll: the exports a Ledgerwick Complete version-5 setup program
 * calls. Every export is __stdcall (WINAPI) with an undecorated name, so it
 * can be reached by name from any setup tool (NSIS System plug-in, Inno
 * Setup "external", LoadLibraryA + GetProcAddress). Text arguments of the
 * ...W exports are UTF-16 and reach any path in any script: use them. Those
 * of the others are in the system's ANSI code page.
 * Call one export at a time, from one thread. See docs/integration.md. */
#ifndef LEDGERWICK_UPGRADE_H
#define LEDGERWICK_UPGRADE_H

#if defined(_WIN32) && defined(LEDGERWICK_UPGRADE_BUILD)
/* The library itself, which exports these names through its .def file. */
#define LEDGERWICK_UPGRADE_API __stdcall
#elif defined(_WIN32)
#define LEDGERWICK_UPGRADE_API __declspec(dllimport) __stdcall
#else
#define LEDGERWICK_UPGRADE_API
#endif

#include <stddef.h> /* wchar_t */

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

/* The same, with the old folder as UTF-16: a path in any script. */
int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5W(int previousVersion,
                                                                   const wchar_t *oldInstallPath);

/* Bits of the result of LedgerwickInstaller_UpgradeToVersion5ExW. */
#define LEDGERWICK_UPGRADE_CARRIED 1       /* user files copied or moved into the data folder */
#define LEDGERWICK_UPGRADE_KEPT 2          /* user files left in the old folder */
#define LEDGERWICK_UPGRADE_SETTINGS 4      /* settings carried over or repointed */
#define LEDGERWICK_UPGRADE_FAILED 8        /* an operation failed, or the old folder was refused */
#define LEDGERWICK_UPGRADE_NOTHING_TO_DO 16 /* previous version 5 or later, or no old folder */
#define LEDGERWICK_UPGRADE_CANCELLED 32    /* the progress callback said stop (ProgressW only) */
/* flags */
#define LEDGERWICK_UPGRADE_PREVIEW 1u /* change nothing; report what the run would do */

/* The same upgrade as LedgerwickInstaller_UpgradeToVersion5 (same steps, same
 * log), telling what it did. oldInstallPath may be NULL or L"" (then
 * "C:\Ledgerwick"). With reportPath not NULL or L"", writes a UTF-8 report
 * there (one line per user file or folder, then a summary line), under a
 * temporary name first, put in place at the end. flags 0, or
 * LEDGERWICK_UPGRADE_PREVIEW: nothing at all is changed or logged, and the
 * report says what the run would do, assuming each operation succeeds.
 * Returns the bits above, or a negative number for a bad argument only:
 * -1 an unknown flag, -2 a report path that can't be written, -3 an old
 * folder path too long to be a path. A negative result changes nothing. */
int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5ExW(int previousVersion,
                                                                    const wchar_t *oldInstallPath,
                                                                    unsigned flags,
                                                                    const wchar_t *reportPath);

/* 1 when the application's main window is open, else 0. */
/* The callback of LedgerwickInstaller_UpgradeToVersion5ProgressW, stdcall
 * on 32-bit Windows as the exports are: done and total are units of work (a
 * file copied weighs one unit and one for each 64 KB, every other change
 * one), item the path being worked on or a phase ("Counting", "Starting",
 * "Finished"). While total is 0 the work is still being counted, before
 * anything changes; from the first call with a total, the total stays, done
 * never goes back, and a run not stopped ends with one call where done is
 * the total. Calls come about every 50 ms of work, from the calling thread.
 * Return non-zero to go on, 0 to stop: the operation in hand is finished,
 * nothing more is changed, the log and the report are closed, and the
 * result has LEDGERWICK_UPGRADE_CANCELLED. A later call carries on from
 * where the stopped one left off and ends as an uninterrupted one would. */
#if defined(_WIN32)
#define LEDGERWICK_UPGRADE_CALLBACK __stdcall
#else
#define LEDGERWICK_UPGRADE_CALLBACK
#endif
typedef int(LEDGERWICK_UPGRADE_CALLBACK *LedgerwickProgressCallback)(void *context, unsigned long long done,
                                                                     unsigned long long total, const wchar_t *item);

/* LedgerwickInstaller_UpgradeToVersion5ExW with progress and cancel: the
 * same flags, report and result, and callback (may be NULL: then exactly
 * ExW) is called with context as described above. The work is counted
 * first by a preview, so the call takes a little longer than ExW. */
int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5ProgressW(int previousVersion,
                                                                          const wchar_t *oldInstallPath,
                                                                          unsigned flags,
                                                                          const wchar_t *reportPath,
                                                                          LedgerwickProgressCallback callback,
                                                                          void *context);

/* Windows Installer custom actions (type 1: a DLL in the Binary table),
 * the upgrade inside an MSI package. install is the action's MSIHANDLE.
 * msi.dll is loaded only while one of them runs.
 *
 * LedgerwickInstaller_MsiPrepareUpgrade, immediate, after InstallInitialize:
 * reads LW_PREVIOUSVERSION ("" is 4), LW_OLDFOLDER ("" is "C:\Ledgerwick"),
 * LW_REPORT ("" for none) and LW_PREVIEW ("", "0" or "1"), and checks them
 * before anything changes: a bad one is named in the installer's log and
 * the action fails (1603, ERROR_INSTALL_FAILURE). Good ones are handed on
 * as the CustomActionData of the deferred action, which is why that action's
 * Id must be exactly LedgerwickInstaller_MsiUpgrade; it adds the upgrade's
 * progress ticks to the installer's total.
 *
 * LedgerwickInstaller_MsiUpgrade, deferred and impersonated (the upgrade
 * carries the installing user's settings and files): runs
 * LedgerwickInstaller_UpgradeToVersion5ProgressW, its progress as
 * INSTALLMESSAGE_PROGRESS ticks and its log lines (and the report's lines)
 * as INSTALLMESSAGE_INFO lines. Returns 0 when the upgrade ran, also when
 * it kept a file in the old folder or an operation failed (nothing is lost,
 * the report tells; failing would roll back the new program while the
 * upgrade's moves stay); 1602 (ERROR_INSTALL_USEREXIT) when the installer
 * answered cancel, after the operation in hand (a later install finishes
 * the upgrade); 1603 without CustomActionData or when the report can't be
 * written, with nothing changed. A rollback of the rest of the install does
 * not undo the upgrade's moves. */
unsigned LEDGERWICK_UPGRADE_API LedgerwickInstaller_MsiPrepareUpgrade(unsigned long install);
unsigned LEDGERWICK_UPGRADE_API LedgerwickInstaller_MsiUpgrade(unsigned long install);

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning(void);

/* Reads the list file's first "Source: " line and stores the file name it
 * names as the InstallerFilename setting. */
void LEDGERWICK_UPGRADE_API LedgerwickInstaller_GetInstallerFilename(const char *listFilePath);
/* The same, with the list file's path as UTF-16. Either reads the list file
 * as UTF-16 or UTF-8 when it starts with that byte-order mark, else as ANSI. */
void LEDGERWICK_UPGRADE_API LedgerwickInstaller_GetInstallerFilenameW(const wchar_t *listFilePath);

/* Deletes the diagnostic log; non-zero when a log file was deleted. */
int LEDGERWICK_UPGRADE_API DeleteLogFile(void);

#ifdef __cplusplus
}
#endif

#endif
