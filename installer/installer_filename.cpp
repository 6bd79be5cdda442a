// The installer's file name, picked out of the first "Source: " line of the
// setup program's list file and kept in the InstallerFilename setting.
#include "installer/installer.h"
#include "files/files.h"
#include "settings/settings.h"

#include <string.h>

#define LIST_LINE_SIZE 2048
#define SOURCE_PREFIX "Source: "
#define SOURCE_PREFIX_LENGTH 8

static int IsTrailingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The path written on a Source line (after the prefix, up to the first "|"),
// without trailing white space: the line break of a line without "|" would
// otherwise end up in the stored name. A value longer than its buffer is
// refused rather than cut, since a cut path would give a wrong name.
static int SourceValue(const char *afterPrefix, char *value)
{
    const char *bar = strchr(afterPrefix, '|');
    size_t length = bar ? (size_t)(bar - afterPrefix) : strlen(afterPrefix);
    while (length > 0 && IsTrailingSpace(afterPrefix[length - 1]))
        length--;
    value[0] = '\0';
    if (length >= OS_PATH_BUFFER)
        return 0;
    memcpy(value, afterPrefix, length);
    value[length] = '\0';
    if (!TextFitsPath(value)) {
        value[0] = '\0';
        return 0;
    }
    return length > 0;
}

static void StoreInstallerFilename(const char *sourceLine)
{
    char value[OS_PATH_BUFFER];
    if (!SourceValue(sourceLine + SOURCE_PREFIX_LENGTH, value))
        return;
    char name[OS_PATH_BUFFER];
    if (FileNameOfPath(value, name, 1) && HasText(name))
        WriteSetting(SETTING_INSTALLER_FILENAME, name, 1);
}

extern "C" void OS_STDCALL LedgerwickInstaller_GetInstallerFilename(const char *listFilePath)
{
    if (!HasText(listFilePath))
        return;
    OsFile *file = OsFopen(listFilePath, "r");
    if (file == 0)
        return;
    char line[LIST_LINE_SIZE];
    // Only the first Source line counts, even when it gives no name. A line
    // longer than the buffer arrives in pieces, each looked at on its own.
    while (OsFgets(line, LIST_LINE_SIZE, file) != 0) {
        if (TextCompareNoCaseN(line, SOURCE_PREFIX, SOURCE_PREFIX_LENGTH) == 0) {
            StoreInstallerFilename(line);
            break;
        }
    }
    OsFclose(file);
}
