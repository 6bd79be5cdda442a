// The Windows Installer session through msi.dll, loaded for each call and
// let go after it: msi.dll is no import of the DLL, so a setup that never
// runs one of the custom actions never loads it, and inside a custom-action
// server it is already loaded and the load only counts a reference.
#include "platform/platform.h"

#include "platform/win32/wide.h"

typedef unsigned long MsiHandleType;
typedef UINT(WINAPI *GetPropertyFn)(MsiHandleType, LPCWSTR, LPWSTR, DWORD *);
typedef UINT(WINAPI *SetPropertyFn)(MsiHandleType, LPCWSTR, LPCWSTR);
typedef BOOL(WINAPI *GetModeFn)(MsiHandleType, int);
typedef MsiHandleType(WINAPI *CreateRecordFn)(UINT);
typedef UINT(WINAPI *RecordSetStringFn)(MsiHandleType, UINT, LPCWSTR);
typedef UINT(WINAPI *RecordSetIntegerFn)(MsiHandleType, UINT, int);
typedef int(WINAPI *ProcessMessageFn)(MsiHandleType, int, MsiHandleType);
typedef UINT(WINAPI *CloseHandleFn)(MsiHandleType);

#define MSI_INFO 0x04000000
#define MSI_PROGRESS 0x0A000000

static HMODULE LoadMsi(void)
{
    return LoadLibraryW(L"msi.dll");
}

// void (*)(void) is the type a function pointer is cast through to any
// other without a warning.
typedef void (*AnyFn)(void);
static AnyFn Entry(HMODULE msi, const char *name)
{
    return msi == NULL ? NULL : (AnyFn)GetProcAddress(msi, name);
}

unsigned OsMsiGetProperty(OsMsiHandle install, const char *name, char *value, size_t capacity)
{
    if (value == NULL || capacity == 0)
        return ERROR_INVALID_PARAMETER;
    value[0] = '\0';
    WCHAR wideName[128];
    if (name == NULL || !Utf8ToWide(name, wideName, 128))
        return ERROR_INVALID_PARAMETER;
    HMODULE msi = LoadMsi();
    GetPropertyFn get = (GetPropertyFn)Entry(msi, "MsiGetPropertyW");
    if (get == NULL) {
        if (msi != NULL)
            FreeLibrary(msi);
        return OS_ERROR_DLL_NOT_FOUND;
    }
    // A UTF-16 unit never takes fewer than one UTF-8 byte: this many units
    // is all that can fit.
    DWORD units = (DWORD)(capacity < 32768 ? capacity : 32768);
    WCHAR *wide = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, units * sizeof(WCHAR));
    UINT result = ERROR_NOT_ENOUGH_MEMORY;
    if (wide != NULL) {
        DWORD length = units;
        result = get(install, wideName, wide, &length);
        if (result == ERROR_SUCCESS && !WideToUtf8(wide, value, capacity)) {
            value[0] = '\0';
            result = ERROR_MORE_DATA;
        } else if (result != ERROR_SUCCESS) {
            value[0] = '\0';
        }
        HeapFree(GetProcessHeap(), 0, wide);
    }
    FreeLibrary(msi);
    return result;
}

unsigned OsMsiSetProperty(OsMsiHandle install, const char *name, const char *value)
{
    WCHAR wideName[128];
    if (name == NULL || !Utf8ToWide(name, wideName, 128))
        return ERROR_INVALID_PARAMETER;
    int units = MultiByteToWideChar(CP_UTF8, 0, value ? value : "", -1, NULL, 0);
    if (units <= 0)
        return ERROR_INVALID_PARAMETER;
    WCHAR *wide = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (size_t)units * sizeof(WCHAR));
    if (wide == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    MultiByteToWideChar(CP_UTF8, 0, value ? value : "", -1, wide, units);
    HMODULE msi = LoadMsi();
    SetPropertyFn set = (SetPropertyFn)Entry(msi, "MsiSetPropertyW");
    UINT result = set == NULL ? OS_ERROR_DLL_NOT_FOUND : set(install, wideName, wide);
    if (msi != NULL)
        FreeLibrary(msi);
    HeapFree(GetProcessHeap(), 0, wide);
    return result;
}

int OsMsiGetMode(OsMsiHandle install, int mode)
{
    HMODULE msi = LoadMsi();
    GetModeFn get = (GetModeFn)Entry(msi, "MsiGetMode");
    int result = get != NULL && get(install, mode) ? 1 : 0;
    if (msi != NULL)
        FreeLibrary(msi);
    return result;
}

// One record handed to MsiProcessMessage: text in field 1 under a "[1]"
// template, or integers in fields 1 to 3.
static int Process(OsMsiHandle install, int kind, const char *text, const int *numbers)
{
    HMODULE msi = LoadMsi();
    CreateRecordFn create = (CreateRecordFn)Entry(msi, "MsiCreateRecord");
    RecordSetStringFn setString = (RecordSetStringFn)Entry(msi, "MsiRecordSetStringW");
    RecordSetIntegerFn setInteger = (RecordSetIntegerFn)Entry(msi, "MsiRecordSetInteger");
    ProcessMessageFn process = (ProcessMessageFn)Entry(msi, "MsiProcessMessage");
    CloseHandleFn close = (CloseHandleFn)Entry(msi, "MsiCloseHandle");
    int answer = -1;
    if (create != NULL && setString != NULL && setInteger != NULL && process != NULL && close != NULL) {
        MsiHandleType record = create(text != NULL ? 1 : 4);
        if (record != 0) {
            int ready = 1;
            if (text != NULL) {
                int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
                WCHAR *wide = units > 0 ? (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (size_t)units * sizeof(WCHAR)) : NULL;
                if (wide != NULL) {
                    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units);
                    ready = setString(record, 0, L"[1]") == ERROR_SUCCESS && setString(record, 1, wide) == ERROR_SUCCESS;
                    HeapFree(GetProcessHeap(), 0, wide);
                } else {
                    ready = 0;
                }
            } else {
                for (int field = 1; field <= 3; field++)
                    ready = ready && setInteger(record, (UINT)field, numbers[field - 1]) == ERROR_SUCCESS;
                ready = ready && setInteger(record, 4, 0) == ERROR_SUCCESS;
            }
            if (ready)
                answer = process(install, kind, record);
            close(record);
        }
    }
    if (msi != NULL)
        FreeLibrary(msi);
    return answer;
}

int OsMsiLogLine(OsMsiHandle install, const char *text)
{
    return Process(install, MSI_INFO, text ? text : "", NULL);
}

int OsMsiProgress(OsMsiHandle install, int type, int ticks, int third)
{
    int numbers[3] = {type, ticks, third};
    return Process(install, MSI_PROGRESS, NULL, numbers);
}
