// One value of an old INI file, read whole or not at all.
#include "upgrade/upgrade.h"

// The most characters a value may have, and one more: the profile API cuts a
// long value silently to the buffer, so a longer read is the only way to tell
// a value of 254 characters from a cut one.
#define INI_VALUE_CHARACTERS 254
// Bytes for the UTF-8 form of one character more than a value may have, and
// more: a read that fills this many was cut, and its value is too long.
#define INI_READ_SIZE (3 * (INI_VALUE_CHARACTERS + 1) + 1)

// Gives the number of characters delivered, or -1 (destination "") for a value
// too long for the destination: a cut path or name would name something else.
int ReadIniValue(const char *file, const char *section, const char *key, const char *defaultText, char *destination)
{
    if (destination == 0)
        return 0;
    destination[0] = '\0';
    if (file == 0 || section == 0 || key == 0)
        return 0;

    char value[INI_READ_SIZE];
    value[0] = '\0';
    unsigned long count = OsGetPrivateProfileString(section, key, defaultText ? defaultText : "", value,
                                                    INI_READ_SIZE, file);
    if (count >= INI_READ_SIZE - 1)
        return -1;
    value[count] = '\0';
    // Characters as Windows counts them, not bytes: a value in Polish or
    // Greek takes more bytes as UTF-8 than it did in its code page.
    size_t characters = TextUtf16Length(value);
    if (characters > INI_VALUE_CHARACTERS)
        return -1;
    TextCopyWhole(destination, INI_VALUE_BUFFER, value);
    return (int)characters;
}
