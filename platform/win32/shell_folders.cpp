// Shell folders through shell32.
#include "platform/platform.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>

int OsSHGetSpecialFolderPath(int csidl, char *path, int create)
{
    if (path == NULL)
        return 0;
    path[0] = '\0';
    if (!SHGetSpecialFolderPathA(NULL, path, csidl, create ? TRUE : FALSE)) {
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
    int found = SHGetPathFromIDListA(items, path) ? 1 : 0;
    if (!found)
        path[0] = '\0';
    else
        PathRemoveBackslashA(path); // Wine gives the documents folder with one
    // The item list belongs to the shell's allocator, not to the heap.
    IMalloc *allocator = NULL;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != NULL) {
        allocator->Free(items);
        allocator->Release();
    }
    return found;
}
