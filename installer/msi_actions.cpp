// The upgrade as two Windows Installer custom actions. The immediate one
// reads and checks the public properties while nothing has changed yet, and
// hands them on through CustomActionData (the property named after the
// deferred action's Id), because a deferred action sees no other property.
// The deferred one runs the same upgrade as the progress export, with its
// progress as installer ticks and its log lines in the installer's log.
#include "installer/installer.h"
#include "log/log.h"
#include "preview/preview.h"

#include <string.h>

// The installer's ticks the upgrade takes on the progress bar, whatever its
// size: the immediate action must add them before the work is counted.
#define MSI_UPGRADE_TICKS 100000
#define MSI_DEFERRED_ID "LedgerwickInstaller_MsiUpgrade"
#define MSI_VALUE_BUFFER (2 * OS_PATH_BUFFER + 256)
#define MSI_LINE_BUFFER 4400

// The properties, as the immediate action read them and the deferred one
// gets them back.
typedef struct MsiUpgradeArguments {
    int previousVersion;
    int preview;
    char oldFolder[OS_PATH_BUFFER];
    char report[OS_PATH_BUFFER];
} MsiUpgradeArguments;

static void Say(OsMsiHandle install, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
static void Say(OsMsiHandle install, const char *format, ...)
{
    char line[MSI_LINE_BUFFER];
    va_list args;
    va_start(args, format);
    TextFormatV(line, sizeof line, format, args);
    va_end(args);
    OsMsiLogLine(install, line);
}

// A version is a small whole number; "" means version 4, the one the
// upgrade is for.
static int ParseVersion(const char *text, int *version)
{
    if (text[0] == '\0') {
        *version = 4;
        return 1;
    }
    int value = 0;
    for (const char *c = text; *c; c++) {
        if (*c < '0' || *c > '9' || c - text >= 4)
            return 0;
        value = value * 10 + (*c - '0');
    }
    *version = value;
    return 1;
}

// A path the upgrade can be given: full, fitting, and without a character
// Windows refuses in a name ('|' also keeps CustomActionData unambiguous).
static const char *PathProblem(const char *path)
{
    if (!IsFullPath(path))
        return "is not a full path (C:\\folder or \\\\server\\share\\folder)";
    if (!TextFitsPath(path))
        return "is too long for a path";
    for (const unsigned char *c = (const unsigned char *)path + 2; *c; c++)
        if (*c < 0x20 || strchr("<>\"|?*:", *c) != NULL)
            return "holds a character Windows refuses in a path";
    return NULL;
}

static unsigned ReadProperty(OsMsiHandle install, const char *name, char *value, size_t capacity)
{
    unsigned error = OsMsiGetProperty(install, name, value, capacity);
    if (error != 0)
        Say(install, "Ledgerwick upgrade: the property %s could not be read (error %u).", name, error);
    return error;
}

// Reads and checks the public properties; every problem is named in the
// installer's log. 1 when all are good.
static int ReadArguments(OsMsiHandle install, MsiUpgradeArguments *arguments)
{
    char version[32], preview[32];
    if (ReadProperty(install, "LW_PREVIOUSVERSION", version, sizeof version) != 0 ||
        ReadProperty(install, "LW_PREVIEW", preview, sizeof preview) != 0 ||
        ReadProperty(install, "LW_OLDFOLDER", arguments->oldFolder, sizeof arguments->oldFolder) != 0 ||
        ReadProperty(install, "LW_REPORT", arguments->report, sizeof arguments->report) != 0)
        return 0;
    int good = 1;
    if (!ParseVersion(version, &arguments->previousVersion)) {
        Say(install, "Ledgerwick upgrade: LW_PREVIOUSVERSION \"%s\" is not a version number (1, 2, 3, 4).", version);
        good = 0;
    }
    if (strcmp(preview, "") == 0 || strcmp(preview, "0") == 0) {
        arguments->preview = 0;
    } else if (strcmp(preview, "1") == 0) {
        arguments->preview = 1;
    } else {
        Say(install, "Ledgerwick upgrade: LW_PREVIEW \"%s\" is neither 0 nor 1.", preview);
        good = 0;
    }
    const char *problem;
    if (arguments->oldFolder[0] != '\0' && (problem = PathProblem(arguments->oldFolder)) != NULL) {
        Say(install, "Ledgerwick upgrade: LW_OLDFOLDER \"%s\" %s.", arguments->oldFolder, problem);
        good = 0;
    }
    if (arguments->report[0] != '\0' && (problem = PathProblem(arguments->report)) != NULL) {
        Say(install, "Ledgerwick upgrade: LW_REPORT \"%s\" %s.", arguments->report, problem);
        good = 0;
    }
    return good;
}

// CustomActionData: "version|preview|old folder|report"; neither path holds
// a '|'.
static int FormatHandOver(const MsiUpgradeArguments *arguments, char *data, size_t capacity)
{
    return TextFormat(data, capacity, "%d|%d|%s|%s", arguments->previousVersion, arguments->preview,
                      arguments->oldFolder, arguments->report);
}

static int ParseHandOver(const char *data, MsiUpgradeArguments *arguments)
{
    const char *fields[4];
    size_t lengths[4];
    const char *start = data;
    for (int i = 0; i < 4; i++) {
        const char *end = i < 3 ? strchr(start, '|') : start + strlen(start);
        if (end == NULL)
            return 0;
        fields[i] = start;
        lengths[i] = (size_t)(end - start);
        start = end + 1;
    }
    char number[16];
    if (lengths[0] == 0 || lengths[0] >= sizeof number || lengths[1] != 1 || (fields[1][0] != '0' && fields[1][0] != '1'))
        return 0;
    memcpy(number, fields[0], lengths[0]);
    number[lengths[0]] = '\0';
    if (!ParseVersion(number, &arguments->previousVersion))
        return 0;
    arguments->preview = fields[1][0] == '1';
    if (lengths[2] >= OS_PATH_BUFFER || lengths[3] >= OS_PATH_BUFFER)
        return 0;
    memcpy(arguments->oldFolder, fields[2], lengths[2]);
    arguments->oldFolder[lengths[2]] = '\0';
    memcpy(arguments->report, fields[3], lengths[3]);
    arguments->report[lengths[3]] = '\0';
    return (arguments->oldFolder[0] == '\0' || PathProblem(arguments->oldFolder) == NULL) &&
           (arguments->report[0] == '\0' || PathProblem(arguments->report) == NULL);
}

unsigned LEDGERWICK_UPGRADE_API LedgerwickInstaller_MsiPrepareUpgrade(unsigned long install)
{
    MsiUpgradeArguments *arguments = (MsiUpgradeArguments *)OsAlloc(sizeof(MsiUpgradeArguments));
    char *data = (char *)OsAlloc(MSI_VALUE_BUFFER);
    unsigned result = OS_ERROR_INSTALL_FAILURE;
    if (arguments == nullptr || data == nullptr) {
        Say(install, "Ledgerwick upgrade: out of memory.");
    } else if (!ReadArguments(install, arguments)) {
        Say(install, "Ledgerwick upgrade: stopped before anything changed; correct the property and install again.");
    } else if (!FormatHandOver(arguments, data, MSI_VALUE_BUFFER) ||
               OsMsiSetProperty(install, MSI_DEFERRED_ID, data) != 0) {
        Say(install, "Ledgerwick upgrade: the property %s could not be set.", MSI_DEFERRED_ID);
    } else {
        Say(install, "Ledgerwick upgrade: scheduled from version %d, old folder \"%s\", report \"%s\"%s.",
            arguments->previousVersion, arguments->oldFolder[0] ? arguments->oldFolder : "C:\\Ledgerwick",
            arguments->report, arguments->preview ? ", preview only" : "");
        // ProgressAddition: the upgrade's share of the installer's total.
        OsMsiProgress(install, 3, MSI_UPGRADE_TICKS, 0);
        result = 0;
    }
    OsFree(data);
    OsFree(arguments);
    return result;
}

// The deferred run's link between the upgrade and the installer.
typedef struct MsiRun {
    OsMsiHandle install;
    int counted;   // the upgrade's own count is done: its lines are real
    int cancelled; // the installer said stop
    unsigned long long sent;
} MsiRun;

static int LEDGERWICK_UPGRADE_CALLBACK Tick(void *context, unsigned long long done, unsigned long long total,
                                           const wchar_t *item)
{
    (void)item;
    MsiRun *run = (MsiRun *)context;
    unsigned long long target = run->sent;
    if (total > 0) {
        run->counted = 1;
        target = done >= total ? MSI_UPGRADE_TICKS : done * MSI_UPGRADE_TICKS / total;
    }
    // A report of no ticks still lets the installer answer cancel while
    // the work is counted.
    int ticks = target > run->sent ? (int)(target - run->sent) : 0;
    run->sent += (unsigned long long)ticks;
    if (OsMsiProgress(run->install, 2, ticks, 0) == OS_IDCANCEL) {
        run->cancelled = 1;
        return 0;
    }
    return 1;
}

static const char *const LevelNames[] = {"INFO", "ERROR", "FATAL"};

static void Hear(void *context, const char *section, LogLevel level, const char *message)
{
    MsiRun *run = (MsiRun *)context;
    // The upgrade counts its work with a run that changes nothing first;
    // that run's lines tell of nothing done.
    if (!run->counted)
        return;
    const char *name = (int)level >= 0 && (int)level < 3 ? LevelNames[level] : "?";
    // Brackets and braces would be read as the installer's formatting (Wine
    // reads them inside a field's text too): the section goes in parentheses.
    Say(run->install, "Upgrade.dll (%s) %s %s", section, name, message);
}

// The report's lines in the installer's log too, for a report on a share
// that may not be read back from where the log is collected.
static void EchoReport(OsMsiHandle install, const char *report)
{
    OsFile *file = OsFopen(report, "r");
    if (file == nullptr)
        return;
    char *line = (char *)OsAlloc(MSI_LINE_BUFFER);
    while (line != nullptr && OsFgets(line, MSI_LINE_BUFFER, file) != nullptr) {
        size_t length = strlen(line);
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = '\0';
        Say(install, "Ledgerwick upgrade report: %s", line);
    }
    OsFree(line);
    OsFclose(file);
}

static wchar_t *Wide(const char *text)
{
    wchar_t *wide = (wchar_t *)OsAlloc(OS_PATH_BUFFER * sizeof(wchar_t));
    if (wide != nullptr && !OsUtf8ToWide(text, wide, OS_PATH_BUFFER)) {
        OsFree(wide);
        return nullptr;
    }
    return wide;
}

static unsigned RunUpgrade(OsMsiHandle install, const MsiUpgradeArguments *arguments)
{
    wchar_t *oldFolder = Wide(arguments->oldFolder);
    wchar_t *report = Wide(arguments->report);
    MsiRun run = {install, 0, 0, 0};
    int result = -1;
    if (oldFolder != nullptr && report != nullptr) {
        LogListen(Hear, &run);
        result = LedgerwickInstaller_UpgradeToVersion5ProgressW(
            arguments->previousVersion, oldFolder, arguments->preview ? LEDGERWICK_UPGRADE_PREVIEW : 0u, report,
            Tick, &run);
        LogListen(nullptr, nullptr);
    }
    OsFree(oldFolder);
    OsFree(report);
    if (result < 0) {
        Say(install, "Ledgerwick upgrade: not run (%d): %s; nothing was changed.", result,
            result == -2 ? "the report can't be written at LW_REPORT" : "a bad argument");
        return OS_ERROR_INSTALL_FAILURE;
    }
    if (arguments->report[0] != '\0')
        EchoReport(install, arguments->report);
    Say(install,
        "Ledgerwick upgrade: result %d (carried %d, kept %d, settings %d, failed %d, nothing to do %d, "
        "cancelled %d)%s.",
        result, (result & LEDGERWICK_UPGRADE_CARRIED) != 0, (result & LEDGERWICK_UPGRADE_KEPT) != 0,
        (result & LEDGERWICK_UPGRADE_SETTINGS) != 0, (result & LEDGERWICK_UPGRADE_FAILED) != 0,
        (result & LEDGERWICK_UPGRADE_NOTHING_TO_DO) != 0, (result & LEDGERWICK_UPGRADE_CANCELLED) != 0,
        arguments->preview ? ", a preview: nothing was changed" : "");
    if (result & LEDGERWICK_UPGRADE_CANCELLED) {
        Say(install, "Ledgerwick upgrade: stopped at the installer's cancel; installing again finishes it.");
        return OS_ERROR_INSTALL_USEREXIT;
    }
    // A file kept in the old folder or an operation that failed loses
    // nothing, and failing the install would roll back the new program while
    // the upgrade's moves stay: the install goes on, the report tells.
    if (result & (LEDGERWICK_UPGRADE_KEPT | LEDGERWICK_UPGRADE_FAILED))
        Say(install, "Ledgerwick upgrade: some user files stayed in the old folder; see the report.");
    if (run.sent < MSI_UPGRADE_TICKS)
        OsMsiProgress(install, 2, (int)(MSI_UPGRADE_TICKS - run.sent), 0);
    return 0;
}

unsigned LEDGERWICK_UPGRADE_API LedgerwickInstaller_MsiUpgrade(unsigned long install)
{
    MsiUpgradeArguments *arguments = (MsiUpgradeArguments *)OsAlloc(sizeof(MsiUpgradeArguments));
    char *data = (char *)OsAlloc(MSI_VALUE_BUFFER);
    unsigned result = OS_ERROR_INSTALL_FAILURE;
    if (arguments == nullptr || data == nullptr) {
        Say(install, "Ledgerwick upgrade: out of memory.");
    } else if (OsMsiGetProperty(install, "CustomActionData", data, MSI_VALUE_BUFFER) != 0 ||
               !ParseHandOver(data, arguments)) {
        Say(install,
            "Ledgerwick upgrade: no CustomActionData from LedgerwickInstaller_MsiPrepareUpgrade (the deferred "
            "action's Id must be " MSI_DEFERRED_ID "); nothing was changed.");
    } else {
        Say(install, "Ledgerwick upgrade: running from version %d, old folder \"%s\"%s.", arguments->previousVersion,
            arguments->oldFolder[0] ? arguments->oldFolder : "C:\\Ledgerwick",
            arguments->preview ? ", preview only" : "");
        result = RunUpgrade(install, arguments);
    }
    OsFree(data);
    OsFree(arguments);
    return result;
}
