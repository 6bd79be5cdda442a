// The catalogue of the application's registry settings: value names in id
// order, the key they live under, and which root holds each of them.
#include "settings.h"

const char *const SettingCatalogue[SETTING_COUNT] = {
    "DatafilePath",
    "hWnd",
    "LastLedgerwickOpenedInDataFolder",
    "QIFFile",
    "SMTPPort",
    "SMTPServer",
    "State",
    "TaxNameInHelpDocs",
    "User",
    "UseSunkenControls",
    "OKToLoadID",
    "AllowShiftKeyBypass",
    "RunDemo",
    "FileToOpen",
    "EnableDebugLog",
    "LCVer",
    "InstallerFilename",
    "InstallPath",
    "StartAccessPath",
    "SMTPUsername",
    "SMTPPassword",
};

int SettingIdIsValid(SettingId id)
{
    return id >= 0 && id < SETTING_COUNT;
}

int SettingsKeyPath(SettingId id, char *destination, size_t capacity)
{
    (void)id; // one key for every setting, in both roots
    return TextCopyWhole(destination, capacity, SETTINGS_KEY_PATH);
}

OsRootKey SettingRootKey(SettingId id)
{
    // The installation's own facts are per machine; everything the user
    // configures is per user.
    switch (id) {
    case SETTING_LC_VER:
    case SETTING_INSTALLER_FILENAME:
    case SETTING_INSTALL_PATH:
    case SETTING_START_ACCESS_PATH:
        return OS_HKEY_LOCAL_MACHINE;
    default:
        return OS_HKEY_CURRENT_USER;
    }
}
