// Watches a setup program's progress bar from outside, as a user sees it:
// waits for the top-level window whose title starts with the given text,
// then every 100 ms prints the position of its progress bar (class
// msctls_progress32) and the status line above it, until the window is gone
// (or four minutes have passed). Lines: "<ms since found>\t<position>\t<status>".
//
//   progress_watcher.exe <title prefix> <output file>
#include <windows.h>
#include <commctrl.h> // PBM_GETPOS

#include <stdio.h>
#include <string.h>

namespace {

struct Search {
    const char *prefix;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param)
{
    Search *search = reinterpret_cast<Search *>(param);
    char title[256];
    if (GetWindowTextA(window, title, sizeof title) > 0 && strncmp(title, search->prefix, strlen(search->prefix)) == 0 &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindProgressBar(HWND window, LPARAM param)
{
    char name[64];
    if (GetClassNameA(window, name, sizeof name) > 0 && strcmp(name, "msctls_progress32") == 0) {
        *reinterpret_cast<HWND *>(param) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: progress_watcher <title prefix> <output file>\n");
        return 2;
    }
    FILE *out = fopen(argv[2], "w");
    if (!out) {
        fprintf(stderr, "progress_watcher: cannot write %s\n", argv[2]);
        return 1;
    }
    Search search = {argv[1], nullptr};
    for (int tick = 0; tick < 600 && !search.found; ++tick) {
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(100);
    }
    if (!search.found) {
        fprintf(stderr, "progress_watcher: no window titled \"%s...\" within a minute\n", argv[1]);
        return 1;
    }
    DWORD start = GetTickCount();
    HWND bar = nullptr;
    for (int tick = 0; tick < 2400 && IsWindow(search.found); ++tick) {
        // The instfiles page, and with it the bar, comes a moment after the window.
        if (!bar)
            EnumChildWindows(search.found, FindProgressBar, reinterpret_cast<LPARAM>(&bar));
        if (bar) {
            // The status line is the bar's sibling 1006 on the instfiles page.
            char status[512] = "";
            HWND text = GetDlgItem(GetParent(bar), 1006);
            if (text)
                SendMessageA(text, WM_GETTEXT, sizeof status, reinterpret_cast<LPARAM>(status));
            LRESULT position = SendMessageA(bar, PBM_GETPOS, 0, 0);
            fprintf(out, "%lu\t%ld\t%s\n", (unsigned long)(GetTickCount() - start), (long)position, status);
            fflush(out);
        }
        Sleep(100);
    }
    fclose(out);
    return 0;
}
