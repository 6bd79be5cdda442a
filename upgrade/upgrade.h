// The version-5 upgrade: the export, and the steps it runs in order. Each
// step logs under its own section and never reports failure to its caller.
#pragma once

#include "platform/platform.h"

extern "C" int OS_STDCALL LedgerwickInstaller_UpgradeToVersion5(int previousVersion, const char *oldInstallPath);

// Carries the old INI file's values into the registry without overwriting
// values that hold text; deletes the INI file once every value is held.
void WriteIniSettingsToRegistry(void);
// GetPrivateProfileStringA into destination (255 characters and terminator);
// gives the number of characters delivered, or -1 with destination "" for a
// value too long to carry whole (it is refused rather than cut).
int ReadIniValue(const char *file, const char *section, const char *key, const char *defaultText, char *destination);

// The data folder into path (OS_MAX_PATH), "" when none could be settled.
// 1 only when this call made and stored a new default.
int GetDefaultDataFilePath(char *path);
// Copies and moves the user's files out of the old installation folder.
void TransferUserFiles(const char *oldDatafilePath, const char *newDatafilePath);

// 1 when currentDatafile (OS_MAX_PATH, in and out) now holds the data file's
// path in the new folder.
int CheckIfDatafileMoved(char *currentDatafile, const char *oldDatafilePath, const char *newDatafilePath);
// Clears the last-opened setting when that file does not lie directly in the
// data folder.
void ValidateLastLedgerwickOpenedInDatafileFolder(void);

// Removes the old program's files and sub-folders (never the user's files).
void DeleteOldVersion(const char *oldInstallPath);
// Removes the old program-menu group and desktop shortcuts.
void RemoveIcons(void);
// Writes "_Readme.txt" into folder, naming the new data folder.
void WriteReadme(const char *folder, const char *newDatafilePath);
int GetShellFolder(int csidl, char *path);
int GetProgramMenuFolder(char *path);
int GetDesktopFolder(char *path);
