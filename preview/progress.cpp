// Progress and cancel. Every change the upgrade makes comes through this
// layer, so it is here that the work is counted and a stop is kept: once the
// caller has said stop, no change is made at all, whichever step asks.
//
// A call with progress runs twice: first as a preview that weighs each
// operation (a copy by its bytes, anything else as one) into the total and
// keeps each weight under the operation's name, then for real, where each
// operation adds the weight it was given. The bar so never goes back, and
// a run that does other than the preview foresaw (a file that failed, one
// held) still ends exactly at the total.
#include "preview/plan.h"

#include <string.h>

// The bytes that weigh as much as one operation on a file.
#define BYTES_PER_UNIT (64ull * 1024)
// The caller hears at most this often while the work goes on.
#define PACE_MILLISECONDS 50ull

typedef struct Weighed {
    size_t key; // offset of "op:source" in the pool, or -1 for a free slot
    unsigned hash;
    unsigned long long weight;
} Weighed;

typedef struct Progress {
    ProgressSink sink;
    void *context;
    int counting;
    int cancelled;
    int held;       // a stop waits for the release
    int stopAsked;  // the sink said stop while held
    unsigned long long done;
    unsigned long long total;
    unsigned long long lastCall;
    char item[OS_PATH_BUFFER];
    Weighed *weights;
    int weightCount;
    int weightCapacity;
    int noMemory; // weights lost: each operation then weighs one
    TextPool pool;
} Progress;

static Progress *s_progress;

static unsigned Hash(const char *text)
{
    unsigned hash = 2166136261u;
    for (; *text; text++)
        hash = (hash ^ (unsigned char)*text) * 16777619u;
    return hash;
}

static int Slot(const char *key, unsigned hash)
{
    Progress *p = s_progress;
    int mask = p->weightCapacity - 1;
    for (int i = (int)(hash & (unsigned)mask);; i = (i + 1) & mask) {
        const Weighed *w = &p->weights[i];
        if (w->key == (size_t)-1 || (w->hash == hash && strcmp(p->pool.text + w->key, key) == 0))
            return i;
    }
}

static int GrowWeights(void)
{
    Progress *p = s_progress;
    if (2 * (p->weightCount + 1) <= p->weightCapacity)
        return 1;
    int capacity = p->weightCapacity ? 2 * p->weightCapacity : 1024;
    Weighed *grown = (Weighed *)OsAlloc((size_t)capacity * sizeof(Weighed));
    if (grown == nullptr)
        return 0;
    Weighed *old = p->weights;
    int oldCapacity = p->weightCapacity;
    p->weights = grown;
    p->weightCapacity = capacity;
    for (int i = 0; i < capacity; i++)
        grown[i].key = (size_t)-1;
    for (int i = 0; i < oldCapacity; i++)
        if (old[i].key != (size_t)-1)
            grown[Slot(p->pool.text + old[i].key, old[i].hash)] = old[i];
    OsFree(old);
    return 1;
}

// Tells the caller where the work stands; a caller that answers 0 stops it.
static void Tell(const char *item)
{
    Progress *p = s_progress;
    if (p->cancelled || p->stopAsked)
        return;
    p->lastCall = OsGetTickCount();
    // Whatever the caller's code does, the error of the operation just made
    // is still the one its step asks for.
    unsigned long error = OsGetLastError();
    if (!p->sink(p->context, p->done, p->counting ? 0 : p->total, item)) {
        if (p->held)
            p->stopAsked = 1;
        else
            p->cancelled = 1;
    }
    OsSetLastError(error);
}

int ProgressBegin(ProgressSink sink, void *context)
{
    ProgressEnd();
    if (sink == nullptr)
        return 1;
    Progress *p = (Progress *)OsAlloc(sizeof(Progress));
    if (p == nullptr)
        return 0;
    memset(p, 0, sizeof *p);
    p->sink = sink;
    p->context = context;
    p->counting = 1;
    p->lastCall = OsGetTickCount();
    s_progress = p;
    return 1;
}

void ProgressCounted(void)
{
    Progress *p = s_progress;
    if (p == nullptr || !p->counting)
        return;
    p->counting = 0;
    // The end of the run (the log and report closed) is the last step.
    p->total += 1;
    p->done = 0;
    TextCopy(p->item, sizeof p->item, "Starting");
    Tell(p->item);
}

void ProgressEnd(void)
{
    Progress *p = s_progress;
    if (p == nullptr)
        return;
    if (!p->counting && !p->cancelled) {
        p->done = p->total;
        Tell("Finished");
    }
    OsFree(p->weights);
    PoolFree(&p->pool);
    OsFree(p);
    s_progress = nullptr;
}

int PvCancelled(void)
{
    return s_progress != nullptr && s_progress->cancelled;
}

void PvHoldStop(void)
{
    if (s_progress != nullptr)
        s_progress->held = 1;
}

void PvReleaseStop(void)
{
    Progress *p = s_progress;
    if (p == nullptr)
        return;
    p->held = 0;
    if (p->stopAsked)
        p->cancelled = 1;
}

int ProgressMayChange(void)
{
    if (PvCancelled())
        return PlanRefuse(OS_ERROR_CANCELLED);
    return 1;
}

int ProgressCounting(void)
{
    return s_progress != nullptr && s_progress->counting;
}

void PvWorking(void)
{
    Progress *p = s_progress;
    if (p != nullptr && OsGetTickCount() - p->lastCall >= PACE_MILLISECONDS)
        Tell(p->counting ? "Counting" : p->item);
}

void ProgressDid(char operation, const char *item, unsigned long long bytes)
{
    Progress *p = s_progress;
    if (p == nullptr || p->cancelled)
        return;
    char key[OS_PATH_BUFFER + 2];
    key[0] = operation;
    key[1] = ':';
    TextCopy(key + 2, sizeof key - 2, item ? item : "");
    unsigned hash = Hash(key);
    if (p->counting) {
        unsigned long long weight = 1 + bytes / BYTES_PER_UNIT;
        p->total += weight;
        size_t at;
        if (!GrowWeights() || (at = PoolKeep(&p->pool, key)) == (size_t)-1) {
            p->noMemory = 1;
        } else {
            int i = Slot(key, hash);
            if (p->weights[i].key == (size_t)-1) {
                p->weights[i].key = at;
                p->weights[i].hash = hash;
                p->weights[i].weight = 0;
                p->weightCount++;
            }
            p->weights[i].weight += weight;
        }
    } else {
        // The weight the preview gave the operation, once: a try again after
        // a wait, or an operation it did not foresee, adds nothing. The end
        // of the run is a step of its own, so done stays below the total.
        unsigned long long weight = p->noMemory ? 1 : 0;
        if (p->weightCapacity > 0) {
            int i = Slot(key, hash);
            if (p->weights[i].key != (size_t)-1) {
                weight = p->weights[i].weight;
                p->weights[i].weight = 0;
            }
        }
        p->done = p->done + weight < p->total ? p->done + weight : p->total - 1;
    }
    // A setting's name is no path: the caller is told the phase.
    TextCopy(p->item, sizeof p->item, operation == 'S' ? "Settings" : item ? item : "");
    if (OsGetTickCount() - p->lastCall >= PACE_MILLISECONDS)
        Tell(p->counting ? "Counting" : p->item);
}
