// Leaves the user a note in the old folder, under its " OLD" name, saying
// where the data files went and how to get them back.
#include "upgrade/upgrade.h"
#include "files/files.h"
#include "log/log.h"
#include "upgrade/report.h"

#include <string.h>

#define SECTION "WriteReadme"
#define README_NAME "_Readme.txt"
#define README_CAPACITY 5000

#define README_TEMPLATE                                                                                   \
    "Please note:\n\nData files that were stored in your Ledgerwick installation folder (if any) have "  \
    "been moved to %s.\n\nThe files in this folder have had their extension changed from .LW to "        \
    ".OLD.\n\nYou can delete this folder if you've upgraded Ledgerwick Complete and it loads your data " \
    "with no problems (if there are problems with your data files, then rename the files in this "       \
    "folder from .OLD to .LW and locate the file).\n\nYou may need help from a computer technician if "  \
    "you're not sure what you're doing."

static const char *Shown(const char *text)
{
    return text ? text : "[NULL]";
}

void WriteReadme(const char *folder, const char *newDatafilePath)
{
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Started ##----");
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "OLD_DatafilePath: %s", Shown(folder));
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "NEW_DatafilePath: %s", Shown(newDatafilePath));

    // The driver does not check its rename; the folder may not be there.
    if (!IsExistingFolder(folder)) {
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Exist: %s", Shown(folder));
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Exists: %s", folder);

    char path[OS_PATH_BUFFER];
    if (!TextCopyPath(path, folder) || !OsPathAppend(path, README_NAME)) {
        // Cut short, the name would be some other file in the folder.
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s\\%s", folder, README_NAME);
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }

    char text[README_CAPACITY];
    if (!TextFormat(text, sizeof text, README_TEMPLATE, newDatafilePath ? newDatafilePath : "")) {
        // A note naming half a path would send the user to the wrong place.
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s", newDatafilePath);
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }

    // Text mode: each line feed reaches the file as CR LF, so Notepad shows
    // the paragraphs. Truncates a note left by an earlier run.
    OsFile *file = ReportPreviewing() ? nullptr : OsFopen(path, "w+t");
    if (file != 0) {
        // In the ANSI code page as ever when it holds every character; else
        // UTF-8 behind its mark, so Notepad shows the folder's name right.
        char ansi[README_CAPACITY];
        int lossy = 1;
        if (OsUtf8ToAnsi(text, ansi, sizeof ansi, &lossy) && !lossy) {
            OsFwrite(ansi, 1, strlen(ansi), file);
        } else {
            OsFwrite("\xEF\xBB\xBF", 1, 3, file);
            OsFwrite(text, 1, strlen(text), file);
        }
        OsFclose(file);
    }
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Displayed: %s", text);
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
}
