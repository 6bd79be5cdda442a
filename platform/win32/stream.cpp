// Stream files through the runtime (msvcrt): its _wfopen shares the file with
// other readers and writers and gives text mode unless "b" is asked for.
#include "platform/platform.h"

#include "platform/win32/wide.h"

#include <stdio.h>

static FILE *Stream(OsFile *file)
{
    return reinterpret_cast<FILE *>(file);
}

OsFile *OsFopen(const char *path, const char *mode)
{
    WCHAR widePath[WIDE_PATH_UNITS], wideMode[8];
    if (path == NULL || mode == NULL || !Utf8ToWidePath(path, widePath) ||
        !Utf8ToWide(mode, wideMode, 8))
        return NULL;
    return reinterpret_cast<OsFile *>(_wfopen(widePath, wideMode));
}

char *OsFgets(char *buffer, int count, OsFile *file)
{
    if (buffer == NULL || file == NULL || count <= 0)
        return NULL;
    return fgets(buffer, count, Stream(file));
}

size_t OsFread(void *buffer, size_t size, size_t count, OsFile *file)
{
    if (buffer == NULL || file == NULL)
        return 0;
    return fread(buffer, size, count, Stream(file));
}

size_t OsFwrite(const void *data, size_t size, size_t count, OsFile *file)
{
    if (data == NULL || file == NULL)
        return 0;
    return fwrite(data, size, count, Stream(file));
}

int OsFflush(OsFile *file)
{
    if (file == NULL)
        return -1;
    return fflush(Stream(file)) == 0 ? 0 : -1;
}

int OsFclose(OsFile *file)
{
    if (file == NULL)
        return -1;
    // msvcrt's fclose reports success even when its own final flush failed
    // (a full disk, a device that takes no data): flush first to find out.
    int flushed = fflush(Stream(file));
    int closed = fclose(Stream(file));
    return flushed == 0 && closed == 0 ? 0 : -1;
}
