// Shell folders through shell32, wide: a profile folder named outside the
// ANSI code page is given as it is, not as a look-alike that does not exist.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>

int OsSHGetSpecialFolderPath(int csidl, char *path, int create)
{
    if (path == NULL)
        return 0;
    path[0] = '\0';
    WCHAR wide[MAX_PATH];
    if (!SHGetSpecialFolderPathW(NULL, wide, csidl, create ? TRUE : FALSE) || !WideToUtf8(wide, path, OS_PATH_BUFFER)) {
        path[0] = '\0';
        return 0;
    }
    return 1;
}

int OsSHGetFolderPathFromLocation(int csidl, char *path)
{
    if (path == NULL)
        return 0;
    path[0] = '\0';
    LPITEMIDLIST items = NULL;
    if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &items)) || items == NULL)
        return 0;
    WCHAR wide[MAX_PATH];
    int found = SHGetPathFromIDListW(items, wide) ? 1 : 0;
    if (found) {
        PathRemoveBackslashW(wide); // Wine gives the documents folder with one
        found = WideToUtf8(wide, path, OS_PATH_BUFFER);
    }
    if (!found)
        path[0] = '\0';
    // The item list belongs to the shell's allocator, not to the heap.
    IMalloc *allocator = NULL;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != NULL) {
        allocator->Free(items);
        allocator->Release();
    }
    return found;
}
