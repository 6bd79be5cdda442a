// Reading and writing one setting. Every call opens the settings key, reads or
// writes one value and closes the key again; nothing is kept between calls.
#include "settings.h"

#include <string.h>

// Replaces the Base64 text in scratch (capacity bytes) by the plain text.
// 1 when it fitted, 0 when it did not; -1 when no memory could be had.
static int DecodeInPlace(char *scratch, unsigned long capacity)
{
    size_t n = strlen(scratch);
    size_t size = 3 * (n / 4) + 1;
    if (size < sizeof PASSWORD_INVALID_MARKER)
        size = sizeof PASSWORD_INVALID_MARKER;
    char *decoded = (char *)OsAlloc(size);
    if (decoded == NULL)
        return -1;
    DecodePassword(scratch, decoded, size);
    // The stored bytes are in the ANSI code page (see WriteSetting); the
    // library's text is UTF-8, where such a character takes up to 3 bytes.
    size_t textSize = 3 * size;
    char *text = (char *)OsAlloc(textSize);
    if (text == NULL) {
        OsFree(decoded);
        return -1;
    }
    if (!OsAnsiToUtf8(decoded, text, textSize))
        TextCopy(text, textSize, decoded);
    // The invalid marker can be longer than a small capacity.
    int fitted = TextCopyWhole(scratch, capacity, text);
    OsFree(text);
    OsFree(decoded);
    return fitted;
}

int ReadSetting(SettingId id, char *destination, unsigned long capacity, const char *defaultText)
{
    if (destination == NULL || capacity == 0)
        return 0;
    destination[0] = '\0';
    if (!SettingIdIsValid(id))
        return 0;
    // One byte more than is offered to the query, always zero: a value stored
    // without a terminating zero (any type is accepted) still ends there.
    char *scratch = (char *)OsAlloc((size_t)capacity + 1);
    if (scratch == NULL)
        return 0;
    memset(scratch, 0, (size_t)capacity + 1);

    int delivered = 0;
    int noMemory = 0;
    unsigned long size = 0;
    PvKey key;
    if (PvRegOpenKey(SettingRootKey(id), SETTINGS_KEY_PATH, &key) == OS_ERROR_SUCCESS) {
        size = capacity;
        long status = PvRegQueryValueEx(&key, SettingCatalogue[id], NULL, (unsigned char *)scratch, &size);
        if (status == OS_ERROR_SUCCESS && size <= capacity) {
            scratch[size] = '\0';
            // Text that fills every offered byte has no room for its
            // terminator in the destination: it does not fit.
            delivered = scratch[0] != '\0' && strlen(scratch) < capacity;
        }
        if (delivered && id == SETTING_SMTP_PASSWORD) {
            int decoded = DecodeInPlace(scratch, capacity);
            noMemory = decoded < 0;
            delivered = decoded > 0 && scratch[0] != '\0';
            size = (unsigned long)strlen(scratch) + 1;
        }
        PvRegCloseKey(&key);
    }

    int result = 0;
    if (noMemory) {
        result = 0;
    } else if (delivered) {
        TextCopyWhole(destination, capacity, scratch);
        result = (int)size;
    } else if (defaultText != NULL && defaultText[0] != '\0') {
        // A default that does not fit is refused whole rather than cut.
        if (TextCopyWhole(destination, capacity, defaultText))
            result = (int)strlen(defaultText) + 1;
    }
    OsFree(scratch);
    return result;
}

int ReadPathSetting(SettingId id, char *path)
{
    int result = ReadSetting(id, path, OS_PATH_BUFFER, "");
    if (result > 0 && !TextFitsPath(path)) {
        path[0] = '\0';
        return 0;
    }
    return result;
}

// A write that fails says why, as the registry's own calls do.
static int Refused(unsigned long error)
{
    OsSetLastError(error);
    return 0;
}

int WriteSetting(SettingId id, const char *text, int overwrite, int *changed)
{
    if (changed != NULL)
        *changed = 0;
    if (!SettingIdIsValid(id))
        return Refused(OS_ERROR_INVALID_PARAMETER);
    char buffer[SETTING_TEXT_CAPACITY];
    if (!overwrite) {
        // A value too large to read here counts as missing and is replaced.
        if (ReadSetting(id, buffer, sizeof buffer, "") > 0 && buffer[0] != '\0')
            return 1;
    }
    // A cut text would be a wrong path or a wrong password: refuse instead.
    if (!TextCopyWhole(buffer, sizeof buffer, text ? text : ""))
        return Refused(OS_ERROR_INVALID_PARAMETER);
    // Text that differs from what the setting holds: asked only by a caller
    // that counts the changes, which costs a read.
    int changes = 0;
    if (changed != NULL && buffer[0] != '\0') {
        char current[SETTING_TEXT_CAPACITY];
        ReadSetting(id, current, sizeof current, "");
        changes = strcmp(current, buffer) != 0;
    }

    char encoded[SETTING_TEXT_CAPACITY];
    const char *stored = buffer;
    if (id == SETTING_SMTP_PASSWORD) {
        // The application reads the password as bytes of the ANSI code page,
        // as the old INI file held them: its Base64 is of those bytes, where
        // every character can be written there.
        char ansi[SETTING_TEXT_CAPACITY];
        int lossy = 0;
        const char *plain = OsUtf8ToAnsi(buffer, ansi, sizeof ansi, &lossy) && !lossy ? ansi : buffer;
        if (!EncodePassword(plain, encoded, sizeof encoded))
            return Refused(OS_ERROR_INVALID_PARAMETER);
        stored = encoded;
    }

    PvKey key;
    long status = PvRegCreateKey(SettingRootKey(id), SETTINGS_KEY_PATH, &key);
    if (status != OS_ERROR_SUCCESS)
        return Refused((unsigned long)status);
    status = PvRegSetValueEx(&key, SettingCatalogue[id], OS_REG_SZ, (const unsigned char *)stored,
                             (unsigned long)strlen(stored) + 1);
    PvRegFlushKey(&key);
    PvRegCloseKey(&key);
    if (status != OS_ERROR_SUCCESS)
        return Refused((unsigned long)status);
    if (changed != NULL)
        *changed = changes;
    return 1;
}
