// The installer-facing side of the library: its exports (the table in
// Upgrade.def) and the two small queries a setup program makes around the
// upgrade.
#pragma once

#include "include/LedgerwickUpgrade.h"
#include "platform/platform.h"

// The window handle stored in the hWnd setting, 0 when there is none.
OsWindow ReadStoredWindowHandle(void);
// True when the window's title, lower-cased, contains text, lower-cased.
int WindowTitleContains(OsWindow window, const char *text);
