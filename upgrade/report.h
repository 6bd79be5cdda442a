// The report of one upgrade call, and its preview. Both live for that call
// only: the export opens them, the steps record their decisions where they
// make them, and the export closes them. Every upgrade export keeps one, with
// or without a file: the readme tells from it what stayed in the old folder.
// Outside such a call every function here does nothing (or does the plain
// operation), so the other exports and the steps' own tests are untouched.
#pragma once

#include "include/LedgerwickUpgrade.h"
#include "platform/platform.h"

// The bits of the ExW result and its flag, as callers know them.
enum {
    UPGRADE_CARRIED = LEDGERWICK_UPGRADE_CARRIED,
    UPGRADE_KEPT = LEDGERWICK_UPGRADE_KEPT,
    UPGRADE_SETTINGS = LEDGERWICK_UPGRADE_SETTINGS,
    UPGRADE_FAILED = LEDGERWICK_UPGRADE_FAILED,
    UPGRADE_NOTHING_TO_DO = LEDGERWICK_UPGRADE_NOTHING_TO_DO
};
#define UPGRADE_FLAG_PREVIEW LEDGERWICK_UPGRADE_PREVIEW
// Negative results: bad arguments only.
#define UPGRADE_BAD_FLAGS (-1)
#define UPGRADE_BAD_REPORT_PATH (-2)
#define UPGRADE_BAD_OLD_PATH (-3)

// What a report line says was done.
typedef enum ReportVerb {
    REPORT_COPIED,
    REPORT_MOVED,
    REPORT_RENAMED,
    REPORT_DELETED,
    REPORT_KEPT,
    REPORT_FAILED,
    REPORT_VERB_COUNT
} ReportVerb;

// Opens the call's report: 0, or a negative result (nothing opened, nothing
// changed). reportPath null or "" for no report file.
int ReportOpen(unsigned flags, const char *reportPath);
// Writes the lines of the files that stayed and the summary, puts the report
// in place, ends the call's report and gives the result mask, which the
// report's final lines decide.
int ReportClose(void);
// 1 while a report is open.
int ReportIsOpen(void);
// 1 while a preview runs: nothing may change, nothing is logged.
int ReportPreviewing(void);

// The room a reason takes, terminator included.
#define REPORT_REASON_CAPACITY 64

// Decisions, where the steps make them. A file kept or failed gets its line
// at the end, unless a later decision moved, renamed or deleted it: every
// file has one line that tells what became of it.
void ReportDecision(int verb, const char *before, const char *after, const char *reason);
// The reason given for a failure with this Win32 error.
void ReportFailureReason(unsigned long error, char *reason, size_t capacity);
// A setting (name as the report shows it) that could not be given text.
void ReportSettingFailed(const char *name, const char *text, unsigned long error);
// The files that stay in folder or below it, as the run stands now, one per
// call from *cursor (0 at first): 1 with path and reason set, 0 at the end.
int ReportNextStayingIn(const char *folder, int *cursor, const char **path, const char **reason);
// One file of the bulk engine; error is the failure's Win32 error. Failures
// are always told; what was done only while the user's files are on.
void ReportFileAction(int action, const char *source, const char *after, int done, unsigned long error);
// The engine's actions are on the user's files while this is on.
void ReportUserFiles(int on);
void ReportFailure(void);
void ReportNothingToDo(void);
void ReportFolders(const char *dataFolder, const char *oldFolder);
// The error of the last failed operation, planned ones included.
unsigned long ReportLastError(void);

// Settings: 1 when writing text to the setting would change what it holds
// (always 0 without a report); the caller then says whether it was written.
int ReportSettingChanges(int id, const char *text);
void ReportSettingsMigrated(void);
// In a preview: the written text kept for the call instead of the registry.
int PlanSetting(int id, const char *text, int changes);
// 1 when the preview has written the setting; destination and *result are
// then what ReadSetting gives.
int PlannedSetting(int id, char *destination, unsigned long capacity, const char *defaultText, int *result);

// The operations that change files, done, or in a preview planned: they then
// succeed or fail as the planned file system says, and change nothing.
int PlanOperation(int operation, const char *source, const char *destination);
int PlanFolderMade(const char *path);
int SetAttributesOrPlan(const char *path, unsigned long attributes);
int DeleteFileOrPlan(const char *path);
int RemoveFolderOrPlan(const char *path);

// Reads whose answer a planned operation changes.
unsigned long FileAttributesAsPlanned(const char *path);
// 1 when folder's entry name is gone in the planned file system.
int PlannedGone(const char *folder, const char *name);
// The real file whose bytes path holds in the planned file system, into out
// (OS_PATH_BUFFER); 0 when it holds none.
int ContentsAsPlanned(const char *path, char *out);
