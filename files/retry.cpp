// A file that a virus scanner, an indexer or a backup program holds open for
// a moment refuses to be moved, copied, renamed or deleted with a sharing
// violation or access denied. A few tries over about a second get past such
// a moment; a file held for longer is handled as any other failure.
#include "files/files.h"
#include "log/log.h"
#include "upgrade/report.h"

// Waits before the second, third, ... try: a second in all.
static const unsigned kWaits[] = {100, 200, 300, 400};

static int Attempt(int operation, const char *source, const char *destination)
{
    switch (operation) {
    case RETRY_MOVE:
        return OsMoveFile(source, destination) != 0;
    case RETRY_COPY:
        return OsCopyFile(source, destination, 0) != 0;
    case RETRY_DELETE:
        return OsDeleteFile(source) != 0;
    case RETRY_RENAME:
        return OsRename(source, destination) == 0;
    default:
        return 0;
    }
}

static int InUse(unsigned long error)
{
    return error == OS_ERROR_SHARING_VIOLATION || error == OS_ERROR_ACCESS_DENIED;
}

int RetryWhileInUse(int operation, const char *source, const char *destination, const char *section)
{
    if (ReportPreviewing())
        return PlanOperation(operation, source, destination);
    if (Attempt(operation, source, destination))
        return 1;
    for (unsigned i = 0; i < sizeof kWaits / sizeof kWaits[0]; i++) {
        unsigned long error = OsGetLastError();
        if (!InUse(error))
            return 0;
        if (i == 0)
            LogMessage(LOG_MODULE, section, LOG_INFO, "In use, trying again: %s", source ? source : "[NULL]");
        OsSleep(kWaits[i]);
        if (Attempt(operation, source, destination))
            return 1;
    }
    return 0;
}
