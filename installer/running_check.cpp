// Whether the application's main window is open, by the handle the
// application keeps in its hWnd setting. A handle that no longer names the
// application's window is reset to "0"; nothing else is changed.
#include "installer.h"
#include "settings/settings.h"

#include <string.h>

static const char kProductTitle[] = "Ledgerwick Complete";

// The handle as the runtime's atoi reads it: white space, an optional sign,
// decimal digits up to the first other character. msvcrt keeps the low 32
// bits of a number that outgrows an int, so a handle stored as an unsigned
// value still reads back as the same handle.
static int ParseHandleText(const char *text)
{
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    int negative = 0;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        value = value * 10u + (uint32_t)(*p - '0');
    if (negative)
        value = 0u - value;
    return (int32_t)value;
}

OsWindow ReadStoredWindowHandle(void)
{
    char text[256];
    text[0] = '\0';
    ReadSetting(SETTING_HWND, text, 255, "");
    // Window handles are 32-bit values, sign-extended on 64-bit Windows.
    return (OsWindow)(intptr_t)ParseHandleText(text);
}

int WindowTitleContains(OsWindow window, const char *text)
{
    char wanted[256];
    // A text longer than any title that is compared cannot be contained.
    if (!TextCopyWhole(wanted, sizeof wanted, text ? text : ""))
        return 0;
    char title[256];
    title[0] = '\0';
    OsGetWindowText(window, title, 255);
    title[sizeof title - 1] = '\0';
    TextLowerAscii(title);
    TextLowerAscii(wanted);
    return strstr(title, wanted) != NULL;
}

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning(void)
{
    OsWindow window = ReadStoredWindowHandle();
    int found = WindowTitleContains(window, kProductTitle);
    if (window != 0 && !found) {
        WriteSetting(SETTING_HWND, "0", 1);
        return 0;
    }
    return found ? 1 : 0;
}
