// Stands in for a running Ledgerwick Complete in the end-to-end setup test:
// opens a top-level window with the given title, stores its handle in the
// hWnd setting as the application does, writes a ready file, and keeps the
// window alive until a stop file appears (or a minute has passed).
//
//   window_holder.exe <title> <ready file> <stop file>
#include <windows.h>

#include <stdio.h>

static const char kSettingsKey[] = "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings";

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: window_holder <title> <ready file> <stop file>\n");
        return 2;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LedgerwickWindowHolder";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) {
        fprintf(stderr, "window_holder: CreateWindowA failed (%lu)\n", GetLastError());
        return 1;
    }

    char handle[32];
    snprintf(handle, sizeof handle, "%lu", (unsigned long)(uintptr_t)window);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != 0 ||
        RegSetValueExA(key, "hWnd", 0, REG_SZ, (const BYTE *)handle, (DWORD)strlen(handle) + 1) != 0) {
        fprintf(stderr, "window_holder: could not store hWnd\n");
        return 1;
    }
    RegCloseKey(key);

    FILE *ready = fopen(argv[2], "w");
    if (ready) {
        fputs(handle, ready);
        fclose(ready);
    }
    for (int tick = 0; tick < 600 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++tick) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(100);
    }
    DestroyWindow(window);
    return 0;
}
