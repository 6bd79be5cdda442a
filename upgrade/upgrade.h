// The version-5 upgrade: the export, and the steps it runs in order. Each
// step logs under its own section and never reports failure to its caller.
#pragma once

#include "include/LedgerwickUpgrade.h"
#include "platform/platform.h"
#include "settings/settings.h"

// The upgrade behind every export, its old folder already UTF-8; unreadable
// when the caller's text was no text (the old folder is then left alone).
int UpgradeToVersion5Utf8(int previousVersion, const char *oldInstallPath, int unreadable);

// WriteSetting for a step: a refused write is logged at ERROR under section
// with its Windows error, and reported as failed. 1 when it was written.
int SaveSetting(SettingId id, const char *text, int overwrite, const char *section);

// Carries the old INI file's values into the registry without overwriting
// values that hold text; deletes the INI file once every value is held.
void WriteIniSettingsToRegistry(void);
// A value of an old INI file holds at most 254 characters (UTF-16 units, as
// Windows counts them); this many bytes hold its UTF-8 form and a terminator.
#define INI_VALUE_BUFFER (3 * 254 + 1)
// GetPrivateProfileString into destination (INI_VALUE_BUFFER bytes); gives
// the number of characters delivered, or -1 with destination "" for a value
// too long to carry whole (it is refused rather than cut).
int ReadIniValue(const char *file, const char *section, const char *key, const char *defaultText, char *destination);

// The data folder into path (OS_PATH_BUFFER), "" when none could be settled.
// 1 only when this call made and stored a new default.
int GetDefaultDataFilePath(char *path);
// Copies and moves the user's files out of the old installation folder.
void TransferUserFiles(const char *oldDatafilePath, const char *newDatafilePath);

// 1 when currentDatafile (OS_PATH_BUFFER, in and out) now holds the data file's
// path in the new folder.
int CheckIfDatafileMoved(char *currentDatafile, const char *oldDatafilePath, const char *newDatafilePath);
// Clears the last-opened setting when that file does not lie directly in the
// data folder, unless it is keptFile (null for none): the user's latest data
// file that could not be carried and was kept in the old folder.
void ValidateLastLedgerwickOpenedInDatafileFolder(const char *keptFile = nullptr);

// The section the upgrade's own run is traced under.
#define UPGRADE_SECTION "UpV5"

// 1 when the transfer judges a file of this name at the old folder's top: a
// data file or an earlier copy (a renamed one, "Accounts.OLD", is carried).
int IsJudgedByTheTransfer(const char *name);
// 1 when a file of this name is one of the user's: a data file, an earlier
// copy, a backup or a letter.
int IsUsersFileName(const char *name);
// Reports as kept each of the user's files that is still in the old folder
// where no step carries files from (newDatafilePath and keptFolder, where they
// lie inside it, are the user's and are not looked into).
void ReportUserFilesLeftBehind(const char *oldInstallPath, const char *newDatafilePath, const char *keptFolder);

// Removes the old program's files and sub-folders (never the user's files).
// newDatafilePath is where the transfer carried them; keptFolder (or null) a
// folder of the user's inside the old folder, kept with the way to it.
void DeleteOldVersion(const char *oldInstallPath, const char *newDatafilePath, const char *keptFolder);

// Whether the upgrade may act on an old installation folder. Null when it
// may; else the reason, for the log, why it is left alone: a path that is not
// full, a drive or share root, a link, the Windows folder or a folder in it,
// a system or user folder (profile, documents, program files, ...) or one
// that holds such a folder, or a folder inside the data folder.
const char *OldFolderRefusal(const char *oldPath, const char *newDatafilePath);
// 1 when a data folder can hold the user's files: a full path to a folder
// that exists or could be created now (it is then created).
int DataFolderUsable(const char *newDatafilePath);
// Removes the old program-menu group and desktop shortcuts.
void RemoveIcons(void);
// Writes "_Readme.txt" into folder, naming the new data folder. formerPath is
// the folder's path before it took its " OLD" name (null: the same): the
// report names the files that stayed in it by that path.
void WriteReadme(const char *folder, const char *newDatafilePath, const char *formerPath = nullptr);
int GetShellFolder(int csidl, char *path);
int GetProgramMenuFolder(char *path);
int GetDesktopFolder(char *path);
