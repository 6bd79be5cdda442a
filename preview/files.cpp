// Files and folders, done or planned. A planned operation succeeds or fails
// as the planned file system says, with the error the platform call would
// give there, and changes nothing.
#include "preview/plan.h"

#include <string.h>

static int HasPath(const char *path)
{
    return path != nullptr && path[0] != '\0';
}

static int PlannedFolder(const char *path)
{
    unsigned long attributes = PlanAttributes(path);
    return attributes != OS_INVALID_FILE_ATTRIBUTES && (attributes & OS_FILE_ATTRIBUTE_DIRECTORY);
}

static int PlannedThere(const char *path)
{
    return PlanAttributes(path) != OS_INVALID_FILE_ATTRIBUTES;
}

// CopyFile and MoveFile make no folder: the one a file goes into must be
// there.
static int InAFolder(const char *path)
{
    char parent[OS_PATH_BUFFER];
    return PlanForm(path, parent) && PathToParent(parent) && PlannedFolder(parent);
}

// Counts an operation made on path (one that failed did no work: a file
// that was never there is no step); a copy weighs its bytes, which only the
// count asks for.
static void Did(char operation, const char *path)
{
    // The operation's own error is what its caller asks for next.
    unsigned long error = OsGetLastError();
    unsigned long long bytes = 0;
    OsFileFacts facts;
    if (operation == 'C' && ProgressCounting() && PvGetFileFacts(path, &facts))
        bytes = facts.size;
    ProgressDid(operation, path, bytes);
    OsSetLastError(error);
}

unsigned long PvGetFileAttributes(const char *path)
{
    return Planning() ? PlanAttributes(path) : OsGetFileAttributes(path);
}

int PvGetFileFacts(const char *path, OsFileFacts *facts)
{
    if (!Planning())
        return OsGetFileFacts(path, facts);
    // A copy or a move the plan made keeps its original's facts, as CopyFile
    // and MoveFile keep the size and the last-write time.
    char real[OS_PATH_BUFFER];
    switch (HasPath(path) ? PlanResolve(path, real) : AS_GONE) {
    case AS_GONE:
        return PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
    case AS_MADE_FOLDER:
        memset(facts, 0, sizeof *facts);
        facts->attributes = OS_FILE_ATTRIBUTE_DIRECTORY;
        return 1;
    default:
        return OsGetFileFacts(real, facts);
    }
}

int PvSetFileAttributes(const char *path, unsigned long attributes)
{
    if (!ProgressMayChange())
        return 0;
    if (!Planning())
        return OsSetFileAttributes(path, attributes);
    return PlannedThere(path) ? 1 : PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
}

static int PlanDelete(const char *path)
{
    if (!PlannedThere(path))
        return PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
    if (PlannedFolder(path))
        return PlanRefuse(OS_ERROR_ACCESS_DENIED);
    return PlanRecord(PLAN_GONE, path, nullptr);
}

int PvDeleteFile(const char *path)
{
    if (!ProgressMayChange())
        return 0;
    int done = Planning() ? PlanDelete(path) : OsDeleteFile(path);
    if (done)
        Did('D', path);
    return done;
}

static int PlanCopy(const char *source, const char *destination)
{
    if (!PlannedThere(source))
        return PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
    if (!HasPath(destination) || PlannedFolder(source) || PlannedFolder(destination))
        return PlanRefuse(OS_ERROR_ACCESS_DENIED);
    if (!InAFolder(destination))
        return PlanRefuse(OS_ERROR_PATH_NOT_FOUND);
    return PlanRecord(PLAN_PRESENT, destination, source);
}

// A move or a rename: neither replaces what is there.
static int PlanMove(const char *source, const char *destination)
{
    if (!PlannedThere(source))
        return PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
    if (!HasPath(destination))
        return PlanRefuse(OS_ERROR_INVALID_PARAMETER);
    if (PlannedThere(destination))
        return PlanRefuse(OS_ERROR_ALREADY_EXISTS);
    if (!InAFolder(destination))
        return PlanRefuse(OS_ERROR_PATH_NOT_FOUND);
    return PlanRecord(PLAN_PRESENT, destination, source) && PlanRecord(PLAN_GONE, source, nullptr);
}

int PvCopyFile(const char *source, const char *destination)
{
    if (!ProgressMayChange())
        return 0;
    int done = Planning() ? PlanCopy(source, destination) : OsCopyFile(source, destination, 0);
    if (done)
        Did('C', source);
    return done;
}

int PvMoveFile(const char *source, const char *destination)
{
    if (!ProgressMayChange())
        return 0;
    int done = Planning() ? PlanMove(source, destination) : OsMoveFile(source, destination);
    if (done)
        Did('M', source);
    return done;
}

int PvRename(const char *source, const char *destination)
{
    if (!ProgressMayChange())
        return -1;
    int result = Planning() ? (PlanMove(source, destination) ? 0 : -1) : OsRename(source, destination);
    if (result == 0)
        Did('R', source);
    return result;
}

