// Which folders the upgrade may act on. A setup passes whatever it has: an
// empty variable, a registry value read from the wrong view, a path typed by
// hand. The old folder is copied from, emptied and renamed, so a wrong one
// (a drive root, the Windows folder, the user's documents) would scatter or
// destroy files that were never the old program's.
#include "upgrade/upgrade.h"
#include "files/files.h"

// The system's and the user's own folders: none of them, and no folder that
// holds one of them ("C:\Users" holds the profile), is ever an installation
// folder.
static const int kSystemFolders[] = {
    OS_CSIDL_PROFILE,       OS_CSIDL_PERSONAL,         OS_CSIDL_DESKTOPDIRECTORY,
    OS_CSIDL_APPDATA,       OS_CSIDL_LOCAL_APPDATA,    OS_CSIDL_STARTMENU,
    OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY, OS_CSIDL_COMMON_APPDATA,
    OS_CSIDL_COMMON_DOCUMENTS, OS_CSIDL_PROGRAM_FILES, OS_CSIDL_PROGRAM_FILESX86,
};

// Whether folder is the old folder or inside it (holds), and, when asked,
// whether the old folder is inside folder (within). form is the old folder's
// identity form, made once for all the folders it is held against.
static int Overlaps(const char *form, const char *folder, int within)
{
    char folderForm[OS_PATH_BUFFER];
    if (!HasText(folder) || !PathIdentityForm(folder, folderForm))
        return 0;
    return FormIsAtOrBelow(folderForm, form) || (within && FormIsAtOrBelow(form, folderForm));
}

const char *OldFolderRefusal(const char *oldPath, const char *newDatafilePath)
{
    if (!IsFullPath(oldPath))
        return "not a full path";
    char form[OS_PATH_BUFFER];
    if (!PathIdentityForm(oldPath, form))
        return "not a full path";
    if (IsRootFolder(form))
        return "a drive or share root";
    unsigned long attributes = PvGetFileAttributes(form);
    if (attributes != OS_INVALID_FILE_ATTRIBUTES && (attributes & OS_FILE_ATTRIBUTE_REPARSE_POINT))
        return "a link to another folder";

    char folder[OS_PATH_BUFFER];
    unsigned length = OsGetWindowsDirectory(folder, sizeof folder);
    if (length > 0 && length < sizeof folder && Overlaps(form, folder, 1))
        return "the Windows folder, or in it";
    for (unsigned i = 0; i < sizeof kSystemFolders / sizeof kSystemFolders[0]; i++) {
        // The path alone is wanted: an item list costs the shell far more.
        if (!PvSHGetSpecialFolderPath(kSystemFolders[i], folder, 0))
            continue;
        if (Overlaps(form, folder, 0))
            return "a system or user folder, or one that holds one";
    }
    if (HasText(newDatafilePath) && PathIsAtOrBelow(form, newDatafilePath))
        return "the data folder, or in it";
    return nullptr;
}

int DataFolderUsable(const char *newDatafilePath)
{
    if (!IsFullPath(newDatafilePath))
        return 0;
    char form[OS_PATH_BUFFER];
    if (!PathIdentityForm(newDatafilePath, form))
        return 0;
    return EnsureFolderExists(newDatafilePath) == -1;
}
