// The settings store: the catalogue of the application's registry values,
// reading and writing them by id, and the Base64 form of the mail password.
#pragma once

#include "preview/preview.h"

// The index of a setting in the catalogue; the numbering is fixed.
typedef int SettingId;
enum {
    SETTING_DATAFILE_PATH = 0,
    SETTING_HWND = 1,
    SETTING_LAST_OPENED = 2, // LastLedgerwickOpenedInDataFolder
    SETTING_QIF_FILE = 3,
    SETTING_SMTP_PORT = 4,
    SETTING_SMTP_SERVER = 5,
    SETTING_STATE = 6,
    SETTING_TAX_NAME_IN_HELP_DOCS = 7,
    SETTING_USER = 8,
    SETTING_USE_SUNKEN_CONTROLS = 9,
    SETTING_OK_TO_LOAD_ID = 10,
    SETTING_ALLOW_SHIFT_KEY_BYPASS = 11,
    SETTING_RUN_DEMO = 12,
    SETTING_FILE_TO_OPEN = 13,
    SETTING_ENABLE_DEBUG_LOG = 14,
    SETTING_LC_VER = 15,
    SETTING_INSTALLER_FILENAME = 16,
    SETTING_INSTALL_PATH = 17,
    SETTING_START_ACCESS_PATH = 18,
    SETTING_SMTP_USERNAME = 19,
    SETTING_SMTP_PASSWORD = 20,
    SETTING_COUNT = 21
};

// The registry value names, in id order.
extern const char *const SettingCatalogue[SETTING_COUNT];

// The key every setting lives under, in both roots.
// The most text a setting holds, terminator included: WriteSetting refuses
// more, and a reader that must tell a long value from a missing one reads
// this much.
#define SETTING_TEXT_CAPACITY 2048

#define SETTINGS_KEY_PATH "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings"

// Reads a setting into destination (capacity bytes, terminator included).
// Gives the stored size (text length + 1) when stored text was delivered, the
// default's length + 1 when a non-empty default was, else 0. A missing,
// empty or too large value (one whose text and terminator need more than
// capacity bytes, a terminator added to bytes stored without one) all give
// the default; a default that does not fit gives "" and 0.
int ReadSetting(SettingId id, char *destination, unsigned long capacity, const char *defaultText);
// A setting that holds a path, into path (OS_PATH_BUFFER): as ReadSetting,
// but a value too long for a path gives 0 and "" (it is no path).
int ReadPathSetting(SettingId id, char *path);
// Writes a setting as REG_SZ; with overwrite 0 a value that already holds text
// is left alone. Null text stores the empty text. A text above 2047
// characters (for SMTPPassword: whose Base64 form is) is refused, not cut.
// 1 when the value was written or kept, 0 when it was refused or the store
// could not be written; the last error then says why (ERROR_INVALID_PARAMETER
// for a refused id or text). With changed, *changed says whether the setting
// now holds other text than before (never for empty text).
int WriteSetting(SettingId id, const char *text, int overwrite, int *changed = NULL);
// 1 for ids 0 to 20; no operation acts on any other id.
int SettingIdIsValid(SettingId id);

// The key path into destination (capacity bytes); 1 when it fitted.
int SettingsKeyPath(SettingId id, char *destination, size_t capacity);
OsRootKey SettingRootKey(SettingId id);

// Base64 of the mail password (RFC 4648, standard alphabet, "=" padding).
// out holds outSize bytes; an encoding that does not fit leaves out "" and
// gives 0, else 1.
int EncodePassword(const char *text, char *out, size_t outSize);
// What DecodePassword gives for text that is no Base64.
#define PASSWORD_INVALID_MARKER "#### Invalid ####"
// The number of bytes decoded into out (terminated); for rejected input out
// holds PASSWORD_INVALID_MARKER and the result is 0. out holds outSize bytes; a
// result that does not fit leaves out "" and gives 0. "=" and bytes outside
// the alphabet count as 0.
int DecodePassword(const char *text, char *out, size_t outSize);
