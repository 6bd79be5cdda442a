// The plan of a preview, for this folder's files only: what the run would
// have made, moved or removed, looked up by path.
#pragma once

#include "preview/preview.h"

// ERROR_NOT_ENOUGH_MEMORY: the plan could not grow, so the preview cannot
// tell what the run would do; the operation fails as a real one would.
#define PLAN_ERROR_NO_MEMORY 8ul

typedef enum PlanKind {
    PLAN_GONE,    // removed, moved or renamed away
    PLAN_PRESENT, // now holds what origin held (a folder: everything below)
    PLAN_MADE     // a folder made empty
} PlanKind;

// 1 while a preview runs.
int Planning(void);

// Texts kept end to end for the call, by offset (the pool moves as it grows).
typedef struct TextPool {
    char *text;
    size_t used;
    size_t size;
} TextPool;
// The offset of text kept in the pool, or (size_t)-1 when no memory could
// be had.
size_t PoolKeep(TextPool *pool, const char *text);
void PoolFree(TextPool *pool);

// Progress: 0 (the last error ERROR_CANCELLED) once nothing may change.
int ProgressMayChange(void);
// 1 while the operations are being weighed.
int ProgressCounting(void);
// An operation (a letter naming its kind) on item was made; bytes weigh it
// while counting.
void ProgressDid(char operation, const char *item, unsigned long long bytes);

// PathIdentityForm, with the forms of the folders asked about last kept.
int PlanForm(const char *path, char *out);

// What a path holds as planned.
enum { AS_GONE, AS_MADE_FOLDER, AS_REAL };
// AS_GONE, AS_MADE_FOLDER, or AS_REAL with real (OS_PATH_BUFFER) set to the
// real path whose contents path holds now.
int PlanResolve(const char *path, char *real);
// PlanResolve for a folder, which also visits the name of every entry the
// plan put directly in it (made, copied or moved there), whatever became of
// it later; a name may come more than once.
typedef void (*PlanChildVisit)(const char *name, void *context);
int PlanChildren(const char *folder, char *real, PlanChildVisit visit, void *context);
// Notes what a real listing of realFolder (a form) said of one entry, so
// the attributes of what was listed are not asked of the file system again.
void PlanSeen(const char *realFolder, const OsFindData *entry);
// Notes that path now holds kind (origin: what it holds for PLAN_PRESENT,
// else null). 1, or 0 with the last error set.
int PlanRecord(int kind, const char *path, const char *origin);
// 1 when nothing is in folder once the planned changes are made.
int PlanFolderEmpty(const char *folder);
// Fails the operation in hand with error, as the platform call would: 0.
int PlanRefuse(unsigned long error);

// Attributes as planned (OS_INVALID_FILE_ATTRIBUTES when nothing is there).
unsigned long PlanAttributes(const char *path);

// The registry's planned values. PlanFindValue: 1 with *value as the plan
// wrote it last, or 0 when the plan wrote none. PlanWriteValue: 1, or 0 when
// no memory could be had.
typedef struct PlanValue {
    unsigned long type;
    unsigned long size;
    const unsigned char *data;
} PlanValue;
// 1 when the plan wrote a value under the key.
int PlanHasKey(OsRootKey root, const char *subKey);
int PlanFindValue(OsRootKey root, const char *subKey, const char *name, PlanValue *value);
int PlanWriteValue(OsRootKey root, const char *subKey, const char *name, unsigned long type,
                   const unsigned char *data, unsigned long size);
