// Identity of files on the simulated host: the POSIX device and inode behind
// a Windows path, names compared as the host compares them, and waits that
// only count.
#include "sim_internal.h"

#include <sys/stat.h>

int OsGetFileId(const char *path, OsFileId *id)
{
    SimCountCall(SIM_OP_GET_FILE_ID, 0);
    SimPath p;
    unsigned long error;
    if (!path || !id || !SimResolve(path, &p, &error)) {
        SimSetLastError(path ? error : OS_ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct stat st;
    // Opening a path follows its links, as CreateFile does.
    if (!p.exists || stat(p.posix, &st) != 0) {
        SimSetLastError(SimMissingError(&p));
        return 0;
    }
    id->volume = (unsigned long long)st.st_dev;
    id->index = (unsigned long long)st.st_ino;
    return 1;
}

int OsNamesEqualNoCase(const char *a, const char *b)
{
    if (!a || !b)
        return a == b;
    return TextCompareNoCase(a, b) == 0;
}

void OsSleep(unsigned milliseconds)
{
    (void)milliseconds;
    SimCountCall(SIM_OP_SLEEP, 0);
}
