// Carries the settings that versions before 5 kept in "ledgerwick.ini" (and
// the state from "win.ini") into the registry, then retires the INI file.
#include "upgrade/upgrade.h"

#include "log/log.h"
#include "settings/settings.h"
#include "upgrade/report.h"

#define INI_SECTION "WriteIniSettingsToRegistry"
#define OLD_INI_FILE "ledgerwick.ini"

typedef struct IniRow {
    const char *section;
    const char *key;
    // Read when key gives the empty text: the old program wrote the long
    // file name under one key and the 8.3 form under the other.
    const char *fallbackKey;
    SettingId setting;
    const char *logFormat;
} IniRow;

static const IniRow IniRows[] = {
    {"Email Setup", "SMTPServer", 0, SETTING_SMTP_SERVER, "SMTPServer: %s"},
    {"Email Setup", "SMTPPort", 0, SETTING_SMTP_PORT, "SMTPPort: %s"},
    {"Microsoft Access", "QIFFileLong", "QIFFile", SETTING_QIF_FILE, "QIFFile: %s"},
    {"Microsoft Access", "User", 0, SETTING_USER, "User: %s"},
    {"Microsoft Access", "LastNonFloppyLedgerwickLong", "LastNonFloppyLedgerwick", SETTING_LAST_OPENED,
     "LastNonFloppyLedgerwick: %s"},
};

// Reads one key into value; gives 1 when the file had text for it, including
// text too long to carry (value is then "").
static int ReadRowKey(const char *file, const char *section, const char *key, char *value)
{
    int count = ReadIniValue(file, section, key, "", value);
    if (count < 0) {
        LogMessage(LOG_MODULE, INI_SECTION, LOG_ERROR, "Value too long, not carried over: %s", key);
        return 1;
    }
    return count > 0;
}

static int SettingHoldsText(SettingId id)
{
    char value[SETTING_TEXT_CAPACITY];
    return ReadSetting(id, value, sizeof value, "") > 0;
}

// The INI file is the only copy of a value until the registry holds it; a
// registry that refused a write must leave it for a later run.
static void DeleteOldIniFile(void)
{
    char path[OS_PATH_BUFFER];
    unsigned length = OsGetWindowsDirectory(path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    // Without the file name the path would name the Windows folder itself.
    if (!OsPathAppend(path, OLD_INI_FILE))
        return;
    // A read-only, hidden or system file would refuse the delete.
    PvSetFileAttributes(path, OS_FILE_ATTRIBUTE_NORMAL);
    PvDeleteFile(path);
}

void WriteIniSettingsToRegistry(void)
{
    LogMessage(LOG_MODULE, INI_SECTION, LOG_INFO, "----## Started ##----");

    char value[OS_PATH_BUFFER];
    int everyValueHeld = 1;
    for (size_t i = 0; i < sizeof IniRows / sizeof IniRows[0] && !PvCancelled(); i++) {
        const IniRow *row = &IniRows[i];
        int carried = ReadRowKey(OLD_INI_FILE, row->section, row->key, value);
        if (value[0] == '\0' && row->fallbackKey != 0)
            carried |= ReadRowKey(OLD_INI_FILE, row->section, row->fallbackKey, value);
        // Keep existing: a value the user set in version 5 wins.
        SaveSetting(row->setting, value, 0, INI_SECTION);
        LogMessage(LOG_MODULE, INI_SECTION, LOG_INFO, row->logFormat, value);
        if (carried && !SettingHoldsText(row->setting))
            everyValueHeld = 0;
    }

    // The application expects the value to exist, empty or not.
    SaveSetting(SETTING_HWND, "", 0, INI_SECTION);

    ReadRowKey("win.ini", "intl", "sState", value);
    SaveSetting(SETTING_STATE, value, 0, INI_SECTION);
    LogMessage(LOG_MODULE, INI_SECTION, LOG_INFO, "sState: %s", value);

    if (everyValueHeld)
        DeleteOldIniFile();
    else
        LogMessage(LOG_MODULE, INI_SECTION, LOG_ERROR,
                   "Registry does not hold every INI value, " OLD_INI_FILE " kept");

    LogMessage(LOG_MODULE, INI_SECTION, LOG_INFO, "----## Finished ##----");
}
