// Stream files (the runtime's fopen family) on the simulated host. Without
// "b" a stream is in text mode as on Windows: a line feed is written as
// CR LF, CR LF is read back as a line feed, and Ctrl+Z ends a text file.
#include "sim_internal.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define STREAM_MAGIC 0x5354524Du
#define CTRL_Z 0x1A

enum { LAST_NONE, LAST_READ, LAST_WRITE };

struct OsFileOpaque {
    unsigned magic;
    FILE *fp;
    int text;
    int eofSeen; // a Ctrl+Z ended the text
    int last;
    int writes; // opened for writing: its close is a mutating call
    char letter;
    char path[OS_PATH_BUFFER];
};

static OsFile *FailOpen(unsigned long error)
{
    SimSetLastError(error);
    return NULL;
}

OsFile *OsFopen(const char *path, const char *mode)
{
    int writes = mode && (mode[0] == 'w' || mode[0] == 'a' || strchr(mode, '+'));
    SimCountCall(SIM_OP_FOPEN, writes);
    if (SimFaultHit(SIM_OP_FOPEN, writes, path, NULL))
        return NULL;
    if (!path || !mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a'))
        return FailOpen(OS_ERROR_INVALID_PARAMETER);
    int update = strchr(mode, '+') != NULL;
    int text = strchr(mode, 'b') == NULL;
    char kind = mode[0];

    SimPath p;
    unsigned long error;
    if (!SimResolve(path, &p, &error))
        return FailOpen(error);
    if (p.exists) {
        if (p.isRoot || SimIsFolder(p.posix, &p.st))
            return FailOpen(OS_ERROR_ACCESS_DENIED);
        struct stat st;
        if (stat(p.posix, &st) == 0) {
            unsigned long attributes = SimAttributesOf(p.posix, &st);
            int writes = kind != 'r' || update;
            if (writes && (attributes & OS_FILE_ATTRIBUTE_READONLY))
                return FailOpen(OS_ERROR_ACCESS_DENIED);
            // CreateFile with CREATE_ALWAYS refuses hidden and system files.
            if (kind == 'w' && (attributes & (OS_FILE_ATTRIBUTE_HIDDEN | OS_FILE_ATTRIBUTE_SYSTEM)))
                return FailOpen(OS_ERROR_ACCESS_DENIED);
        }
    } else if (kind == 'r' || p.fileWithSlash || !p.parentExists) {
        return FailOpen(SimMissingError(&p));
    }

    char posixMode[4] = {kind, 0, 0, 0};
    size_t n = 1;
    if (update)
        posixMode[n++] = '+';
    posixMode[n] = 'b';
    FILE *fp = fopen(p.posix, posixMode);
    if (!fp)
        return FailOpen(SimErrorFromErrno(errno));
    OsFile *file = (OsFile *)calloc(1, sizeof(OsFile));
    if (!file) {
        fclose(fp);
        return FailOpen(SIM_ERROR_NOT_ENOUGH_MEMORY);
    }
    file->magic = STREAM_MAGIC;
    file->fp = fp;
    file->text = text;
    file->writes = writes;
    file->letter = p.letter;
    TextCopy(file->path, sizeof file->path, path);
    return file;
}

static int Valid(OsFile *file)
{
    return file && file->magic == STREAM_MAGIC;
}

FILE *SimStreamOf(OsFile *file, const char **path)
{
    if (!Valid(file))
        return NULL;
    *path = file->path;
    return file->fp;
}

// C streams need a positioning call between reading and writing.
static void Switch(OsFile *file, int to)
{
    if (file->last != LAST_NONE && file->last != to)
        fseek(file->fp, 0, SEEK_CUR);
    file->last = to;
}

// The next character as the program sees it, or EOF.
static int NextChar(OsFile *file)
{
    if (!file->text)
        return getc(file->fp);
    if (file->eofSeen)
        return EOF;
    int c = getc(file->fp);
    if (c == CTRL_Z) {
        file->eofSeen = 1;
        return EOF;
    }
    if (c != '\r')
        return c;
    int following = getc(file->fp);
    if (following == '\n')
        return '\n';
    if (following != EOF)
        ungetc(following, file->fp);
    return '\r';
}

char *OsFgets(char *buffer, int count, OsFile *file)
{
    SimCountCall(SIM_OP_FGETS, 0);
    if (!buffer || count <= 0 || !Valid(file))
        return NULL;
    Switch(file, LAST_READ);
    int n = 0;
    while (n < count - 1) {
        int c = NextChar(file);
        if (c == EOF)
            break;
        buffer[n++] = (char)c;
        if (c == '\n')
            break;
    }
    buffer[n] = '\0';
    return (n == 0 && count > 1) ? NULL : buffer;
}

size_t OsFread(void *buffer, size_t size, size_t count, OsFile *file)
{
    SimCountCall(SIM_OP_FREAD, 0);
    if (!buffer || size == 0 || count == 0 || !Valid(file))
        return 0;
    Switch(file, LAST_READ);
    if (!file->text)
        return fread(buffer, size, count, file->fp);
    unsigned char *out = (unsigned char *)buffer;
    size_t total = size * count, n = 0;
    while (n < total) {
        int c = NextChar(file);
        if (c == EOF)
            break;
        out[n++] = (unsigned char)c;
    }
    return n / size;
}

size_t OsFwrite(const void *data, size_t size, size_t count, OsFile *file)
{
    SimCountCall(SIM_OP_FWRITE, 1);
    if (!Valid(file) || !data || size == 0 || count == 0)
        return 0;
    if (SimFaultHit(SIM_OP_FWRITE, 1, file->path, NULL))
        return 0;
    Switch(file, LAST_WRITE);
    const unsigned char *in = (const unsigned char *)data;
    size_t total = size * count, consumed = 0;
    long long space = SimVolumeSpace(file->letter);
    unsigned char chunk[4096];
    size_t pending = 0;
    int full = 0, failed = 0;
    // Each input byte goes out whole (a line feed as CR LF) or not at all.
    while (consumed < total) {
        int crlf = file->text && in[consumed] == '\n';
        size_t need = crlf ? 2 : 1;
        if (space >= 0 && (long long)need > space) {
            full = 1;
            break;
        }
        if (pending + need > sizeof chunk) {
            if (fwrite(chunk, 1, pending, file->fp) != pending) {
                failed = 1;
                pending = 0;
                break;
            }
            pending = 0;
        }
        if (crlf)
            chunk[pending++] = '\r';
        chunk[pending++] = in[consumed++];
        if (space >= 0)
            space -= (long long)need;
    }
    if (pending && fwrite(chunk, 1, pending, file->fp) != pending)
        failed = 1;
    if (failed) {
        SimSetLastError(SimErrorFromErrno(errno));
        return 0;
    }
    long long before = SimVolumeSpace(file->letter);
    if (before >= 0)
        SimUseVolumeSpace(file->letter, before - space);
    if (full) {
        SimVolumeRefused(file->letter);
        SimSetLastError(OS_ERROR_DISK_FULL);
    }
    return consumed / size;
}

int OsFflush(OsFile *file)
{
    int writes = Valid(file) && file->writes;
    SimCountCall(SIM_OP_FFLUSH, writes);
    if (!Valid(file))
        return -1;
    if (fflush(file->fp) != 0) {
        SimSetLastError(SimErrorFromErrno(errno));
        return -1;
    }
    // Like a close, a flush that fails is reported after its data is out.
    if (SimFaultHit(SIM_OP_FFLUSH, writes, file->path, NULL))
        return -1;
    return 0;
}

int OsFclose(OsFile *file)
{
    int writes = Valid(file) && file->writes;
    SimCountCall(SIM_OP_FCLOSE, writes);
    if (!Valid(file))
        return -1;
    int failed = fclose(file->fp) != 0;
    if (failed)
        SimSetLastError(SimErrorFromErrno(errno));
    if (SimFaultHit(SIM_OP_FCLOSE, writes, file->path, NULL))
        failed = 1;
    file->magic = 0;
    free(file);
    return failed ? -1 : 0;
}
