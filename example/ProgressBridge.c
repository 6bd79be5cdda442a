/* ProgressBridge: an NSIS plug-in for 64-bit setups (Target amd64-unicode),
 * whose System plug-in cannot make callbacks (a "k" parameter reaches the
 * DLL as NULL). It calls Upgrade.dll's progress export and turns each
 * progress call into a call of a function of the setup's script, so the
 * script draws its own progress bar as a 32-bit setup does with System.
 *
 *   GetFunctionAddress $R9 OnProgress
 *   ProgressBridge::Upgrade "$PLUGINSDIR\Upgrade.dll" 4 "C:\Ledgerwick" 0 "$PLUGINSDIR\report.txt" $R9
 *   Pop $0   ; the upgrade's result, or "error" when the DLL could not be called
 *
 * OnProgress finds done, total and item on the stack (done on top) and
 * leaves 1 there to go on, 0 to stop. Built by the project's CMake for both
 * widths; makensis finds it with !addplugindir. */
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

/* The plug-in interface of NSIS 3 (Unicode), as its ExDLL headers give it. */
typedef struct stack_t {
    struct stack_t *next;
    WCHAR text[1];
} stack_t;
typedef struct {
    void *exec_flags;
    int(WINAPI *ExecuteCodeSegment)(int, HWND);
    void(WINAPI *validate_filename)(WCHAR *);
    int(WINAPI *RegisterPluginCallback)(HMODULE, void *);
} extra_parameters;

typedef int(WINAPI *ProgressCallback)(void *, unsigned long long, unsigned long long, const wchar_t *);
typedef int(WINAPI *ProgressExport)(int, const wchar_t *, unsigned, const wchar_t *, ProgressCallback, void *);

struct bridge {
    stack_t **stacktop;
    int string_size;
    int(WINAPI *execute)(int, HWND);
    int function;
};

static void push(const struct bridge *b, const WCHAR *text)
{
    stack_t *entry = (stack_t *)GlobalAlloc(GPTR, sizeof(stack_t) + (size_t)b->string_size * sizeof(WCHAR));
    if (!entry)
        return;
    lstrcpynW(entry->text, text, b->string_size);
    entry->next = *b->stacktop;
    *b->stacktop = entry;
}

/* 0 when the stack is empty. */
static int pop(const struct bridge *b, WCHAR *out)
{
    stack_t *top = *b->stacktop;
    if (!top)
        return 0;
    lstrcpynW(out, top->text, b->string_size);
    *b->stacktop = top->next;
    GlobalFree(top);
    return 1;
}

static int WINAPI forward(void *context, unsigned long long done, unsigned long long total, const wchar_t *item)
{
    const struct bridge *b = (const struct bridge *)context;
    WCHAR number[32];
    push(b, item ? item : L"");
    _ui64tow(total, number, 10);
    push(b, number);
    _ui64tow(done, number, 10);
    push(b, number);
    /* NULL: the script's own progress bar is left to the script. */
    b->execute(b->function - 1, NULL);
    WCHAR *answer = (WCHAR *)malloc((size_t)b->string_size * sizeof(WCHAR));
    int go_on = 1;
    if (answer && pop(b, answer))
        go_on = _wtoi(answer) != 0;
    free(answer);
    return go_on;
}

__declspec(dllexport) void __cdecl Upgrade(HWND parent, int string_size, WCHAR *variables, stack_t **stacktop,
                                           extra_parameters *extra);
void __cdecl Upgrade(HWND parent, int string_size, WCHAR *variables, stack_t **stacktop, extra_parameters *extra)
{
    (void)parent;
    (void)variables;
    struct bridge b = {stacktop, string_size, extra->ExecuteCodeSegment, 0};
    WCHAR *args[6];
    int i, ok = 1;
    for (i = 0; i < 6; ++i) {
        args[i] = (WCHAR *)calloc((size_t)string_size, sizeof(WCHAR));
        ok = ok && args[i] && pop(&b, args[i]);
    }
    WCHAR result[32] = L"error";
    if (ok) {
        b.function = _wtoi(args[5]);
        HMODULE dll = LoadLibraryW(args[0]);
        ProgressExport upgrade =
            dll ? (ProgressExport)(void (*)(void))GetProcAddress(dll, "LedgerwickInstaller_UpgradeToVersion5ProgressW")
                : NULL;
        if (upgrade && b.function > 0)
            _itow(upgrade(_wtoi(args[1]), args[2], (unsigned)wcstoul(args[3], NULL, 10), args[4], forward, &b), result,
                  10);
        if (dll)
            FreeLibrary(dll);
    }
    for (i = 0; i < 6; ++i)
        free(args[i]);
    push(&b, result);
}
