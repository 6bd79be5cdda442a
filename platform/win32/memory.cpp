// Scratch memory from the process heap, through kernel32.
#include "platform/platform.h"

#include <windows.h>

void *OsAlloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void OsFree(void *memory)
{
    if (memory != NULL)
        HeapFree(GetProcessHeap(), 0, memory);
}
