// Files and folders on the simulated host, with the Win32 results and error
// codes of GetFileAttributesA, DeleteFileA, CopyFileA, MoveFileA and friends.
#include "sim_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

void OsSetLastError(unsigned long error)
{
    g_sim.lastError = error;
}

unsigned long OsGetLastError(void)
{
    return g_sim.lastError;
}

static int Fail(unsigned long error)
{
    SimSetLastError(error);
    return 0;
}

static int IsReadOnlyFile(const struct stat *st)
{
    return S_ISREG(st->st_mode) && !(st->st_mode & S_IWUSR);
}

// The mode bits that carry a file's attributes (see SimAttributesOf).
static mode_t ModeFor(unsigned long attributes)
{
    mode_t mode = (attributes & OS_FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    if (attributes & OS_FILE_ATTRIBUTE_HIDDEN)
        mode |= S_ISVTX;
    if (attributes & OS_FILE_ATTRIBUTE_SYSTEM)
        mode |= S_ISGID;
    if (!(attributes & OS_FILE_ATTRIBUTE_ARCHIVE))
        mode |= S_IXUSR;
    return mode;
}

unsigned long SimCopyPosixFile(const char *from, const char *toFolder, const char *to,
                               const struct stat *fromStat)
{
    int in = open(from, O_RDONLY);
    if (in < 0)
        return SimErrorFromErrno(errno);
    char temp[SIM_POSIX_MAX];
    if (!TextFormat(temp, sizeof temp, "%s/.lwcopy-XXXXXX", toFolder)) {
        close(in);
        return SIM_ERROR_FILENAME_EXCED_RANGE;
    }
    int out = mkstemp(temp);
    if (out < 0) {
        int saved = errno;
        close(in);
        return SimErrorFromErrno(saved);
    }
    unsigned long error = 0;
    char chunk[65536];
    for (;;) {
        ssize_t n = read(in, chunk, sizeof chunk);
        if (n < 0) {
            error = SimErrorFromErrno(errno);
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, chunk + done, (size_t)(n - done));
            if (w < 0) {
                error = SimErrorFromErrno(errno);
                break;
            }
            done += w;
        }
        if (error)
            break;
    }
    close(in);
    if (!error) {
        // CopyFile carries the attributes over and marks the copy for archiving.
        unsigned long attributes = SimAttributesOf(from, fromStat) | OS_FILE_ATTRIBUTE_ARCHIVE;
        fchmod(out, ModeFor(attributes));
        struct timespec times[2] = {fromStat->st_atim, fromStat->st_mtim};
        futimens(out, times);
    }
    if (close(out) != 0 && !error)
        error = SimErrorFromErrno(errno);
    if (!error && rename(temp, to) != 0)
        error = SimErrorFromErrno(errno);
    if (error)
        unlink(temp);
    return error;
}

unsigned long OsGetFileAttributes(const char *path)
{
    SimCountCall(SIM_OP_GET_FILE_ATTRIBUTES, 0);
    if (SimFaultHit(SIM_OP_GET_FILE_ATTRIBUTES, 0, path, NULL))
        return OS_INVALID_FILE_ATTRIBUTES;
    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error)) {
        SimSetLastError(error);
        return OS_INVALID_FILE_ATTRIBUTES;
    }
    if (!p.exists) {
        SimSetLastError(SimMissingError(&p));
        return OS_INVALID_FILE_ATTRIBUTES;
    }
    return SimAttributesOf(p.posix, &p.st);
}

int OsGetFileFacts(const char *path, OsFileFacts *facts)
{
    SimCountCall(SIM_OP_GET_FILE_FACTS, 0);
    if (SimFaultHit(SIM_OP_GET_FILE_FACTS, 0, path, NULL))
        return 0;
    SimPath p;
    unsigned long error;
    if (!facts || !SimResolve(path, &p, &error)) {
        SimSetLastError(facts ? error : OS_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!p.exists) {
        SimSetLastError(SimMissingError(&p));
        return 0;
    }
    facts->attributes = SimAttributesOf(p.posix, &p.st);
    facts->size = (p.st.st_mode & S_IFMT) == S_IFDIR ? 0 : (unsigned long long)p.st.st_size;
    facts->lastWrite = (unsigned long long)p.st.st_mtim.tv_sec * 10000000ull + p.st.st_mtim.tv_nsec / 100;
    return 1;
}

int OsSetFileAttributes(const char *path, unsigned long attributes)
{
    SimCountCall(SIM_OP_SET_FILE_ATTRIBUTES, 1);
    if (SimFaultHit(SIM_OP_SET_FILE_ATTRIBUTES, 1, path, NULL))
        return 0;
    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error))
        return Fail(error);
    if (!p.exists)
        return Fail(SimMissingError(&p));
    if (!S_ISREG(p.st.st_mode))
        return 1; // folder and link attributes are not kept
    if (chmod(p.posix, ModeFor(attributes)) != 0)
        return Fail(SimErrorFromErrno(errno));
    return 1;
}

