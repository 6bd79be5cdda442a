// A file that a virus scanner, an indexer or a backup program holds open for
// a moment refuses to be moved, copied, renamed or deleted with a sharing or
// lock violation. A few tries over about a second get past such a moment; a
// file held for longer is handled as any other failure.
#include "files/files.h"
#include "log/log.h"

// Waits before the second, third, ... try while the file is held: a second
// in all.
static const unsigned kWaits[] = {100, 200, 300, 400};
// Access denied comes from a permission (a read-only file, a folder's rights)
// far more often than from a program holding the file, and a permission does
// not change within a second: one short wait, then it is a failure.
static const unsigned kAccessDeniedTries = 1;

static int Attempt(int operation, const char *source, const char *destination)
{
    switch (operation) {
    case RETRY_MOVE:
        return PvMoveFile(source, destination) != 0;
    case RETRY_COPY:
        return PvCopyFile(source, destination) != 0;
    case RETRY_DELETE:
        return PvDeleteFile(source) != 0;
    case RETRY_RENAME:
        return PvRename(source, destination) == 0;
    default:
        return 0;
    }
}

// The number of further tries an error is worth.
static unsigned TriesFor(unsigned long error)
{
    if (error == OS_ERROR_SHARING_VIOLATION || error == OS_ERROR_LOCK_VIOLATION)
        return sizeof kWaits / sizeof kWaits[0];
    if (error == OS_ERROR_ACCESS_DENIED)
        return kAccessDeniedTries;
    return 0;
}

int RetryWhileInUse(int operation, const char *source, const char *destination, const char *section,
                    RetryCheck check, void *checkContext)
{
    if (Attempt(operation, source, destination))
        return 1;
    for (unsigned i = 0; i < sizeof kWaits / sizeof kWaits[0]; i++) {
        unsigned long error = OsGetLastError();
        if (TriesFor(error) <= i)
            return 0;
        if (i == 0)
            LogMessage(LOG_MODULE, section, LOG_INFO, "In use, trying again: %s", source ? source : "[NULL]");
        OsSleep(kWaits[i]);
        // What made the operation safe was settled before the first try; in
        // the wait the program that held the file may have written it, or
        // the copy it stands on. The check hears the held try's error, to
        // tell why a file it refuses stays.
        OsSetLastError(error);
        if (check != nullptr && !check(source, checkContext)) {
            OsSetLastError(error);
            return 0;
        }
        if (Attempt(operation, source, destination))
            return 1;
    }
    return 0;
}