// Where MakeSureDirectoryPathExists starts making folders: after the root
// ("C:\", "C:", "\\server\share\"); the folders of a root are never made.
static size_t RootLength(const char *path)
{
    if (path[0] != '\0' && path[1] == ':')
        return path[2] == '\\' ? 3 : 2;
    if (path[0] == '\\' && path[1] == '\\') {
        int slashes = 0;
        size_t i = 2;
        for (; path[i] != '\0'; i++)
            if (path[i] == '\\' && ++slashes == 2)
                return i + 1;
        return i;
    }
    return 0;
}

// CreateDirectory makes one folder, in a folder that is there: on a drive
// that does not exist, or below a folder still missing, it fails.
static int PlanFolderMade(const char *path)
{
    if (PlannedFolder(path))
        return 1;
    if (PlannedThere(path))
        return PlanRefuse(OS_ERROR_ALREADY_EXISTS);
    char parent[OS_PATH_BUFFER];
    if (!PlanForm(path, parent) || !PathToParent(parent) || !PlannedFolder(parent))
        return PlanRefuse(OS_ERROR_PATH_NOT_FOUND);
    return PlanRecord(PLAN_MADE, path, nullptr);
}

static int PlanFolderChain(const char *path)
{
    // One CreateDirectory for each prefix that ends in a backslash. A
    // forward slash splits nothing here; CreateDirectory reads it, and then
    // the folder above it must already be there, as for any folder it makes.
    char prefix[OS_PATH_BUFFER];
    if (!HasPath(path) || !TextCopyPath(prefix, path))
        return PlanRefuse(OS_ERROR_INVALID_PARAMETER);
    for (size_t i = RootLength(prefix); prefix[i] != '\0'; i++) {
        if (prefix[i] != '\\' || i == 0 || prefix[i - 1] == '\\')
            continue;
        prefix[i] = '\0';
        // What is there, folder or not, is passed over; CreateDirectory
        // below a file then fails as below any missing folder.
        int made = PlannedThere(prefix) || PlanFolderMade(prefix);
        prefix[i] = '\\';
        if (!made)
            return 0;
    }
    return 1;
}

int PvMakeSureDirectoryPathExists(const char *path)
{
    if (!ProgressMayChange())
        return 0;
    int done = Planning() ? PlanFolderChain(path) : OsMakeSureDirectoryPathExists(path);
    if (done)
        Did('F', path);
    return done;
}

static int PlanRemoveFolder(const char *path)
{
    if (!PlannedFolder(path))
        return PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
    if (!PlanFolderEmpty(path))
        return PlanRefuse(OS_ERROR_DIR_NOT_EMPTY);
    return PlanRecord(PLAN_GONE, path, nullptr);
}

int PvRemoveDirectory(const char *path)
{
    if (!ProgressMayChange())
        return 0;
    int done = Planning() ? PlanRemoveFolder(path) : OsRemoveDirectory(path);
    if (done)
        Did('X', path);
    return done;
}

int PvSHGetSpecialFolderPath(int csidl, char *path, int create)
{
    return OsSHGetSpecialFolderPath(csidl, path, Planning() ? 0 : create);
}

OsFile *PvFopen(const char *path, const char *mode)
{
    int reads = mode != nullptr && (strcmp(mode, "r") == 0 || strcmp(mode, "rb") == 0);
    if (!reads && !ProgressMayChange())
        return nullptr;
    if (!Planning()) {
        OsFile *file = OsFopen(path, mode);
        // A file written whole (the readme) is a step of the work; the log,
        // appended to, is not.
        if (file != nullptr && mode != nullptr && mode[0] == 'w')
            Did('W', path);
        return file;
    }
    if (!reads) {
        PlanRefuse(OS_ERROR_ACCESS_DENIED);
        return nullptr;
    }
    char real[OS_PATH_BUFFER];
    if (!HasPath(path) || PlanResolve(path, real) != AS_REAL) {
        PlanRefuse(OS_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return OsFopen(real, mode);
}

int PvHoldSameBytes(const char *a, const char *b, int *samePath)
{
    char realA[OS_PATH_BUFFER];
    char realB[OS_PATH_BUFFER];
    if (!Planning() || !HasPath(a) || !HasPath(b) || PlanResolve(a, realA) != AS_REAL ||
        PlanResolve(b, realB) != AS_REAL || !OsNamesEqualNoCase(realA, realB))
        return 0;
    // One real file behind both: the same path only when both are one form,
    // as a path the plan did not touch is its real file's form.
    char formA[OS_PATH_BUFFER];
    char formB[OS_PATH_BUFFER];
    *samePath = PlanForm(a, formA) && PlanForm(b, formB) && OsNamesEqualNoCase(formA, formB);
    return 1;
}

int PvSameOpenFile(OsFile *a, OsFile *b)
{
    return Planning() ? -1 : OsSameOpenFile(a, b);
}
