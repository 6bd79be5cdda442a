// The clock, waits and window titles through kernel32 and user32.
#include "platform/platform.h"

#include "platform/win32/wide.h"

#include <string.h>

void OsGetLocalTime(OsLocalTime *time)
{
    if (time == NULL)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    time->hour = now.wHour;
    time->minute = now.wMinute;
    time->second = now.wSecond;
    time->milliseconds = now.wMilliseconds;
}

int OsGetWindowText(OsWindow window, char *buffer, int count)
{
    if (buffer == NULL || count <= 0)
        return 0;
    buffer[0] = '\0';
    // The handle comes from the settings and may be long stale (or reused):
    // ask whether it names a window at all before asking for its title.
    HWND handle = reinterpret_cast<HWND>(window);
    if (window == 0 || !IsWindow(handle))
        return 0;
    WCHAR title[512];
    char text[3 * 512];
    if (GetWindowTextW(handle, title, 512) <= 0 || !WideToUtf8(title, text, sizeof text)) {
        buffer[0] = '\0';
        return 0;
    }
    // Cut to the buffer as GetWindowText cuts, but never inside a character.
    size_t length = strlen(text);
    if (length >= (size_t)count) {
        length = (size_t)count - 1;
        while (length > 0 && ((unsigned char)text[length] & 0xC0) == 0x80)
            length--;
    }
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return (int)length;
}

unsigned long long OsGetTickCount(void)
{
    return GetTickCount64();
}

void OsSleep(unsigned milliseconds)
{
    Sleep(milliseconds);
}