int OsDeleteFile(const char *path)
{
    SimCountCall(SIM_OP_DELETE_FILE, 1);
    if (SimFaultHit(SIM_OP_DELETE_FILE, 1, path, NULL))
        return 0;
    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error))
        return Fail(error);
    if (!p.exists)
        return Fail(SimMissingError(&p));
    // A folder, a link to one, or a read-only file is refused.
    if (p.isRoot || SimIsFolder(p.posix, &p.st) || IsReadOnlyFile(&p.st))
        return Fail(OS_ERROR_ACCESS_DENIED);
    if (unlink(p.posix) != 0)
        return Fail(SimErrorFromErrno(errno));
    return 1;
}

static int SameEntry(const SimPath *a, const SimPath *b)
{
    return a->st.st_dev == b->st.st_dev && a->st.st_ino == b->st.st_ino;
}

int OsCopyFile(const char *source, const char *destination, int failIfExists)
{
    SimCountCall(SIM_OP_COPY_FILE, 1);
    if (SimFaultHit(SIM_OP_COPY_FILE, 1, source, destination))
        return 0;
    SimPath src, dst;
    unsigned long error;
    if (!SimResolve(source, &src, &error) || !SimResolve(destination, &dst, &error))
        return Fail(error);
    if (!src.exists)
        return Fail(SimMissingError(&src));
    if (src.isRoot || SimIsFolder(src.posix, &src.st) || dst.isRoot)
        return Fail(OS_ERROR_ACCESS_DENIED);
    if (dst.exists) {
        if (failIfExists)
            return Fail(OS_ERROR_FILE_EXISTS);
        if (SimIsFolder(dst.posix, &dst.st) || IsReadOnlyFile(&dst.st))
            return Fail(OS_ERROR_ACCESS_DENIED);
        if (SameEntry(&src, &dst))
            return Fail(OS_ERROR_SHARING_VIOLATION);
    } else if (dst.fileWithSlash) {
        return Fail(SIM_ERROR_INVALID_NAME);
    } else if (!dst.parentExists) {
        return Fail(OS_ERROR_PATH_NOT_FOUND);
    }
    struct stat content;
    if (stat(src.posix, &content) != 0)
        return Fail(SimErrorFromErrno(errno));
    long long space = SimVolumeSpace(dst.letter);
    if (space >= 0 && (long long)content.st_size > space) {
        SimVolumeRefused(dst.letter);
        return Fail(OS_ERROR_DISK_FULL);
    }
    error = SimCopyPosixFile(src.posix, dst.parent, dst.posix, &content);
    if (error)
        return Fail(error);
    SimUseVolumeSpace(dst.letter, (long long)content.st_size);
    return 1;
}

// MoveFileA and the runtime's rename: one Win32 rename, or a copy and a
// delete when the volumes differ (files only).
static unsigned long MovePath(const char *from, const char *to)
{
    SimPath src, dst;
    unsigned long error;
    if (!SimResolve(from, &src, &error) || !SimResolve(to, &dst, &error))
        return error;
    if (!src.exists)
        return SimMissingError(&src);
    if (src.isRoot || dst.isRoot)
        return OS_ERROR_ACCESS_DENIED;
    if (dst.exists) {
        if (!SameEntry(&src, &dst) || strcmp(src.posix, dst.posix) != 0)
            return OS_ERROR_ALREADY_EXISTS;
        // The same entry under another spelling: only the case changes.
        char renamed[SIM_POSIX_MAX];
        if (!TextFormat(renamed, sizeof renamed, "%s/%s", dst.parent, dst.name))
            return SIM_ERROR_FILENAME_EXCED_RANGE;
        if (strcmp(renamed, src.posix) != 0 && rename(src.posix, renamed) != 0)
            return SimErrorFromErrno(errno);
        return 0;
    }
    if (dst.fileWithSlash)
        return OS_ERROR_ALREADY_EXISTS;
    if (!dst.parentExists)
        return OS_ERROR_PATH_NOT_FOUND;
    if (strcmp(src.volume, dst.volume) != 0) {
        if (SimIsFolder(src.posix, &src.st))
            return OS_ERROR_NOT_SAME_DEVICE;
        struct stat content;
        if (stat(src.posix, &content) != 0)
            return SimErrorFromErrno(errno);
        long long space = SimVolumeSpace(dst.letter);
        if (space >= 0 && (long long)content.st_size > space) {
            SimVolumeRefused(dst.letter);
            return OS_ERROR_DISK_FULL;
        }
        error = SimCopyPosixFile(src.posix, dst.parent, dst.posix, &content);
        if (error)
            return error;
        SimUseVolumeSpace(dst.letter, (long long)content.st_size);
        // A source that can't be deleted stays; the move still succeeds.
        if (!IsReadOnlyFile(&src.st))
            unlink(src.posix);
        return 0;
    }
    if (rename(src.posix, dst.posix) != 0)
        return SimErrorFromErrno(errno);
    return 0;
}

