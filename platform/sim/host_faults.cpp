// Faults a test arms (the nth call of an operation failing once or from then
// on, a volume that fills up, allocations that run out), the record of which
// of them fired, and the call counters tests read. All of it lives in the
// host state, so a reset forgets it with everything else.
#include "sim_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *const kOperationNames[] = {
    "GetFileAttributes", "SetFileAttributes", "DeleteFile", "CopyFile", "MoveFile", "Rename",
    "CreateDirectory", "MakeSureDirectoryPathExists", "RemoveDirectory", "Fopen", "Fgets", "Fread",
    "Fwrite", "Fclose", "FindFirst", "FindNext", "FindClose", "RegOpenKey", "RegCreateKey",
    "RegQueryValueEx", "RegSetValueEx", "RegDeleteValue", "RegFlushKey", "RegCloseKey",
    "GetPrivateProfileString", "SHGetSpecialFolderPath", "SHGetFolderPathFromLocation", "GetDriveType",
    "GetWindowsDirectory", "GetLocalTime", "GetWindowText", "PathAppend", "PathAddBackslash",
    "PathRemoveBackslash", "PathMatchSpec", "PathStripToRoot", "Alloc", "GetFullPathName", "GetLongPathName",
    "SameFile", "Sleep", "Fflush", "GetFileFacts",
};
static_assert(sizeof kOperationNames / sizeof kOperationNames[0] == SIM_OP_COUNT, "a name per operation");

const char *SimOperationName(SimOperation operation)
{
    if (operation >= 0 && operation < SIM_OP_COUNT)
        return kOperationNames[operation];
    if (operation == SIM_OP_ANY_MUTATING)
        return "any mutating call";
    if (operation == SIM_OP_ANY_FILE_ACCESS)
        return "any access to the file";
    return "?";
}

static SimFaultRecord *NewRecord(SimFaultKind kind)
{
    if (g_sim.faultCount >= SIM_MAX_FAULTS) {
        fprintf(stderr, "SimArmFault: more than %d faults on one host\n", SIM_MAX_FAULTS);
        abort();
    }
    SimFaultRecord *r = &g_sim.faults[g_sim.faultCount++];
    memset(r, 0, sizeof *r);
    r->kind = kind;
    r->armed = 1;
    return r;
}

int SimArmFault(SimOperation operation, const char *path, unsigned long nth, SimFaultMode mode,
                unsigned long error)
{
    SimFaultRecord *r = NewRecord(SIM_FAULT_CALL);
    r->operation = operation;
    TextCopy(r->path, sizeof r->path, path ? path : "");
    r->nth = nth ? nth : 1;
    r->mode = mode;
    r->error = error;
    return g_sim.faultCount - 1;
}

int SimFailOperation(SimOperation operation, const char *path, unsigned long error)
{
    return SimArmFault(operation, path, 1, SIM_FAULT_FROM_THEN_ON, error);
}

void SimFailAllocAfter(int successes)
{
    for (int i = 0; i < g_sim.faultCount; i++)
        if (g_sim.faults[i].kind == SIM_FAULT_CALL && g_sim.faults[i].operation == SIM_OP_ALLOC)
            g_sim.faults[i].armed = 0;
    if (successes >= 0)
        SimArmFault(SIM_OP_ALLOC, NULL, (unsigned long)successes + 1, SIM_FAULT_FROM_THEN_ON,
                    SIM_ERROR_NOT_ENOUGH_MEMORY);
}

void SimClearFaults(void)
{
    for (int i = 0; i < g_sim.faultCount; i++)
        g_sim.faults[i].armed = 0;
}

static int Covers(SimOperation faulted, SimOperation operation, int mutating)
{
    if (faulted == SIM_OP_ANY_MUTATING)
        return mutating;
    if (faulted == SIM_OP_ANY_FILE_ACCESS)
        return operation == SIM_OP_COPY_FILE || operation == SIM_OP_MOVE_FILE || operation == SIM_OP_RENAME ||
               operation == SIM_OP_DELETE_FILE || operation == SIM_OP_FOPEN;
    return faulted == operation;
}

// Counts the call for one fault; 1 when the fault fails it.
static int Strikes(SimFaultRecord *r)
{
    r->seen++;
    if (r->seen < r->nth || (r->seen > r->nth && r->mode == SIM_FAULT_ONCE))
        return 0;
    r->fired++;
    g_sim.faultsFired++;
    return 1;
}

