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

// Where some of the user's files stayed behind, the note must not invite the
// user to delete the folder: it may hold their only copy.
#define README_KEPT_HEAD                                                                                  \
    "Please note:\n\nData files that were stored in your Ledgerwick installation folder (if any) have "  \
    "been moved to %s, except the files listed below.\n\nThese files are your own and are still in "     \
    "this folder. They were not copied to the new data folder:\n\n"
#define README_KEPT_LINE "%s (%s)\n"
#define README_KEPT_TAIL                                                                                  \
    "\nDo not delete this folder: it may hold the only copy of these files. To use one of them, open "  \
    "it in Ledgerwick Complete from this folder.\n\nThe other data files in this folder have had their " \
    "extension changed from .LW to .OLD after they were copied to %s.\n\nYou may need help from a "      \
    "computer technician if you're not sure what you're doing."

static const char *Shown(const char *text)
{
    return text ? text : "[NULL]";
}

// The note's text in scratch memory (give it back with OsFree); null when no
// memory could be had or it would not fit.
static char *ReadmeText(const char *newDatafilePath, const char *formerPath)
{
    const char *dataFolder = newDatafilePath ? newDatafilePath : "";
    // The plain note holds the data folder's name whole, or no note is
    // written: a path too long for it is no folder the user could find.
    char plain[README_CAPACITY];
    if (!TextFormat(plain, sizeof plain, README_TEMPLATE, dataFolder))
        return nullptr;
    int cursor = 0;
    const char *path;
    const char *reason;
    size_t size = sizeof README_KEPT_HEAD + sizeof README_KEPT_TAIL + 2 * strlen(dataFolder) + README_CAPACITY;
    int kept = 0;
    while (ReportNextStayingIn(formerPath, &cursor, &path, &reason)) {
        size += strlen(path) + strlen(reason) + sizeof README_KEPT_LINE;
        kept++;
    }
    char *text = (char *)OsAlloc(size);
    if (text == nullptr)
        return nullptr;
    if (kept == 0) {
        TextCopy(text, size, plain);
        return text;
    }
    int fits = TextFormat(text, size, README_KEPT_HEAD, dataFolder);
    char line[3 * OS_PATH_BUFFER];
    cursor = 0;
    while (fits && ReportNextStayingIn(formerPath, &cursor, &path, &reason))
        fits = TextFormat(line, sizeof line, README_KEPT_LINE, path, reason) && TextAppend(text, size, line);
    char tail[sizeof README_KEPT_TAIL + 3 * OS_PATH_BUFFER];
    if (fits && TextFormat(tail, sizeof tail, README_KEPT_TAIL, dataFolder) && TextAppend(text, size, tail))
        return text;
    OsFree(text);
    return nullptr;
}

// Text mode: each line feed reaches the file as CR LF, so Notepad shows the
// paragraphs. Truncates a note left by an earlier run.
static void WriteReadmeFile(const char *path, const char *text)
{
    OsFile *file = PvFopen(path, "w+t");
    if (file == nullptr)
        return;
    // In the ANSI code page as ever when it holds every character; else
    // UTF-8 behind its mark, so Notepad shows the folder's name right.
    size_t size = strlen(text) + 1;
    char *ansi = (char *)OsAlloc(size);
    int lossy = 1;
    if (ansi != nullptr && OsUtf8ToAnsi(text, ansi, size, &lossy) && !lossy) {
        OsFwrite(ansi, 1, strlen(ansi), file);
    } else {
        OsFwrite("\xEF\xBB\xBF", 1, 3, file);
        OsFwrite(text, 1, strlen(text), file);
    }
    OsFree(ansi);
    OsFclose(file);
}

void WriteReadme(const char *folder, const char *newDatafilePath, const char *formerPath)
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

    char *text = ReadmeText(newDatafilePath, HasText(formerPath) ? formerPath : folder);
    if (text == nullptr) {
        // A note naming half a path would send the user to the wrong place.
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s", Shown(newDatafilePath));
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }
    WriteReadmeFile(path, text);
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Displayed: %s", text);
    OsFree(text);
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
}