int OsMoveFile(const char *source, const char *destination)
{
    SimCountCall(SIM_OP_MOVE_FILE, 1);
    if (SimFaultHit(SIM_OP_MOVE_FILE, 1, source, destination))
        return 0;
    unsigned long error = MovePath(source, destination);
    return error ? Fail(error) : 1;
}

int OsRename(const char *oldPath, const char *newPath)
{
    SimCountCall(SIM_OP_RENAME, 1);
    if (SimFaultHit(SIM_OP_RENAME, 1, oldPath, NULL))
        return -1;
    unsigned long error = MovePath(oldPath, newPath);
    if (error) {
        SimSetLastError(error);
        return -1;
    }
    return 0;
}

// CreateDirectoryA without the call count or faults.
static unsigned long CreateFolder(const char *path)
{
    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error))
        return error;
    if (p.isRoot || p.exists || p.fileWithSlash)
        return OS_ERROR_ALREADY_EXISTS;
    if (!p.parentExists)
        return OS_ERROR_PATH_NOT_FOUND;
    if (mkdir(p.posix, 0755) != 0)
        return SimErrorFromErrno(errno);
    return 0;
}

int OsCreateDirectory(const char *path)
{
    SimCountCall(SIM_OP_CREATE_DIRECTORY, 1);
    if (SimFaultHit(SIM_OP_CREATE_DIRECTORY, 1, path, NULL))
        return 0;
    unsigned long error = CreateFolder(path);
    return error ? Fail(error) : 1;
}

int OsMakeSureDirectoryPathExists(const char *path)
{
    SimCountCall(SIM_OP_MAKE_SURE_DIRECTORY_PATH_EXISTS, 1);
    if (!path)
        return Fail(OS_ERROR_INVALID_PARAMETER);
    if (SimFaultHit(SIM_OP_MAKE_SURE_DIRECTORY_PATH_EXISTS, 1, path, NULL))
        return 0;
    char prefix[OS_PATH_BUFFER];
    if (!TextCopyWhole(prefix, sizeof prefix, path))
        return Fail(SIM_ERROR_FILENAME_EXCED_RANGE);
    const char *p = path;
    if (p[0] == '\\' && p[1] == '\\') {
        // Server and share are no folders to create.
        p += 2;
        for (int part = 0; part < 2 && *p; part++) {
            while (*p && *p != '\\')
                p++;
            if (*p)
                p++;
        }
    } else {
        if (p[0] && p[1] == ':')
            p += 2;
        while (*p == '\\')
            p++;
    }
    // Every prefix that ends in a backslash is a folder to have.
    for (const char *slash = strchr(p, '\\'); slash; slash = strchr(slash + 1, '\\')) {
        size_t n = (size_t)(slash - path) + 1;
        memcpy(prefix, path, n);
        prefix[n] = '\0';
        // A folder that can't be created stops the path below it.
        if (SimPathFaultHit(SIM_OP_CREATE_DIRECTORY, prefix))
            return 0;
        unsigned long error = CreateFolder(prefix);
        if (error && error != OS_ERROR_ALREADY_EXISTS)
            return Fail(error);
    }
    return 1;
}

int OsRemoveDirectory(const char *path)
{
    SimCountCall(SIM_OP_REMOVE_DIRECTORY, 1);
    if (SimFaultHit(SIM_OP_REMOVE_DIRECTORY, 1, path, NULL))
        return 0;
    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error))
        return Fail(error);
    if (!p.exists)
        return Fail(SimMissingError(&p));
    if (p.isRoot)
        return Fail(OS_ERROR_ACCESS_DENIED);
    if (S_ISLNK(p.st.st_mode)) {
        // A link to a folder goes; what it points to stays.
        if (!SimIsFolder(p.posix, &p.st))
            return Fail(SIM_ERROR_DIRECTORY);
        if (unlink(p.posix) != 0)
            return Fail(SimErrorFromErrno(errno));
        return 1;
    }
    if (!S_ISDIR(p.st.st_mode))
        return Fail(SIM_ERROR_DIRECTORY);
    if (rmdir(p.posix) != 0)
        return Fail(errno == EEXIST ? OS_ERROR_DIR_NOT_EMPTY : SimErrorFromErrno(errno));
    return 1;
}
