// Faults a test switches on (an operation failing on a path, a volume that
// fills up, allocations that run out) and the call counters tests read.
#include "sim_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_FAULTS 64
#define MAX_COUNTERS 64
#define OPERATION_MAX 48

typedef struct Fault {
    char operation[OPERATION_MAX];
    char path[OS_MAX_PATH];
    int anyPath;
    unsigned long error;
} Fault;

typedef struct Counter {
    char operation[OPERATION_MAX];
    unsigned long calls;
} Counter;

static Fault s_faults[MAX_FAULTS];
static int s_faultCount;
static long long s_volumeSpace[26];
static int s_allocSuccessesLeft = -1;
static Counter s_counters[MAX_COUNTERS];
static int s_counterCount;
static unsigned long s_scans;

void SimResetFaults(void)
{
    s_faultCount = 0;
    for (int i = 0; i < 26; i++)
        s_volumeSpace[i] = -1;
    s_allocSuccessesLeft = -1;
}

void SimResetCounters(void)
{
    s_counterCount = 0;
    s_scans = 0;
}

void SimClearFaults(void)
{
    SimResetFaults();
}

void SimFailOperation(const char *operation, const char *path, unsigned long error)
{
    if (!operation)
        return;
    if (s_faultCount >= MAX_FAULTS) {
        fprintf(stderr, "SimFailOperation: more than %d faults\n", MAX_FAULTS);
        abort();
    }
    Fault *f = &s_faults[s_faultCount++];
    TextCopy(f->operation, sizeof f->operation, operation);
    f->anyPath = path == NULL;
    TextCopy(f->path, sizeof f->path, path ? path : "");
    f->error = error;
}

int SimFaultHit(const char *operation, const char *path1, const char *path2)
{
    for (int i = 0; i < s_faultCount; i++) {
        const Fault *f = &s_faults[i];
        if (TextCompareNoCase(f->operation, operation) != 0)
            continue;
        if (f->anyPath || (path1 && SimSamePath(f->path, path1)) || (path2 && SimSamePath(f->path, path2))) {
            SimSetLastError(f->error);
            return 1;
        }
    }
    return 0;
}

static int LetterIndex(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        letter = (char)(letter - 'a' + 'A');
    return (letter >= 'A' && letter <= 'Z') ? letter - 'A' : -1;
}

void SimSetVolumeSpace(char letter, long long bytes)
{
    int i = LetterIndex(letter);
    if (i >= 0)
        s_volumeSpace[i] = bytes < 0 ? -1 : bytes;
}

long long SimVolumeSpace(char letter)
{
    int i = LetterIndex(letter);
    return i >= 0 ? s_volumeSpace[i] : -1;
}

void SimUseVolumeSpace(char letter, long long bytes)
{
    int i = LetterIndex(letter);
    if (i < 0 || s_volumeSpace[i] < 0)
        return;
    s_volumeSpace[i] = bytes >= s_volumeSpace[i] ? 0 : s_volumeSpace[i] - bytes;
}

void SimFailAllocAfter(int successes)
{
    s_allocSuccessesLeft = successes < 0 ? -1 : successes;
}

void *OsAlloc(size_t size)
{
    SimCountCall("Alloc");
    if (s_allocSuccessesLeft == 0) {
        SimSetLastError(SIM_ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (s_allocSuccessesLeft > 0)
        s_allocSuccessesLeft--;
    return malloc(size ? size : 1);
}

void OsFree(void *memory)
{
    free(memory);
}

void SimCountCall(const char *operation)
{
    for (int i = 0; i < s_counterCount; i++)
        if (strcmp(s_counters[i].operation, operation) == 0) {
            s_counters[i].calls++;
            return;
        }
    if (s_counterCount >= MAX_COUNTERS)
        return;
    TextCopy(s_counters[s_counterCount].operation, OPERATION_MAX, operation);
    s_counters[s_counterCount].calls = 1;
    s_counterCount++;
}

unsigned long SimCallCount(const char *operation)
{
    for (int i = 0; operation && i < s_counterCount; i++)
        if (TextCompareNoCase(s_counters[i].operation, operation) == 0)
            return s_counters[i].calls;
    return 0;
}

void SimCountScan(void)
{
    s_scans++;
}

unsigned long SimDirectoryScans(void)
{
    return s_scans;
}
