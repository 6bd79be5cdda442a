// One value of an old INI file, read whole or not at all.
#include "upgrade/upgrade.h"

// The destination holds 254 characters and a terminator.
#define INI_VALUE_CAPACITY 255
// One character more than the destination takes: the profile API cuts a long
// value silently to the buffer, so a longer read is the only way to tell a
// value of 254 characters from a cut one.
#define INI_READ_SIZE (INI_VALUE_CAPACITY + 1)

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
    if (count >= INI_VALUE_CAPACITY)
        return -1;
    value[count] = '\0';
    TextCopyWhole(destination, INI_VALUE_CAPACITY, value);
    return (int)count;
}
