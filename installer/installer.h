// The installer-facing side of the library: its exports (the table in
// Upgrade.def) and the two small queries a setup program makes around the
// upgrade.
#pragma once

#include "platform/platform.h"

extern "C" {
int OS_STDCALL LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning(void);
void OS_STDCALL LedgerwickInstaller_GetInstallerFilename(const char *listFilePath);
void OS_STDCALL LedgerwickInstaller_GetInstallerFilenameW(const wchar_t *listFilePath);
}

// The window handle stored in the hWnd setting, 0 when there is none.
OsWindow ReadStoredWindowHandle(void);
// True when the window's title, lower-cased, contains text, lower-cased.
int WindowTitleContains(OsWindow window, const char *text);