int SimFaultHit(SimOperation operation, int mutating, const char *path1, const char *path2)
{
    int hit = 0;
    for (int i = 0; i < g_sim.faultCount; i++) {
        SimFaultRecord *r = &g_sim.faults[i];
        if (!r->armed || r->kind != SIM_FAULT_CALL || !Covers(r->operation, operation, mutating))
            continue;
        if (r->path[0] && !(path1 && SimSamePath(r->path, path1)) && !(path2 && SimSamePath(r->path, path2)))
            continue;
        // Every matching fault sees the call, the first to fire gives the error.
        if (Strikes(r) && !hit) {
            SimSetLastError(r->error);
            hit = 1;
        }
    }
    return hit;
}

int SimPathFaultHit(SimOperation operation, const char *path)
{
    int hit = 0;
    for (int i = 0; i < g_sim.faultCount; i++) {
        SimFaultRecord *r = &g_sim.faults[i];
        if (!r->armed || r->kind != SIM_FAULT_CALL || r->operation != operation || !r->path[0] ||
            !SimSamePath(r->path, path))
            continue;
        if (Strikes(r) && !hit) {
            SimSetLastError(r->error);
            hit = 1;
        }
    }
    return hit;
}

static int LetterIndex(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        letter = (char)(letter - 'a' + 'A');
    return (letter >= 'A' && letter <= 'Z') ? letter - 'A' : -1;
}

// The armed limit of a drive letter, or null.
static SimFaultRecord *VolumeLimit(char letter)
{
    int index = LetterIndex(letter);
    for (int i = 0; index >= 0 && i < g_sim.faultCount; i++) {
        SimFaultRecord *r = &g_sim.faults[i];
        if (r->armed && r->kind == SIM_FAULT_VOLUME && r->letter == 'A' + index)
            return r;
    }
    return NULL;
}

void SimSetVolumeSpace(char letter, long long bytes)
{
    int index = LetterIndex(letter);
    if (index < 0)
        return;
    SimFaultRecord *old = VolumeLimit(letter);
    if (old)
        old->armed = 0;
    if (bytes < 0)
        return;
    SimFaultRecord *r = NewRecord(SIM_FAULT_VOLUME);
    r->letter = (char)('A' + index);
    r->space = r->limit = bytes;
}

long long SimVolumeSpace(char letter)
{
    SimFaultRecord *r = VolumeLimit(letter);
    return r ? r->space : -1;
}

void SimUseVolumeSpace(char letter, long long bytes)
{
    SimFaultRecord *r = VolumeLimit(letter);
    if (r)
        r->space = bytes >= r->space ? 0 : r->space - bytes;
}

void SimVolumeRefused(char letter)
{
    SimFaultRecord *r = VolumeLimit(letter);
    if (r) {
        r->fired++;
        g_sim.faultsFired++;
    }
}

int SimFaultCount(void)
{
    return g_sim.faultCount;
}

unsigned long SimFaultFired(int fault, char *description, size_t size)
{
    if (description && size)
        description[0] = '\0';
    if (fault < 0 || fault >= g_sim.faultCount)
        return 0;
    const SimFaultRecord *r = &g_sim.faults[fault];
    if (description && r->kind == SIM_FAULT_VOLUME) {
        TextFormat(description, size, "volume %c: limited to %lld bytes", r->letter, r->limit);
    } else if (description) {
        TextFormat(description, size, "%s on %s, call %lu%s", SimOperationName(r->operation),
                   r->path[0] ? r->path : "any path", r->nth, r->mode == SIM_FAULT_ONCE ? " once" : " and after");
    }
    return r->fired;
}

unsigned long SimFaultsFired(void)
{
    return g_sim.faultsFired;
}

void SimCountCall(SimOperation operation, int mutating)
{
    if (operation >= 0 && operation < SIM_OP_COUNT)
        g_sim.calls[operation]++;
    if (mutating)
        g_sim.mutatingCalls++;
}

unsigned long SimCallCount(SimOperation operation)
{
    if (operation == SIM_OP_ANY_MUTATING)
        return g_sim.mutatingCalls;
    return operation >= 0 && operation < SIM_OP_COUNT ? g_sim.calls[operation] : 0;
}

void SimCountScan(void)
{
    g_sim.scans++;
}

unsigned long SimDirectoryScans(void)
{
    return g_sim.scans;
}
