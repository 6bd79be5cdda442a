// Finding a name in a folder without regard to case, answered from an index
// of the folder's names rather than by reading the folder: a file about to
// be created is looked up that way, and reading a folder of 100,000 names for
// each of them made the host quadratic.
//
// An index is good while the folder's change and modification times stand
// as they were. Every change the host makes goes through SimResolve first,
// which notes the name it touched; when the times move, those names alone
// are looked at again (lstat) and the index stays good. A change of times
// with no noted name, or more than fit the note, reads the folder again.
#include "sim_internal.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define INDEX_SLOTS 8
#define NOTED_MAX 16
#define EMPTY_CELL 0u
#define GONE_CELL 0xFFFFFFFFu

typedef struct NoteList {
    int count;
    int overflow;
    char names[NOTED_MAX][OS_PATH_BUFFER];
} NoteList;

typedef struct NameIndex {
    int used;
    unsigned long lastUse;
    char folder[SIM_POSIX_MAX];
    dev_t dev;
    ino_t ino;
    struct timespec mtime, ctime;
    // Names, each with its terminator, one after the other; cells hold an
    // offset + 1 into them (0 empty, GONE_CELL a removed name).
    char *pool;
    size_t poolUsed, poolSize;
    unsigned *cells;
    size_t cellCount, live, gone;
    // Names touched since the last look (current) and at the one before
    // (earlier): an operation resolves its paths before it changes them.
    NoteList current, earlier;
} NameIndex;

static NameIndex s_index[INDEX_SLOTS];
static unsigned long s_useClock;

// Names are matched as Windows matches them, letters of any script in
// either case: the hash and the comparison go by folded code points.
static size_t HashName(const char *name, size_t length)
{
    size_t h = 2166136261u;
    const unsigned char *p = (const unsigned char *)name;
    const unsigned char *end = p + length;
    while (p < end)
        h = (h ^ SimFoldCodePoint(SimNextCodePoint(&p))) * 16777619u;
    return h;
}

static int SameNameNoCase(const char *a, size_t aLength, const char *b, size_t bLength)
{
    const unsigned char *p = (const unsigned char *)a, *pEnd = p + aLength;
    const unsigned char *q = (const unsigned char *)b, *qEnd = q + bLength;
    while (p < pEnd && q < qEnd)
        if (SimFoldCodePoint(SimNextCodePoint(&p)) != SimFoldCodePoint(SimNextCodePoint(&q)))
            return 0;
    return p == pEnd && q == qEnd;
}

static int SameStat(const NameIndex *index, const struct stat *st)
{
    return index->dev == st->st_dev && index->ino == st->st_ino && index->mtime.tv_sec == st->st_mtim.tv_sec &&
           index->mtime.tv_nsec == st->st_mtim.tv_nsec && index->ctime.tv_sec == st->st_ctim.tv_sec &&
           index->ctime.tv_nsec == st->st_ctim.tv_nsec;
}

static void TakeStat(NameIndex *index, const struct stat *st)
{
    index->dev = st->st_dev;
    index->ino = st->st_ino;
    index->mtime = st->st_mtim;
    index->ctime = st->st_ctim;
}

static void Drop(NameIndex *index)
{
    free(index->pool);
    free(index->cells);
    memset(index, 0, sizeof *index);
}

// The cell of a name (exact spelling when exact, else any case), or of the
// free cell where it would go; null when the table is full.
static unsigned *Cell(NameIndex *index, const char *name, size_t length, int exact)
{
    size_t mask = index->cellCount - 1;
    unsigned *freeCell = NULL;
    for (size_t i = HashName(name, length) & mask, n = 0; n < index->cellCount; i = (i + 1) & mask, n++) {
        unsigned cell = index->cells[i];
        if (cell == EMPTY_CELL)
            return freeCell ? freeCell : &index->cells[i];
        if (cell == GONE_CELL) {
            if (!freeCell)
                freeCell = &index->cells[i];
            continue;
        }
        const char *have = index->pool + cell - 1;
        size_t haveLength = strlen(have);
        if (exact ? haveLength == length && memcmp(have, name, length) == 0
                  : SameNameNoCase(have, haveLength, name, length))
            return &index->cells[i];
    }
    return freeCell;
}

static int Grow(NameIndex *index);

static int Insert(NameIndex *index, const char *name)
{
    size_t length = strlen(name);
    if ((index->live + index->gone + 1) * 2 > index->cellCount && !Grow(index))
        return 0;
    unsigned *cell = Cell(index, name, length, 1);
    if (!cell)
        return 0;
    if (*cell != EMPTY_CELL && *cell != GONE_CELL)
        return 1; // already there
    if (index->poolUsed + length + 1 > index->poolSize) {
        size_t size = index->poolSize ? index->poolSize * 2 : 4096;
        while (index->poolUsed + length + 1 > size)
            size *= 2;
        char *pool = (char *)realloc(index->pool, size);
        if (!pool)
            return 0;
        index->pool = pool;
        index->poolSize = size;
    }
    if (index->poolUsed + 1 >= GONE_CELL)
        return 0;
    if (*cell == GONE_CELL)
        index->gone--;
    memcpy(index->pool + index->poolUsed, name, length + 1);
    *cell = (unsigned)(index->poolUsed + 1);
    index->poolUsed += length + 1;
    index->live++;
    return 1;
}

