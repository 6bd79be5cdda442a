// Writing a setting from a step of the upgrade. A write the registry refused
// is never logged or reported as done: the setting is what the application
// reads on its next start, so a setup must learn that it still names the old
// place.
#include "upgrade/upgrade.h"

#include "log/log.h"
#include "settings/settings.h"
#include "upgrade/report.h"

int SaveSetting(SettingId id, const char *text, int overwrite, const char *section)
{
    OsSetLastError(0);
    int changed;
    if (WriteSetting(id, text, overwrite, &changed)) {
        if (changed)
            ReportSettingsMigrated();
        return 1;
    }
    unsigned long error = OsGetLastError();
    if (error == OS_ERROR_CANCELLED)
        return 0; // the caller stopped the run: the setting is the next run's
    const char *name = SettingIdIsValid(id) ? SettingCatalogue[id] : "[NULL]";
    LogMessage(LOG_MODULE, section, LOG_ERROR, "Not Saved to Registry: %s = %s (Windows error %lu)", name,
               text ? text : "", error);
    // The report names the value as regedit shows it: no file has that name.
    char value[OS_PATH_BUFFER];
    TextFormat(value, sizeof value, "%s\\%s\\%s",
               SettingIdIsValid(id) && SettingRootKey(id) == OS_HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE"
                                                                                  : "HKEY_CURRENT_USER",
               SETTINGS_KEY_PATH, name);
    ReportSettingFailed(value, text, error);
    return 0;
}
