// The report of one upgrade call. It lives for that call only: the export
// opens it, the steps record their decisions where they make them, and the
// export closes it. Every upgrade export keeps one, with
// or without a file: the readme tells from it what stayed in the old folder.
// Outside such a call every function here does nothing (or does the plain
// operation), so the other exports and the steps' own tests are untouched.
#pragma once

#include "include/LedgerwickUpgrade.h"
#include "files/files.h"

// The bits of the ExW result and its flag, as callers know them.
enum {
    UPGRADE_CARRIED = LEDGERWICK_UPGRADE_CARRIED,
    UPGRADE_KEPT = LEDGERWICK_UPGRADE_KEPT,
    UPGRADE_SETTINGS = LEDGERWICK_UPGRADE_SETTINGS,
    UPGRADE_FAILED = LEDGERWICK_UPGRADE_FAILED,
    UPGRADE_NOTHING_TO_DO = LEDGERWICK_UPGRADE_NOTHING_TO_DO,
    UPGRADE_CANCELLED = LEDGERWICK_UPGRADE_CANCELLED
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
// changed). reportPath null or "" for no report file. The report of a
// preview is written all the same: it is what the preview is for.
int ReportOpen(const char *reportPath);
// Writes the lines of the files that stayed and the summary, puts the report
// in place, ends the call's report and gives the result mask, which the
// report's final lines decide.
int ReportClose(void);
// 1 while a report is open.
int ReportIsOpen(void);

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
// 1 when a step has already said that the file at path stays (kept or failed).
int ReportTellsOfStaying(const char *path);
// The files that stay in folder or below it, as the run stands now, one per
// call from *cursor (0 at first): 1 with path and reason set, 0 at the end.
int ReportNextStayingIn(const char *folder, int *cursor, const char **path, const char **reason);
// What became of a file the engine acted on, as FileOutcome: the user's
// files get a line for what was done to them; the old program's files only
// for a failure, which the caller must hear of on any file.
void ReportUserFileOutcome(int action, const char *source, const char *after, int done, unsigned long error,
                           void *context);
void ReportProgramFileOutcome(int action, const char *source, const char *after, int done, unsigned long error,
                              void *context);
void ReportFailure(void);
void ReportNothingToDo(void);
void ReportFolders(const char *dataFolder, const char *oldFolder);
// A setting the run changed: the settings were migrated.
void ReportSettingsMigrated(void);