// Twice the cells (or as many when mostly removed names fill them).
static int Grow(NameIndex *index)
{
    size_t count = index->cellCount ? index->cellCount : 64;
    while ((index->live + 1) * 4 > count)
        count *= 2;
    unsigned *old = index->cells;
    size_t oldCount = index->cellCount;
    index->cells = (unsigned *)calloc(count, sizeof(unsigned));
    if (!index->cells) {
        index->cells = old;
        return 0;
    }
    index->cellCount = count;
    index->live = 0;
    index->gone = 0;
    for (size_t i = 0; i < oldCount; i++)
        if (old[i] != EMPTY_CELL && old[i] != GONE_CELL) {
            const char *name = index->pool + old[i] - 1;
            unsigned *cell = Cell(index, name, strlen(name), 1);
            *cell = old[i];
            index->live++;
        }
    free(old);
    return 1;
}

static void Remove(NameIndex *index, const char *name)
{
    unsigned *cell = Cell(index, name, strlen(name), 1);
    if (cell && *cell != EMPTY_CELL && *cell != GONE_CELL) {
        *cell = GONE_CELL;
        index->live--;
        index->gone++;
    }
}

// Reads the folder into a fresh index. 0 when it can't be read.
static int Build(NameIndex *index, const char *folder, const struct stat *st)
{
    Drop(index);
    DIR *dir = opendir(folder);
    if (!dir)
        return 0;
    index->used = 1;
    TextCopy(index->folder, sizeof index->folder, folder);
    TakeStat(index, st);
    struct dirent *entry;
    int ok = 1;
    while (ok && (entry = readdir(dir)) != NULL)
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            ok = Insert(index, entry->d_name);
    closedir(dir);
    if (!ok)
        Drop(index);
    return ok;
}

static NameIndex *Slot(const char *folder)
{
    for (int i = 0; i < INDEX_SLOTS; i++)
        if (s_index[i].used && strcmp(s_index[i].folder, folder) == 0)
            return &s_index[i];
    return NULL;
}

static void Note(NoteList *list, const char *name)
{
    for (int i = 0; i < list->count; i++)
        if (strcmp(list->names[i], name) == 0)
            return;
    if (list->count >= NOTED_MAX) {
        list->overflow = 1;
        return;
    }
    TextCopy(list->names[list->count++], OS_PATH_BUFFER, name);
}

// Brings the index up to the folder's present names by the noted ones.
// 0 when only reading the folder again can.
static int CatchUp(NameIndex *index, const struct stat *st)
{
    if (index->dev != st->st_dev || index->ino != st->st_ino || index->current.overflow ||
        index->earlier.overflow || (index->current.count == 0 && index->earlier.count == 0))
        return 0;
    const NoteList *lists[] = {&index->earlier, &index->current};
    for (int l = 0; l < 2; l++)
        for (int i = 0; i < lists[l]->count; i++) {
            char path[SIM_POSIX_MAX];
            struct stat entry;
            if (!TextFormat(path, sizeof path, "%s/%s", index->folder, lists[l]->names[i]))
                return 0;
            if (lstat(path, &entry) == 0) {
                if (!Insert(index, lists[l]->names[i]))
                    return 0;
            } else {
                Remove(index, lists[l]->names[i]);
            }
        }
    index->earlier = index->current;
    index->current.count = 0;
    index->current.overflow = 0;
    TakeStat(index, st);
    return 1;
}

int SimFindNameNoCase(const char *folder, const char *name, size_t length, char *out, size_t outSize)
{
    struct stat st;
    if (stat(folder, &st) != 0)
        return 0;
    NameIndex *index = Slot(folder);
    if (index && !SameStat(index, &st) && !CatchUp(index, &st))
        index = Build(index, folder, &st) ? index : NULL;
    if (!index) {
        NameIndex *oldest = &s_index[0];
        for (int i = 1; i < INDEX_SLOTS; i++)
            if (!s_index[i].used || (oldest->used && s_index[i].lastUse < oldest->lastUse))
                oldest = &s_index[i];
        if (!Build(oldest, folder, &st))
            return 0;
        index = oldest;
    }
    index->lastUse = ++s_useClock;
    unsigned *cell = Cell(index, name, length, 0);
    if (!cell || *cell == EMPTY_CELL || *cell == GONE_CELL)
        return 0;
    return TextCopyWhole(out, outSize, index->pool + *cell - 1);
}

void SimNoteName(const char *folder, const char *name)
{
    NameIndex *index = Slot(folder);
    if (index)
        Note(&index->current, name);
}

void SimForgetNames(void)
{
    for (int i = 0; i < INDEX_SLOTS; i++)
        Drop(&s_index[i]);
}
